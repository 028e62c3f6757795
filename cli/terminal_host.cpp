#include "cli/terminal_host.h"

namespace korvel::cli {

namespace {
constexpr int kBarWidth = 30;
constexpr std::size_t kCaptionWidth = 40;
constexpr std::size_t kLineWidth = 79;
}  // namespace

void TerminalRunHost::SetProgressCaption(std::string_view caption) {
    caption_.assign(caption);
    position_ = -1;
}

void TerminalRunHost::SetProgressPosition(int position) {
    if (position == position_) return;
    position_ = position;
    Draw();
}

void TerminalRunHost::PassStarted(FilePass&, const std::string& dxfPath) {
    currentFile_ = dxfPath;
    ++fileIndex_;
}

void TerminalRunHost::PassEnded() {
    Clear();
}

void TerminalRunHost::HideProgress() {
    Clear();
}

void TerminalRunHost::Draw() {
    if (progress_ == nullptr) return;
    std::string line = "\r";
    if (fileCount_ > 1)
        line.append("[")
            .append(std::to_string(fileIndex_))
            .append("/")
            .append(std::to_string(fileCount_))
            .append("] ");
    if (caption_.size() > kCaptionWidth)
        line += caption_.substr(0, kCaptionWidth - 3) + "...";
    else
        line += caption_;
    int pos = position_ < 0 ? 0 : (position_ > 100 ? 100 : position_);
    int filled = pos * kBarWidth / 100;
    line += " [";
    line.append(static_cast<std::size_t>(filled), '#');
    line.append(static_cast<std::size_t>(kBarWidth - filled), '.');
    line.append("] ").append(std::to_string(pos)).append("%");
    std::fputs(line.c_str(), progress_);
    std::fflush(progress_);
    drawn_ = true;
}

void TerminalRunHost::Clear() {
    if (progress_ == nullptr || !drawn_) return;
    std::string blank(kLineWidth + 2, ' ');
    blank.front() = blank.back() = '\r';
    std::fputs(blank.c_str(), progress_);
    std::fflush(progress_);
    drawn_ = false;
}

}  // namespace korvel::cli
