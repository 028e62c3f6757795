// The run host of korvel-cli: fixed lists, no events to pump, and a progress
// bar on standard error when that is a terminal.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "run/batch_run.h"

namespace korvel::cli {

class TerminalRunHost final : public RunHost {
  public:
    TerminalRunHost(std::vector<std::string> fields, std::vector<std::string> code,
                    std::FILE* progressStream, std::size_t fileCount)
        : fields_(std::move(fields)),
          code_(std::move(code)),
          progress_(progressStream),
          fileCount_(fileCount) {}

    void SetProgressCaption(std::string_view caption) override;
    void SetProgressPosition(int position) override;
    void PumpEvents() override {}
    const std::vector<std::string>& ExportedDataFields() const override { return fields_; }
    const std::vector<std::string>& CodeSequence() const override { return code_; }
    std::uint64_t ListsGeneration() const override { return 0; }

    void PassStarted(FilePass& pass, const std::string& dxfPath) override;
    void PassEnded() override;
    void HideProgress() override;

    // The DXF file of the pass under way or last run, for error messages.
    const std::string& CurrentFile() const { return currentFile_; }

  private:
    void Draw();
    void Clear();

    std::vector<std::string> fields_;
    std::vector<std::string> code_;
    std::FILE* progress_;  // null: no bar
    std::size_t fileCount_;
    std::size_t fileIndex_ = 0;
    std::string caption_;
    std::string currentFile_;
    int position_ = -1;
    bool drawn_ = false;
};

}  // namespace korvel::cli
