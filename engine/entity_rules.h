// The extractors: for each entity the pass reads, which of its groups go into
// which text and when a point is written, and the reader that applies those
// rules to one entity at a time.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "engine/dxf_cursor.h"
#include "engine/dxf_line_kind.h"
#include "engine/entity_types.h"
#include "engine/entity_values.h"
#include "engine/point_writer.h"
#include "settings/export_settings.h"

namespace korvel {

// Reads the entities whose names the main loop meets, by their rules.
class EntityReader {
  public:
    EntityReader(DxfCursor& cursor, PointWriter& points, const ExportSettings& settings,
                 RunCounters& counters, bool missingZAsZero)
        : cursor_(cursor),
          points_(points),
          settings_(settings),
          counters_(counters),
          missingZAsZero_(missingZAsZero) {}

    // Called with the cursor on an entity name line: reads that entity when
    // its type is ticked (POLYLINE decides by its kind). Returns with the
    // cursor on the line that ended it.
    void ExtractIfTicked(LineKind name);

    bool EndedInsideEntity() const { return truncated_; }
    // Entities that lack the Z group of a point (counted with the option off).
    std::int64_t MissingZEntities() const { return missingZEntities_; }

    // The rules of one entity type; the tables are entity_rules.cpp's own.
    struct Rules;

  private:
    void Extract(const Rules& rules);
    void ExtractPolyline();

    void StartEntity(std::string_view name, EntityType type);
    void EndEntity();
    bool NextGroup();
    void ReadValue(Slot slot);
    bool TakeCommon();
    std::int32_t Flags(const ValueText& text, std::uint64_t line);

    // The entity's current point, after any that wait for their Z.
    void Emit();

    // Points whose Z group is missing (entity_rules.cpp says when).
    static std::size_t ZIndex(LineKind zGroup) { return zGroup == LineKind::G31 ? 1 : 0; }
    void AwaitZ(LineKind zGroup, bool zWrites);
    void ZArrived(LineKind zGroup);
    void MissedZ(std::size_t i);
    void CloseEntityPoints();
    void WriteReadyPoints();

    DxfCursor& cursor_;
    PointWriter& points_;
    const ExportSettings& settings_;
    RunCounters& counters_;
    const bool missingZAsZero_;

    EntityValues values_;
    ValueLines valueLines_{};
    std::array<ValueText*, static_cast<std::size_t>(Slot::Count)> texts_{
        nullptr,         &values_.X,     &values_.Y,         &values_.Z,
        &values_.Handle, &values_.Layer, &values_.BlockName, &values_.Text};
    ValueText headerFlags_;
    ValueText vertexFlags_;
    bool truncated_ = false;

    struct QueuedPoint {
        EntityValues values;
        ValueLines lines;
        LineKind zGroup;
        bool waiting;
    };
    std::array<bool, 2> zPending_{};  // the Y of a point came, its Z (30, 31) not yet
    std::array<bool, 2> zWrites_{};
    std::vector<QueuedPoint> queue_;  // the entity's points from the first that waits on
    bool entityMissesZ_ = false;
    std::int64_t missingZEntities_ = 0;
};

}  // namespace korvel
