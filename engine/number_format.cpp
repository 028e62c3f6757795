#include "engine/number_format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "settings/korvel_error.h"

namespace korvel {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Written exponents stop growing here: far beyond the extended range, yet
// small enough that adding any text length to it cannot overflow.
constexpr std::int64_t kExponentCeiling = 1'000'000'000'000'000;

// Digits a 64-bit mantissa carries through a round trip decimal -> binary ->
// decimal; the coordinate format starts from this many.
constexpr int kExtendedDigits = 18;

// Within this decimal exponent an 18-digit text is a normal extended value,
// so rounding the text itself gives the same digits as the extended path.
constexpr std::int64_t kFastExponentLimit = 4900;

constexpr int kMaxSignificant = 14;
constexpr int kMaxIntegerDigits = 14;
constexpr int kMaxDecimals = 18;

inline bool IsDigit(char c) {
    return static_cast<unsigned char>(c - '0') < 10;
}

// Reads an optional "E"/"e", sign and digits at `p`; returns where it stopped.
const char* ParseExponent(const char* p, const char* end, std::int64_t& exponent) {
    if (p == end || (*p != 'E' && *p != 'e')) return p;
    ++p;
    bool negative = false;
    if (p != end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    std::int64_t value = 0;
    for (; p != end && IsDigit(*p); ++p) {
        if (value < kExponentCeiling) value = value * 10 + (*p - '0');
    }
    exponent = negative ? -value : value;
    return p;
}

char* WriteZero(char* p, int decimals) {
    *p++ = '0';
    if (decimals > 0) {
        *p++ = '.';
        std::memset(p, '0', static_cast<std::size_t>(decimals));
        p += decimals;
    }
    return p;
}

// Writes 0.digits x 10^exponent (`count` digits, the first one nonzero) in the
// coordinate format with `decimals` places at p; returns the end.
char* WriteRounded(char* p, bool negative, const char* digits, int count, std::int64_t exponent,
                   int decimals) {
    decimals = std::clamp(decimals, 0, kMaxDecimals);
    if (count <= 0) return WriteZero(p, decimals);

    // Keep the digits up to the last decimal place, at most 14 of them, and
    // round the cut half away from zero.
    const std::int64_t keep = std::min<std::int64_t>(exponent + decimals, kMaxSignificant);
    if (keep < 0) return WriteZero(p, decimals);
    char kept[kMaxSignificant];
    int n = static_cast<int>(std::min<std::int64_t>(keep, count));
    std::memcpy(kept, digits, static_cast<std::size_t>(n));
    if (n < count && digits[n] >= '5') {
        int i = n - 1;
        while (i >= 0 && kept[i] == '9') --i;
        if (i < 0) {
            kept[0] = '1';
            n = 1;
            ++exponent;
        } else {
            ++kept[i];
            n = i + 1;
        }
    }
    while (n > 0 && kept[n - 1] == '0') --n;
    if (n == 0) return WriteZero(p, decimals);

    if (negative) *p++ = '-';
    if (exponent <= kMaxIntegerDigits) {
        const int e = static_cast<int>(exponent);
        if (e <= 0) {
            *p++ = '0';
        } else {
            for (int i = 0; i < e; ++i) *p++ = i < n ? kept[i] : '0';
        }
        if (decimals > 0) {
            *p++ = '.';
            for (int j = 0; j < decimals; ++j) {
                const int i = e + j;
                *p++ = (i >= 0 && i < n) ? kept[i] : '0';
            }
        }
    } else {
        *p++ = kept[0];
        if (n > 1) {
            *p++ = '.';
            std::memcpy(p, kept + 1, static_cast<std::size_t>(n - 1));
            p += n - 1;
        }
        *p++ = 'E';
        std::int64_t power = exponent - 1;
        if (power < 0) {
            *p++ = '-';
            power = -power;
        }
        char text[24];
        const auto result = std::to_chars(text, text + sizeof text, power);
        const int length = static_cast<int>(result.ptr - text);
        // The exponent is filled with zeros to as many digits as there are
        // decimals, but only up to 4 of them: 1E15 with 3 decimals is
        // "1E015", with 6 it is "1E15", as the format has always written it.
        if (decimals <= 4) {
            for (int i = length; i < decimals; ++i) *p++ = '0';
        }
        std::memcpy(p, text, static_cast<std::size_t>(length));
        p += length;
    }
    return p;
}

// The shape nearly every coordinate in a drawing has: an optional sign,
// digits, an optional point and digits, nothing else. For such a text of at
// most 18 digits, rounding the text itself is the whole format: it keeps the
// decimals asked for, or fewer where the 14 significant digits end (the rest
// are written as zeros). This does exactly that without a general parse at
// p and returns the end; for every other text it returns nullptr, and what
// it wrote at p means nothing.
char* WritePlainDecimal(char* dst, std::string_view text, int decimals) {
    if (decimals < 0 || decimals > kMaxDecimals || text.empty() || text.size() > 40) return nullptr;
    const char* p = text.data();
    const char* const end = p + text.size();
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    const char* const mantissa = p;
    while (p != end && *p == '0') ++p;  // leading zeros carry no digit
    const char* const whole = p;
    while (p != end && IsDigit(*p)) ++p;
    const int wholeDigits = static_cast<int>(p - whole);
    const char* fraction = p;
    int fractionDigits = 0;
    if (p != end && *p == '.') {
        fraction = ++p;
        while (p != end && IsDigit(*p)) ++p;
        fractionDigits = static_cast<int>(p - fraction);
    }
    const bool point = fraction != whole;
    if (p != end || (fraction == mantissa && !point)) return nullptr;  // not a plain number
    if (wholeDigits > kMaxSignificant || wholeDigits + fractionDigits > kExtendedDigits)
        return nullptr;
    // Below 1 the significant digits start somewhere in the fraction; the cap
    // cannot bite as long as no more than 14 decimals are asked for.
    if (wholeDigits == 0 && decimals > kMaxSignificant) return nullptr;
    const int rounded = std::min(decimals, kMaxSignificant - wholeDigits);

    // Write the digits kept, round the last one up when the first digit
    // dropped is 5 or more, then fill the decimals beyond the cap with zeros.
    char* const first = dst + (negative ? 1 : 0);  // room for the sign
    char* q = first;
    if (wholeDigits == 0) *q++ = '0';
    for (int i = 0; i < wholeDigits; ++i) *q++ = whole[i];
    if (decimals > 0) *q++ = '.';
    const int copied = std::min(fractionDigits, rounded);
    for (int i = 0; i < copied; ++i) *q++ = fraction[i];
    for (int i = copied; i < rounded; ++i) *q++ = '0';
    if (fractionDigits > rounded && fraction[rounded] >= '5') {
        char* r = q - 1;
        for (;; --r) {
            if (r < first) return nullptr;  // a carry into a new leading digit: the general path
            if (*r == '.') continue;
            if (*r != '9') break;
            *r = '0';
        }
        ++*r;
    }
    for (int i = rounded; i < decimals; ++i) *q++ = '0';
    if (negative) {
        // Zero keeps no minus sign, also when a negative value rounds to it.
        bool zero = true;
        for (char* r = first; r < q; ++r) zero = zero && (*r == '0' || *r == '.');
        if (!zero) {
            *dst = '-';
        } else {
            std::memmove(dst, first, static_cast<std::size_t>(q - first));
            --q;
        }
    }
    return q;
}

}  // namespace

bool ParseDecimalText(std::string_view text, DecimalText& out) {
    // One pass: this runs for every coordinate of a drawing.
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p != end && *p == ' ') ++p;
    out.negative = false;
    if (p != end && (*p == '+' || *p == '-')) {
        out.negative = *p == '-';
        ++p;
    }
    const char* const mantissa = p;
    const char* fraction = nullptr;
    std::int64_t seen = 0;         // digits from the first nonzero one on
    std::int64_t significant = 0;  // the same, up to the last nonzero one
    auto collect = [&] {
        for (; p != end && IsDigit(*p); ++p) {
            if (seen < DecimalText::kKeptDigits) out.digits[seen] = *p;
            ++seen;
            if (*p != '0') significant = seen;
        }
    };
    while (p != end && *p == '0') ++p;
    collect();
    out.whole = std::string_view(mantissa, static_cast<std::size_t>(p - mantissa));
    std::int64_t exponent = seen;
    if (p != end && *p == '.') {
        fraction = ++p;
        if (seen == 0) {
            while (p != end && *p == '0') {
                ++p;
                --exponent;
            }
        }
        collect();
    }
    out.fraction = fraction == nullptr
                       ? std::string_view()
                       : std::string_view(fraction, static_cast<std::size_t>(p - fraction));
    if (p == mantissa) return false;
    std::int64_t written = 0;
    p = ParseExponent(p, end, written);
    while (p != end && *p == ' ') ++p;
    if (p != end) return false;
    out.count = significant;
    out.exponent = significant == 0 ? 0 : exponent + written;
    out.writtenExponent = written;
    return true;
}

char* WriteCoordinate(char* p, std::string_view text, int decimals) {
    if (char* end = WritePlainDecimal(p, text, decimals)) return end;
    DecimalText number;
    if (!ParseDecimalText(text, number)) ThrowInvalidFloat(text);
    if (number.count == 0) return WriteZero(p, std::clamp(decimals, 0, kMaxDecimals));
    if (number.count <= kExtendedDigits && number.exponent <= kFastExponentLimit &&
        number.exponent >= -kFastExponentLimit) {
        return WriteRounded(p, number.negative, number.digits, static_cast<int>(number.count),
                            number.exponent, decimals);
    }
    return WriteCoordinateExtended(p, text, decimals);
}

void AppendCoordinate(std::string& out, std::string_view text, int decimals) {
    char buffer[kCoordinateRoom];
    out.append(buffer, WriteCoordinate(buffer, text, decimals));
}

void AppendCoordinateExtended(std::string& out, std::string_view text, int decimals) {
    char buffer[kCoordinateRoom];
    out.append(buffer, WriteCoordinateExtended(buffer, text, decimals));
}

// The extended path holds a value as the x87 extended type does, with a
// 64-bit mantissa, and rounds it to 18 digits: a long double of another
// precision (53 bits with MSVC, 113 on AArch64) would write other digits for
// the texts that take this path.
static_assert(std::numeric_limits<long double>::digits == 64,
              "the extended path needs a long double with a 64-bit mantissa");

char* WriteCoordinateExtended(char* p, std::string_view text, int decimals) {
    DecimalText pieces;
    if (!ParseDecimalText(text, pieces)) ThrowInvalidFloat(text);

    // The value as an integer digit string times a power of ten, written
    // without a decimal point so that no locale can change how it is read.
    std::string canonical;
    canonical.reserve(pieces.whole.size() + pieces.fraction.size() + 24);
    canonical.append(pieces.whole);
    canonical.append(pieces.fraction);
    const std::size_t first = canonical.find_first_not_of('0');
    if (first == std::string::npos) return WriteZero(p, std::clamp(decimals, 0, kMaxDecimals));
    const std::size_t end = canonical.find_last_not_of('0') + 1;
    const std::int64_t power = pieces.writtenExponent -
                               static_cast<std::int64_t>(pieces.fraction.size()) +
                               static_cast<std::int64_t>(canonical.size() - end);
    canonical.erase(end);
    canonical.erase(0, first);
    canonical += 'e';
    char powerText[24];
    const auto result = std::to_chars(powerText, powerText + sizeof powerText, power);
    canonical.append(powerText, result.ptr);

    const long double value = std::strtold(canonical.c_str(), nullptr);
    if (std::isinf(value)) ThrowInvalidFloat(text);
    if (value == 0) return WriteZero(p, std::clamp(decimals, 0, kMaxDecimals));

    // 18 significant digits, correctly rounded. The decimal point printf
    // writes depends on the locale, so only the digits and the exponent after
    // the "e" are read back.
    char printed[64];
    std::snprintf(printed, sizeof printed, "%.17Le", value);
    char digits[kExtendedDigits];
    int count = 0;
    const char* c = printed;
    for (; *c != '\0' && *c != 'e'; ++c) {
        if (IsDigit(*c) && count < kExtendedDigits) digits[count++] = *c;
    }
    std::int64_t exponent = 0;
    if (*c == 'e') {
        ++c;
        const bool negativeExponent = *c == '-';
        if (*c == '-' || *c == '+') ++c;
        for (; IsDigit(*c); ++c) exponent = exponent * 10 + (*c - '0');
        if (negativeExponent) exponent = -exponent;
    }
    return WriteRounded(p, pieces.negative, digits, count, exponent + 1, decimals);
}

std::int32_t ParseFlagInteger(std::string_view text) {
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p != end && *p == ' ') ++p;
    bool negative = false;
    if (p != end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    if (p == end) ThrowInvalidInteger(text);
    constexpr std::int64_t kLimit = std::int64_t{1} << 31;
    std::int64_t value = 0;
    for (; p != end; ++p) {
        if (!IsDigit(*p)) ThrowInvalidInteger(text);
        value = value * 10 + (*p - '0');
        if (value > kLimit) ThrowInvalidInteger(text);
    }
    if (!negative && value == kLimit) ThrowInvalidInteger(text);
    return static_cast<std::int32_t>(negative ? -value : value);
}

char* WriteInteger(char* p, std::int32_t value) {
    return std::to_chars(p, p + kIntegerRoom, value).ptr;
}

void AppendInteger(std::string& out, std::int32_t value) {
    char buffer[kIntegerRoom];
    out.append(buffer, WriteInteger(buffer, value));
}

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

std::optional<double> NumberValue(std::string_view text) {
    DecimalText d;
    if (!ParseDecimalText(text, d)) return std::nullopt;
    return NumberValue(text, d);
}

std::optional<double> NumberValue(std::string_view text, const DecimalText& d) {
    // Up to 15 digits and a power of ten up to 10^22 are both exact doubles:
    // one multiplication or division of them rounds correctly, as from_chars
    // does. Nearly every coordinate of a drawing is read this way.
    static constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                              1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                              1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    if (d.count <= 15) {
        std::int64_t digits = 0;
        for (std::int64_t i = 0; i < d.count; ++i) digits = digits * 10 + (d.digits[i] - '0');
        const std::int64_t scale = d.exponent - d.count;
        const auto mantissa = static_cast<double>(digits);
        if (d.count == 0 || (scale >= 0 && scale <= 22) || (scale < 0 && scale >= -22)) {
            const double value = d.count == 0 ? 0.0
                                 : scale >= 0 ? mantissa * kPowersOfTen[scale]
                                              : mantissa / kPowersOfTen[-scale];
            return d.negative ? -value : value;
        }
    }
    if (!IsNumberText(text)) return std::nullopt;
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    const bool negative = !text.empty() && text.front() == '-';
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) text.remove_prefix(1);
    double value = 0;
    // "." and "1E" are numbers to the data lines: 0 and 1.
    const std::from_chars_result read =
        std::from_chars(text.data(), text.data() + text.size(), value);
    // Beyond the range of a double: no value to compute with. Below it: 0.
    if (read.ec == std::errc::result_out_of_range) {
        if (d.exponent > 0) return std::nullopt;
        value = 0;
    }
    return negative ? -value : value;
}

std::string NumberText(double value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

}  // namespace korvel
