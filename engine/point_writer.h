// Where the points of the entities go: each is laid out as a data line and
// written to the data file, when there is one, and shown to an observer (a
// preview), when there is one.
#pragma once

#include <cstdint>
#include <string_view>

#include "engine/entity_values.h"
#include "engine/file_sink.h"
#include "engine/record_composer.h"
#include "settings/export_settings.h"

namespace korvel {

// Takes every point of a pass with its data line (CR LF included), in place
// of or beside the data file.
class PointObserver {
  public:
    virtual ~PointObserver() = default;
    virtual void Point(const EntityValues& values, std::string_view line) = 0;
};

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

}  // namespace korvel
