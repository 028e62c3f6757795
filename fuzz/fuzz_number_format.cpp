// Number conversion and the coordinate format: the fast path that rounds the
// decimal text itself against the extended-precision path, on arbitrary
// texts and decimals. Any difference in the text written or in the error
// raised is a finding. The flag integer parser is checked against a plain
// reading of its rule on the same text.
//
// Input: byte 0 picks the decimals (0..18; with bit 7 set and four more bytes,
// any 32-bit value, which both paths must clamp alike); the rest is the text.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "engine/number_format.h"
#include "settings/korvel_error.h"

namespace {

using namespace korvel;

[[noreturn]] void Fail(const char* what, std::string_view text, int decimals,
                       const std::string& fast, const std::string& extended) {
    std::fprintf(stderr, "finding: %s\ntext '%.*s' decimals %d\nfast     '%s'\nextended '%s'\n",
                 what, static_cast<int>(text.size()), text.data(), decimals, fast.c_str(),
                 extended.c_str());
    std::abort();
}

// The text written, or "error: <message>".
std::string Run(void (*append)(std::string&, std::string_view, int), std::string_view text,
                int decimals) {
    std::string out;
    try {
        append(out, text, decimals);
    } catch (const KorvelError& e) {
        if (!out.empty()) return "partial output before an error";
        return std::string("error: ") + e.what();
    }
    return out;
}

// Fixed-point output has exactly the decimals asked for (clamped to 0..18).
bool WellFormedFixed(const std::string& out, int decimals) {
    if (out.find('E') != std::string::npos) return true;  // scientific form
    const int d = decimals < 0 ? 0 : decimals > 18 ? 18 : decimals;
    const std::size_t point = out.find('.');
    if (d == 0) return point == std::string::npos;
    return point != std::string::npos && out.size() - point - 1 == static_cast<std::size_t>(d);
}

// Optional leading spaces, optional sign, one or more digits, nothing else,
// within the signed 32-bit range.
std::optional<std::int32_t> ReferenceFlagInteger(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size()) return std::nullopt;
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        value = value * 10 + (text[i] - '0');
        if (value > (std::int64_t{1} << 31)) return std::nullopt;
    }
    if (negative) value = -value;
    if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
    return static_cast<std::int32_t>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return -1;
    int decimals = data[0] % 19;
    std::size_t skip = 1;
    if ((data[0] & 0x80) != 0 && size >= 5) {
        std::uint32_t raw;
        std::memcpy(&raw, data + 1, 4);
        decimals = static_cast<int>(raw);
        skip = 5;
    }
    const std::string_view text(reinterpret_cast<const char*>(data) + skip, size - skip);

    // The fast path claims texts of at most 18 significant digits; longer
    // ones it hands to the extended path itself, so comparing those proves
    // nothing, but it costs little and catches a wrong hand-over.
    DecimalText parsed;
    const bool accepted = ParseDecimalText(text, parsed);
    const std::string fast = Run(AppendCoordinate, text, decimals);
    const std::string extended = Run(AppendCoordinateExtended, text, decimals);
    if (fast != extended) Fail("fast and extended paths differ", text, decimals, fast, extended);
    if (!accepted && fast.rfind("error: ", 0) != 0)
        Fail("a rejected text was written", text, decimals, fast, extended);
    const bool inRange = parsed.exponent >= -4900 && parsed.exponent <= 4900;
    if (accepted && parsed.count <= 18 && inRange && fast.rfind("error: ", 0) == 0)
        Fail("an accepted text of at most 18 digits was rejected", text, decimals, fast, extended);
    if (fast.rfind("error: ", 0) != 0 && !WellFormedFixed(fast, decimals))
        Fail("wrong number of decimals", text, decimals, fast, extended);

    std::optional<std::int32_t> flag;
    try {
        flag = ParseFlagInteger(text);
    } catch (const KorvelError&) {
    }
    if (flag != ReferenceFlagInteger(text))
        Fail("flag integer differs from its rule", text, decimals, flag ? "value" : "error",
             ReferenceFlagInteger(text) ? "value" : "error");
    return 0;
}
