#include "engine/group_code_aligner.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "engine/line_reader.h"

namespace korvel {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

// The line as the reader will see it: every CR dropped.
void AppendWithoutCr(std::string& out, std::string_view raw) {
    for (char c : raw)
        if (c != '\r') out += c;
}

void AppendRightAligned(std::string& out, int code) {
    char digits[16];
    auto [end, ec] = std::to_chars(digits, digits + sizeof digits, code);
    (void)ec;
    for (std::ptrdiff_t pad = 3 - (end - digits); pad > 0; --pad) out += ' ';
    out.append(digits, end);
}

}  // namespace

std::optional<int> GroupCodeValue(std::string_view line) {
    std::string clean;
    AppendWithoutCr(clean, line);
    std::string_view s = TrimBlanks(clean);
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
        bool negative = s.front() == '-';
        s.remove_prefix(1);
        if (s.empty() || s.size() > 9) return std::nullopt;
        if (!std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return std::nullopt;
        int v = 0;
        std::from_chars(s.data(), s.data() + s.size(), v);
        return negative ? -v : v;
    }
    if (s.empty() || s.size() > 9) return std::nullopt;
    if (!std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    int v = 0;
    std::from_chars(s.data(), s.data() + s.size(), v);
    return v;
}

bool IsUnalignedGroupCode(std::string_view line) {
    std::optional<int> code = GroupCodeValue(line);
    if (!code) return false;
    std::string aligned;
    AppendRightAligned(aligned, *code);
    return aligned != line;
}

GroupCodeAligner::GroupCodeAligner(ByteSource& inner, std::size_t blockSize)
    : inner_(inner), in_(std::max<std::size_t>(blockSize, 16), '\0') {}

bool GroupCodeAligner::FillInput() {
    if (inDone_) return false;
    if (inPos_ > 0) {
        std::memmove(in_.data(), in_.data() + inPos_, inEnd_ - inPos_);
        inEnd_ -= inPos_;
        inPos_ = 0;
    }
    if (inEnd_ == in_.size()) in_.resize(in_.size() * 2);
    std::size_t n = inner_.Read(in_.data() + inEnd_, in_.size() - inEnd_);
    if (const void* z = n ? std::memchr(in_.data() + inEnd_, kCtrlZ, n) : nullptr) {
        // memchr found the Ctrl-Z within the n bytes just read.
        n = static_cast<std::size_t>(static_cast<const char*>(z) - (in_.data() + inEnd_));
        inDone_ = true;
    }
    if (n == 0) inDone_ = true;
    inEnd_ += n;
    return n > 0;
}

bool GroupCodeAligner::AdaptLine() {
    const void* lf;
    while ((lf = std::memchr(in_.data() + inPos_, '\n', inEnd_ - inPos_)) == nullptr) {
        if (!FillInput() && inDone_) break;
    }
    if (lf == nullptr && inPos_ >= inEnd_) return false;
    // memchr found the line end at or after inPos_: the difference is not negative.
    std::size_t len = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - (in_.data() + inPos_))
                         : inEnd_ - inPos_;
    std::string_view raw(in_.data() + inPos_, len);
    inPos_ += len + (lf ? 1 : 0);

    if (expectCode_) {
        std::optional<int> code = GroupCodeValue(raw);
        groupZeroValue_ = code == 0;
        if (code) {
            AppendRightAligned(out_, *code);
        } else {
            out_ += raw;
        }
    } else if (groupZeroValue_) {
        std::string clean;
        AppendWithoutCr(clean, raw);
        out_ += TrimBlanks(clean);
    } else {
        out_ += raw;
    }
    if (lf) out_ += '\n';
    expectCode_ = !expectCode_;
    return true;
}

std::size_t GroupCodeAligner::Read(char* buffer, std::size_t capacity) {
    if (outPos_ == out_.size()) {
        out_.clear();
        outPos_ = 0;
        while (out_.size() < capacity && AdaptLine()) {
        }
    }
    std::size_t n = std::min(capacity, out_.size() - outPos_);
    std::memcpy(buffer, out_.data() + outPos_, n);
    outPos_ += n;
    return n;
}

}  // namespace korvel
