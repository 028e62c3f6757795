// korvel-cli's progress bar on standard error when that is a terminal: the
// drawing first in order that is not finished yet, as "[2/5] Processing
// name [#####.....] 40%".
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace korvel::cli {

class TerminalProgress {
  public:
    // A null stream shows nothing.
    TerminalProgress(std::FILE* stream, std::size_t fileCount)
        : stream_(stream), fileCount_(fileCount) {}

    void Show(std::size_t index, std::string_view caption, int position);
    // Wipes the bar, so that a message or the report starts on a clean line.
    void Clear();

  private:
    std::FILE* stream_;
    std::size_t fileCount_;
    std::string shown_;  // the last line drawn, to draw only changes
    bool drawn_ = false;
};

}  // namespace korvel::cli
