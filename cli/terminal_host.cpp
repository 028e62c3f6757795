#include "cli/terminal_host.h"

namespace korvel::cli {

namespace {
constexpr int kBarWidth = 30;
constexpr std::size_t kCaptionWidth = 40;
constexpr std::size_t kLineWidth = 79;
}  // namespace

void TerminalProgress::Show(std::size_t index, std::string_view caption, int position) {
    if (stream_ == nullptr) return;
    std::string line = "\r";
    if (fileCount_ > 1)
        line.append("[")
            .append(std::to_string(index + 1))
            .append("/")
            .append(std::to_string(fileCount_))
            .append("] ");
    if (caption.size() > kCaptionWidth)
        line.append(caption.substr(0, kCaptionWidth - 3)).append("...");
    else
        line.append(caption);
    int pos = position < 0 ? 0 : (position > 100 ? 100 : position);
    int filled = pos * kBarWidth / 100;
    line += " [";
    line.append(static_cast<std::size_t>(filled), '#');
    line.append(static_cast<std::size_t>(kBarWidth - filled), '.');
    line.append("] ").append(std::to_string(pos)).append("%");
    if (drawn_ && line == shown_) return;
    std::fputs(line.c_str(), stream_);
    std::fflush(stream_);
    shown_ = std::move(line);
    drawn_ = true;
}

void TerminalProgress::Clear() {
    if (stream_ == nullptr || !drawn_) return;
    std::string blank(kLineWidth + 2, ' ');
    blank.front() = blank.back() = '\r';
    std::fputs(blank.c_str(), stream_);
    std::fflush(stream_);
    drawn_ = false;
}

}  // namespace korvel::cli
