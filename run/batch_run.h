// The batch run: every selected DXF file of a folder into a data file, with
// the run report written at the end.
#pragma once

#include <cstddef>
#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>

#include "engine/file_pass.h"
#include "settings/export_settings.h"

namespace korvel {

// The folder separator of the platform, used where the report and the data
// file paths join a folder and a name.
inline constexpr char kFolderSeparator =
    static_cast<char>(std::filesystem::path::preferred_separator);

// The file list as the run sees it. Selection and text are read at the moment
// the loop reaches an item; the count is taken once before the loop.
class FileListView {
  public:
    virtual ~FileListView() = default;
    virtual std::size_t Count() const = 0;
    virtual bool IsSelected(std::size_t index) const = 0;
    // The file name without folder.
    virtual std::string Text(std::size_t index) const = 0;
    // The folder of the item when a list spans several folders (the CLI's
    // command line); empty means the run's source folder.
    virtual std::string Folder(std::size_t /*index*/) const { return {}; }
};

// What the run does around the passes, supplied by the window or the CLI.
class RunHost : public PassHost {
  public:
    // Before the first file: the progress display is shown and painted.
    virtual void ShowProgress() {}
    // After the report is written (or the run has failed): hidden again.
    virtual void HideProgress() {}
    // Around each pass: the pass, so that a stop command can reach it, and the
    // DXF path it reads, so that an error can be told against its file.
    virtual void PassStarted(FilePass& /*pass*/, const std::string& /*dxfPath*/) {}
    virtual void PassEnded() {}
};

// Data file name for DXF file name `name`: up to and including its first ".",
// then `extension`; the extension alone when `name` holds no ".".
std::string DataFileName(std::string_view name, std::string_view extension);

// `folder` with the platform separator appended unless it already ends in one
// (an empty text becomes the separator alone).
std::string WithTrailingSeparator(std::string_view folder);

// The local time now, for the date-time line.
std::tm CurrentLocalTime();

// "<date> <time>" in the C library's short date and long time of the current
// LC_TIME locale ("%x", "%X"); the time is left out at exactly 00:00:00. The
// window and the CLI both use this, so their reports agree.
std::string ReportDateTimeLine(const std::tm& local);

// A fresh report: the date-time line and an empty line.
void BeginRunReport(RunReport& report, const std::tm& startTime);

// The count lines of the ticked entity types and the closing empty line.
void AppendFileCounts(RunReport& report, const ExportSettings& settings,
                      const RunCounters& counters);

// The report as the report file holds it: every line followed by CR LF.
std::string FormatRunReport(const RunReport& report);

// Writes the report file, replacing an earlier one. Throws
// "Cannot create file "<path>". <reason>" when it cannot be created or written.
void WriteRunReport(const RunReport& report, const std::filesystem::path& path);

struct BatchRunRequest {
    std::string sourceFolder;       // as the file list keeps it
    std::string destinationFolder;  // the destination text, unchanged
    // Each data file goes to the folder its DXF file was read from (the CLI
    // without an output folder); destinationFolder is then not used.
    bool destinationFollowsSource = false;
    PassOptions passOptions;
};

// What a run did, for callers that report an outcome (the CLI's exit status).
struct BatchRunSummary {
    std::size_t filesPassed = 0;     // passes run, opened or not
    std::size_t filesNotOpened = 0;  // passes whose DXF file could not be opened
    std::size_t filesFailed = 0;     // passes ended by an error (korvel-cli's --keep-going)
};

// The run up to, not including, the report file: makes `report` afresh, shows
// the progress display and runs one pass per selected item. The caller then
// writes the report and hides the progress display. An error that ends a
// pass ends the run: it is thrown unchanged after the pass has closed its
// files and the progress display has been hidden.
BatchRunSummary CreateDataFiles(const BatchRunRequest& request, const FileListView& files,
                                const ExportSettings& settings, const NameTables& names,
                                RunHost& host, RunReport& report, const std::tm& startTime);

// One DXF file to an open sink (the CLI's standard output), reported as a
// run of that one file: the same report lines and data lines as
// CreateDataFiles. The sink is flushed, not closed. Errors as CreateDataFiles.
BatchRunSummary CreateDataStream(const std::string& dxfPath, FileSink& sink,
                                 const PassOptions& options, const ExportSettings& settings,
                                 const NameTables& names, RunHost& host, RunReport& report,
                                 const std::tm& startTime);

}  // namespace korvel
