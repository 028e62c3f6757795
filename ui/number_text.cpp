#include "ui/number_text.h"

#include <string>

#include "engine/number_format.h"
#include "settings/korvel_error.h"

namespace korvel {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::optional<std::int32_t> ParseIntegerText(std::string_view text) {
    std::size_t p = 0;
    while (p < text.size() && text[p] == ' ') ++p;
    bool negative = false;
    if (p < text.size() && (text[p] == '+' || text[p] == '-')) {
        negative = text[p] == '-';
        ++p;
    }
    const std::string_view rest = text.substr(p);
    std::size_t hexStart = 0;
    if (rest.starts_with('$') || rest.starts_with('x') || rest.starts_with('X'))
        hexStart = 1;
    else if (rest.starts_with("0x") || rest.starts_with("0X"))
        hexStart = 2;

    if (hexStart > 0) {
        const std::string_view digits = rest.substr(hexStart);
        if (digits.empty()) return std::nullopt;
        std::uint64_t value = 0;
        for (const char c : digits) {
            const int d = HexDigit(c);
            if (d < 0) return std::nullopt;
            value = value * 16 + static_cast<std::uint64_t>(d);
            if (value > 0xFFFFFFFFu) return std::nullopt;
        }
        // Hexadecimal digits spell the bit pattern; the sign negates it.
        std::uint32_t bits = static_cast<std::uint32_t>(value);
        if (negative) bits = 0u - bits;
        return static_cast<std::int32_t>(bits);
    }

    if (rest.empty()) return std::nullopt;
    const std::int64_t limit = negative ? std::int64_t{1} << 31 : (std::int64_t{1} << 31) - 1;
    std::int64_t value = 0;
    for (const char c : rest) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > limit) return std::nullopt;
    }
    return static_cast<std::int32_t>(negative ? -value : value);
}

bool IsNumberText(std::string_view text) {
    DecimalText parsed;
    if (!ParseDecimalText(text, parsed)) return false;
    // The range is the converter's: it refuses what overflows extended precision.
    std::string scratch;
    try {
        AppendCoordinate(scratch, text, 0);
    } catch (const KorvelError&) {
        return false;
    }
    return true;
}

}  // namespace korvel
