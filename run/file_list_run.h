// The window's run: every selected drawing of its file list converted one
// after another on the window's thread, with the progress display and the
// stop command of the window, into a fresh run report.
#pragma once

#include <cstddef>
#include <ctime>
#include <string>

#include "engine/file_pass.h"
#include "engine/pass_host.h"
#include "run/drawing_conversion.h"
#include "settings/export_settings.h"

namespace korvel {

// The file list as the run sees it. Selection and text are read at the moment
// the loop reaches an item; the count is taken once before the loop.
class FileListView {
  public:
    virtual ~FileListView() = default;
    virtual std::size_t Count() const = 0;
    virtual bool IsSelected(std::size_t index) const = 0;
    // The file name without folder.
    virtual std::string Text(std::size_t index) const = 0;
};

// What the run does around the passes, supplied by the window.
class RunHost : public PassHost {
  public:
    // Before the first file: the progress display is shown and painted.
    virtual void ShowProgress() {}
    // After the run has failed (the caller hides it after a run that ends well).
    virtual void HideProgress() {}
    // Around each pass: the pass, so that a stop command can reach it, and the
    // DXF path it reads.
    virtual void PassStarted(FilePass& /*pass*/, const std::string& /*dxfPath*/) {}
    virtual void PassEnded() {}
};

struct FileListRunRequest {
    std::string sourceFolder;       // as the file list keeps it
    std::string destinationFolder;  // the destination text, unchanged
    PassOptions passOptions;
};

// The run up to, not including, the report file: makes `report` afresh, shows
// the progress display and converts each selected item. The caller then
// writes the report and hides the progress display. An error that ends a
// pass ends the run: it is thrown unchanged after the pass has closed its
// files and the progress display has been hidden.
RunSummary CreateDataFiles(const FileListRunRequest& request, const FileListView& files,
                           const ExportSettings& settings, const NameTables& names, RunHost& host,
                           RunReport& report, const std::tm& startTime);

}  // namespace korvel
