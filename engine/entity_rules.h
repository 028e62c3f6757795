// The extractors: for each entity type, which of its groups go into which
// text and when a point is written, and the reader that applies those rules
// to one entity at a time.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "engine/dxf_cursor.h"
#include "engine/dxf_line_kind.h"
#include "engine/file_sink.h"
#include "engine/record_composer.h"
#include "settings/export_settings.h"

namespace korvel {

struct RunCounters {
    std::int32_t Points = 0;
    std::int32_t Circles = 0;
    std::int32_t Arcs = 0;
    std::int32_t Ellipses = 0;
    std::int32_t Blocks = 0;
    std::int32_t Lines = 0;
    std::int32_t Polylines2D = 0;
    std::int32_t Polylines3D = 0;
    std::int32_t Splines = 0;
    std::int32_t SingleTexts = 0;
    std::int32_t MultilineTexts = 0;

    friend bool operator==(const RunCounters&, const RunCounters&) = default;
};

// Which text of an entity a group's value goes to. A group an extractor does
// not take has no slot: it is consumed alone.
enum class Slot : std::uint8_t { None, X, Y, Z, Handle, Layer, BlockName, Text, Count };

// The line each text of an entity was read from (0: not read).
using ValueLines = std::array<std::uint64_t, static_cast<std::size_t>(Slot::Count)>;

// Takes every point of a pass with its data line (CR LF included), in place
// of or beside the data file: a preview, for one.
class PointObserver {
  public:
    virtual ~PointObserver() = default;
    virtual void Point(const EntityValues& values, std::string_view line) = 0;
};

// Where the points of the entities go: each is laid out as a data line and
// written to the data file, when there is one, and shown to the observer,
// when there is one.
class PointWriter {
  public:
    PointWriter(RecordComposer& composer, FileSink* sink, PointObserver* observer,
                RunningNumbers& numbers, const ExportSettings& settings)
        : composer_(composer),
          sink_(sink),
          observer_(observer),
          numbers_(numbers),
          settings_(settings) {}

    // A conversion error becomes a DrawingError naming the line that holds
    // the value, or `currentLine` for a value that was never read.
    void Write(const EntityValues& values, const ValueLines& lines, std::uint64_t currentLine);
    RunningNumbers& Numbers() { return numbers_; }

  private:
    RecordComposer& composer_;
    FileSink* sink_;
    PointObserver* observer_;
    RunningNumbers& numbers_;
    const ExportSettings& settings_;
};

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
    void Extract(const Rules& rules, std::int32_t& counter);
    void ExtractPolyline();

    void StartEntity(std::string_view type);
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
