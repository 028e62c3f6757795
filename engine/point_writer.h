// Where the points of the entities go: each is laid out as a data line and
// written to the data file, when there is one, and shown to an observer (a
// preview), when there is one.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "engine/entity_values.h"
#include "engine/file_sink.h"
#include "engine/point_output.h"
#include "engine/record_composer.h"
#include "settings/export_settings.h"
#include "settings/korvel_error.h"

namespace korvel {

class LabelJoin;
struct DrawingGeometry;

// Takes every point of a pass with its data line (CR LF included), in place
// of or beside the data file.
class PointObserver {
  public:
    virtual ~PointObserver() = default;
    // `entityNumber` is the running number of the point's entity.
    virtual void Point(const EntityValues& values, std::string_view line,
                       std::int32_t entityNumber) = 0;
    // After the last point of a pass that joined labels: the join, with the
    // data line of each of its points.
    virtual void Joined(const LabelJoin& /*labels*/) {}
    // Where the pass puts the drawing's own geometry, read from the same
    // lines as the points (null: it is not read). Cleared at the start.
    virtual DrawingGeometry* GeometryTarget() { return nullptr; }
};

class PointWriter {
  public:
    PointWriter(RecordComposer& composer, FileSink* sink, PointObserver* observer,
                RunningNumbers& numbers, const ExportSettings& settings);
    ~PointWriter();
    PointWriter(const PointWriter&) = delete;
    PointWriter& operator=(const PointWriter&) = delete;

    // A conversion error becomes a DrawingError naming the line that holds
    // the value, or `currentLine` for a value that was never read.
    void Write(const EntityValues& values, const ValueLines& lines, std::uint64_t currentLine);
    RunningNumbers& Numbers() { return numbers_; }

    // A data file of another form, fed beside or in place of `sink`, and
    // the move of every point into another coordinate system before it is
    // laid out. Labels are joined in the drawing's own coordinates.
    void SetOutput(RecordSink* records, CoordinateTransform* transform);

    // Heights and numbers from labels. A label may stand anywhere in the
    // drawing, before or after its point: the lines are laid out as the
    // points come but held in memory, the points that may take a label with
    // the texts they were laid out from, until FinishLabels joins the labels
    // and writes every line in order, a joined point's line laid out anew
    // with what it took.
    void SetLabels(LabelJoin* labels);
    // Does nothing without a join, and the second time.
    void FinishLabels();
    // The same on the error path: the lines read so far go to the data file,
    // nothing to an observer, nothing is thrown.
    void FinishLabelsQuietly() noexcept;

  private:
    class HeldLines;

    // With a join: lays the line out and holds it.
    void Hold(const EntityValues& values, const ValueLines& lines, std::uint64_t currentLine);
    // A conversion error as the DrawingError Write throws.
    [[noreturn]] void ThrowAtItsLine(const KorvelError& error, const ValueLines* lines,
                                     std::uint64_t currentLine) const;
    void Emit(const EntityValues& values, std::string_view record, const LineFields* fields,
              std::uint64_t drawingLine, std::int32_t entityNumber);
    // `values` moved into the target system (a copy), or `values` itself.
    const EntityValues& Moved(const EntityValues& values, const ValueLines* lines,
                              std::uint64_t currentLine);
    // Hands the point of `record` to the data file of another form.
    void Record(const EntityValues& values, std::string_view record, const LineFields& fields,
                std::uint64_t drawingLine);

    RecordComposer& composer_;
    FileSink* sink_;
    PointObserver* observer_;
    RunningNumbers& numbers_;
    const ExportSettings& settings_;
    LabelJoin* labels_ = nullptr;
    std::unique_ptr<HeldLines> held_;
    RecordSink* records_ = nullptr;
    CoordinateTransform* transform_ = nullptr;
    EntityValues moved_;
};

}  // namespace korvel
