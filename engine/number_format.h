// Number conversion and the coordinate format of data files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korvel {

// A decimal number as parsed from text: value = 0.d1 d2 d3 ... x 10^exponent.
// Only the first `kKeptDigits` significant digits are held (no allocation);
// `count` tells how many there are in all, leading and trailing zeros not
// counted. A zero has count 0 and exponent 0.
struct DecimalText {
    static constexpr int kKeptDigits = 20;

    bool negative = false;
    std::int64_t count = 0;
    std::int64_t exponent = 0;
    char digits[kKeptDigits] = {};  // '0'..'9', the first min(count, kKeptDigits)
    // The digits as written before and after the point, and the exponent as
    // written (saturated), for the extended-precision path.
    std::string_view whole, fraction;
    std::int64_t writtenExponent = 0;
};

// Syntax check and split: optional spaces, optional sign, digits with an
// optional "." (at least one digit or the point), optional "E"/"e" with an
// optional sign and optional digits, optional spaces. False for any other text.
// Exponents too long to hold are saturated far beyond the extended range.
bool ParseDecimalText(std::string_view text, DecimalText& out);

// Appends `text` written with `decimals` places after the point (at most 14
// significant digits, halves away from zero, scientific form from 15 integer
// digits). Throws "'<text>' is not a valid floating point value" when the
// text is no number or lies beyond the extended range. Nothing is appended
// when it throws.
void AppendCoordinate(std::string& out, std::string_view text, int decimals);

// The most a coordinate takes when written.
inline constexpr std::size_t kCoordinateRoom = 64;
// The same written at p, which has kCoordinateRoom bytes of room; returns the
// end. What it wrote means nothing when it throws.
char* WriteCoordinate(char* p, std::string_view text, int decimals);

// The same through an extended-precision value: the reference path, also
// taken by AppendCoordinate for texts with more than 18 significant digits.
void AppendCoordinateExtended(std::string& out, std::string_view text, int decimals);
char* WriteCoordinateExtended(char* p, std::string_view text, int decimals);

// Integer conversion for flags: optional leading spaces, optional sign,
// digits, nothing else, 32-bit range. Throws "'<text>' is not a valid integer value".
std::int32_t ParseFlagInteger(std::string_view text);

// Decimal text of a 32-bit value; WriteInteger needs kIntegerRoom bytes of room.
inline constexpr std::size_t kIntegerRoom = 11;
void AppendInteger(std::string& out, std::int32_t value);
char* WriteInteger(char* p, std::int32_t value);

// The checks of the number edits of the window and of korvel-cli's settings:
// the start number and start values, and the forced Z value.

// Leading spaces, an optional "+" or "-", then decimal digits within the
// signed 32-bit range, or hexadecimal digits after "$", "x", "X", "0x" or
// "0X" that fit 32 bits (read as a 32-bit pattern, so "$FFFFFFFF" is -1);
// nothing may follow. Empty when the text is anything else.
std::optional<std::int32_t> ParseIntegerText(std::string_view text);

// True exactly when the data lines would accept `text` as a coordinate: the
// same grammar and the same range, so a forced Z value the edit takes never
// fails a run.
bool IsNumberText(std::string_view text);

// The value of a text IsNumberText accepts, as a double (for computing with
// it, not for writing it); empty for any other text.
std::optional<double> NumberValue(std::string_view text);
// The same, for a text ParseDecimalText has already split into `parsed`.
std::optional<double> NumberValue(std::string_view text, const DecimalText& parsed);

// A double as the shortest text that reads back as the same value, in the
// form the data lines accept ("12.5", "1e+20").
std::string NumberText(double value);

}  // namespace korvel
