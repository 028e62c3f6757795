// The batch run: every selected DXF file of a folder into a data file, with
// the run report written at the end.
#pragma once

#include <cstddef>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "engine/file_pass.h"
#include "settings/export_settings.h"

namespace korvel {

// The file list as the run sees it. Selection and text are read at the moment
// the loop reaches an item; the count is taken once before the loop.
class FileListView {
public:
    virtual ~FileListView() = default;
    virtual std::size_t Count() const = 0;
    virtual bool IsSelected(std::size_t index) const = 0;
    virtual std::string Text(std::size_t index) const = 0;
};

// What the run does around the passes, supplied by the window or the CLI.
class RunHost : public PassHost {
public:
    // Before the first file: the progress display is shown and painted.
    virtual void ShowProgress() {}
    // After the report is written (or the run has failed): hidden again.
    virtual void HideProgress() {}
    // The pass of the current file, so that a stop command can reach it.
    virtual void PassStarted(FilePass&) {}
    virtual void PassEnded() {}
};

// Data file name for DXF file name `name`: up to and including its first ".",
// then `extension`; the extension alone when `name` holds no ".".
std::string DataFileName(std::string_view name, std::string_view extension);

// `folder` with the platform separator appended unless it already ends in one.
std::string WithTrailingSeparator(std::string_view folder);

// "<date> <time>", the time left out at exactly 00:00:00.
std::string ReportDateTimeLine(const std::tm& local);

// The count lines of the ticked entity types and the closing empty line.
void AppendFileCounts(RunReport& report, const ExportSettings& settings,
                      const RunCounters& counters);

// Writes the report lines, each ended by CR LF. Throws
// "Cannot create file "<path>". <reason>".
void WriteRunReport(const RunReport& report, const std::filesystem::path& path);

struct BatchRunRequest {
    std::string sourceFolder;       // as the file list keeps it
    std::string destinationFolder;  // the destination text, unchanged
    PassOptions passOptions;
};

// The run without the report file: fills `report`, runs the passes. An error
// that ends a pass ends the run and is thrown after the progress display is hidden.
void CreateDataFiles(const BatchRunRequest& request, const FileListView& files,
                     ExportSettings& settings, const NameTables& names, RunHost& host,
                     RunReport& report, const std::tm& startTime);

}  // namespace korvel
