// The extractors: for each entity the pass reads, which of its groups go into
// which text and when a point is written, and the reader that applies those
// rules to one entity at a time.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/block_transform.h"
#include "engine/dxf_cursor.h"
#include "engine/dxf_line_kind.h"
#include "engine/entity_types.h"
#include "engine/entity_values.h"
#include "engine/point_writer.h"
#include "settings/export_settings.h"

namespace korvel {

class ExtendedReading;
struct BlockDefinition;

// Where a reader of a block's entities stands: the block, the map of its
// coordinates to world coordinates, the layer its entities on layer "0"
// take, and the blocks it is nested in.
struct BlockScope {
    const BlockDefinition* block = nullptr;
    Transform toWorld = Transform::Identity();
    std::string layer;
    std::vector<std::string> chain;  // the block names from the outermost in
};

// Reads the entities whose names the main loop meets, by their rules.
//
// With the options beyond the record (`extended`), every point of an entity
// waits for the entity's end: only then is it known whether the entity's
// layer and space pass, and what its block attributes give; an INSERT's
// block is read there too, with a reader of its own for its entities.
class EntityReader {
  public:
    EntityReader(DxfCursor& cursor, PointWriter& points, const ExportSettings& settings,
                 RunCounters& counters, bool missingZAsZero, ExtendedReading* extended = nullptr,
                 const BlockScope* scope = nullptr);
    ~EntityReader();

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
    void Extract(const Rules& rules, bool emitOwnPoints = true);
    void ExtractPolyline();
    void SkipVertices();

    void StartEntity(std::string_view name, EntityType type);
    // The entity's points go out (when it passes the options); false when it
    // does not pass, and then it counts for nothing.
    bool EndEntity(bool passes = true);
    bool NextGroup();
    void ReadValue(Slot slot) {
        cursor_.ReadValue(*texts_[static_cast<std::size_t>(slot)]);
        valueLines_[static_cast<std::size_t>(slot)] = cursor_.LineNumber();
    }
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

    // ---- The options beyond the record (entity_reader_options.cpp) ----
    void MakeExtendedRules();
    const Rules& RulesFor(LineKind name) const;
    // The layer the entity is on as the options see it: in a block, an
    // entity on layer "0" is on the layer of the INSERT.
    std::string_view EffectiveLayer() const;
    bool EntityPasses() const;
    void JudgeEarly();
    // After the INSERT's closing "  0": its ATTRIB entities and SEQEND.
    void ReadAttributes();
    void ApplyAttributes();
    // Sets the queued points as the options write them: layer, block name,
    // world coordinates.
    void PlaceQueuedPoints(bool ocs);
    void ExpandInsert();
    // A TEXT or MTEXT, for the labels of a join.
    void CollectLabel(bool mtext);
    void ReadBlockEntities(const BlockDefinition& block, const BlockScope& scope);
    double Number(Slot slot, double missing) const;

    DxfCursor& cursor_;
    PointWriter& points_;
    const ExportSettings& settings_;
    RunCounters& counters_;
    const bool missingZAsZero_;
    ExtendedReading* const extended_;
    const BlockScope* const scope_;

    EntityValues values_;
    EntityExtras extras_;
    ValueLines valueLines_{};
    std::array<ValueText*, static_cast<std::size_t>(Slot::Count)> texts_{nullptr,
                                                                         &values_.X,
                                                                         &values_.Y,
                                                                         &values_.Z,
                                                                         &values_.Handle,
                                                                         &values_.Layer,
                                                                         &values_.BlockName,
                                                                         &values_.Text,
                                                                         &extras_.Space,
                                                                         &extras_.AttributesFollow,
                                                                         &extras_.ScaleX,
                                                                         &extras_.ScaleY,
                                                                         &extras_.ScaleZ,
                                                                         &extras_.Rotation,
                                                                         &extras_.Columns,
                                                                         &extras_.Rows,
                                                                         &extras_.ColumnSpacing,
                                                                         &extras_.RowSpacing,
                                                                         &extras_.ExtrusionX,
                                                                         &extras_.ExtrusionY,
                                                                         &extras_.ExtrusionZ};
    ValueText headerFlags_;
    ValueText vertexFlags_;
    bool truncated_ = false;
    // With the options: every point waits for the end of its entity.
    bool holdPoints_ = false;
    bool ownPoints_ = true;  // false for an entity read only for what it holds
    // Whether the entity passes the options, once that is known before its
    // end: a layer filter judges most entities by their layer group, which
    // comes before their points, so those need not wait.
    std::optional<bool> judged_;
    std::vector<Rules> extendedRules_;  // by name line, POLYLINE to MTEXT
    std::vector<std::pair<std::string, std::string>> attributes_;  // tag, value
    std::string mtextChunks_;  // an MTEXT's text before its group 1, for a label

    struct QueuedPoint {
        EntityValues values;
        ValueLines lines;
        LineKind zGroup;
        bool waiting;
        std::uint64_t line = 0;  // the line it was emitted at, when held
    };
    std::array<bool, 2> zPending_{};  // the Y of a point came, its Z (30, 31) not yet
    std::array<bool, 2> zWrites_{};
    std::vector<QueuedPoint> queue_;  // the entity's points from the first that waits on
    bool entityMissesZ_ = false;
    std::int64_t missingZEntities_ = 0;
};

}  // namespace korvel
