// The conversion of one drawing, as the window's run and korvel-cli's both
// do it: the drawing's data file named, the file pass run into it (or into a
// sink or an observer), and the drawing's section of the run report made.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "engine/byte_source.h"
#include "engine/file_pass.h"
#include "engine/file_sink.h"
#include "engine/point_writer.h"
#include "engine/report_lines.h"
#include "settings/export_settings.h"

namespace korvel {

// The folder separator of the platform, used where the report and the data
// file paths join a folder and a name.
inline constexpr char kFolderSeparator =
    static_cast<char>(std::filesystem::path::preferred_separator);

// Data file name for DXF file name `name`: up to and including its first ".",
// then `extension`; the extension alone when `name` holds no ".".
std::string DataFileName(std::string_view name, std::string_view extension);

// `folder` with the platform separator appended unless it already ends in one
// (an empty text becomes the separator alone).
std::string WithTrailingSeparator(std::string_view folder);

// One drawing of a run and where its points go: the data file at dataPath,
// or `sink` (standard output), or `observer` (a preview, no file written).
struct DrawingJob {
    std::string dxfPath;  // read, and named in the report
    std::string dataPath;
    ByteSource* source = nullptr;  // read instead of dxfPath (standard input); needs `sink`
    FileSink* sink = nullptr;
    PointObserver* observer = nullptr;
    bool labelPairs = false;  // the pairs of a join wanted in the outcome
};

// A point that took a height or a number from a label.
struct LabelPairRow {
    std::string kind;        // "height" or "number"
    std::uint64_t line = 0;  // the point's data line, 1 for the first
    std::string point;       // the Number its data line shows
    std::string label;       // the label's text
    double x = 0, y = 0;     // the label's place
    double distance = 0;
};

struct DrawingOutcome {
    RunReport lines;  // the drawing's section of the report
    RunCounters counters;
    std::vector<LabelPairRow> labelPairs;
    bool openFailed = false;
    std::string openFailure;   // the system's reason, when openFailed
    std::exception_ptr error;  // the error that ended the drawing's pass
    std::string errorText;     // its text
};

// What a run did, for callers that report an outcome (the CLI's exit status).
struct RunSummary {
    std::size_t filesPassed = 0;     // passes run, opened or not
    std::size_t filesNotOpened = 0;  // passes whose DXF file could not be opened
    std::size_t filesFailed = 0;     // passes ended by an error

    void Add(const DrawingOutcome& outcome) {
        ++filesPassed;
        if (outcome.openFailed) ++filesNotOpened;
        if (outcome.error) ++filesFailed;
    }
};

// Why a drawing could not be opened, in the system's words ("No such file or
// directory", "Is a directory", ...), asked again after the pass gave up.
std::string OpenFailureReason(const std::filesystem::path& path);

// Converts drawings one after another with one file pass.
class DrawingConverter {
  public:
    DrawingConverter(const ExportSettings& settings, const NameTables& names, PassHost& host,
                     const PassOptions& options);

    // The drawing's section of the report: its path and an empty line, then
    // what the pass reports, then its count lines. An error that ends the
    // pass ends the section there; it is in the outcome, the pass has closed
    // its files.
    DrawingOutcome Convert(const DrawingJob& job);

    // The pass under way, for the stop command.
    FilePass& Pass() { return pass_; }

  private:
    void Run(const DrawingJob& job);

    const ExportSettings& settings_;
    RunReport section_;
    FilePass pass_;
};

// The pairs as CSV (RFC 4180): a header, then a line per pair with the
// drawing's path.
std::string LabelPairsCsv(const std::vector<std::pair<std::string, LabelPairRow>>& rows);

// The points a run would write for `dxfPath`, handed to `observer`, nothing
// written: a pass and a report of its own, so no run is touched. False when
// the drawing cannot be opened; throws what the pass throws.
// `section`, when given, gets what the report would say of the drawing (its
// notes and warnings), `counters` its entity counts.
bool PreviewDrawing(const std::string& dxfPath, const ExportSettings& settings,
                    const NameTables& names, PassHost& host, const PassOptions& options,
                    PointObserver& observer, RunReport* section = nullptr,
                    RunCounters* counters = nullptr);

}  // namespace korvel
