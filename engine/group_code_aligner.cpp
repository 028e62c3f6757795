#include "engine/group_code_aligner.h"

#include <algorithm>
#include <charconv>

#include "settings/blanks.h"

namespace korvel {

namespace {

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

bool GroupCodeAligner::TranslateNext(std::string& out) {
    std::size_t len;
    while ((len = Pending().find('\n')) == std::string_view::npos)
        if (!Ensure(Pending().size() + 1)) break;
    const bool lineEnd = len != std::string_view::npos;
    if (!lineEnd && Pending().empty()) return false;
    const std::string_view raw = Pending().substr(0, len);

    if (expectCode_) {
        std::optional<int> code = GroupCodeValue(raw);
        groupZeroValue_ = code == 0;
        if (code) {
            AppendRightAligned(out, *code);
        } else {
            out += raw;
        }
    } else if (groupZeroValue_) {
        std::string clean;
        AppendWithoutCr(clean, raw);
        out += TrimBlanks(clean);
    } else {
        out += raw;
    }
    if (lineEnd) out += '\n';
    Consume(raw.size() + (lineEnd ? 1 : 0));
    expectCode_ = !expectCode_;
    return true;
}

}  // namespace korvel
