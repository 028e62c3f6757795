// The checks of the window's number edits: the start number and start values
// (integers, decimal or hexadecimal) and the forced Z value (a number as the
// data lines convert it).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace korvel {

// Leading spaces, an optional "+" or "-", then decimal digits within the
// signed 32-bit range, or hexadecimal digits after "$", "x", "X", "0x" or
// "0X" that fit 32 bits (read as a 32-bit pattern, so "$FFFFFFFF" is -1);
// nothing may follow. Empty when the text is anything else.
std::optional<std::int32_t> ParseIntegerText(std::string_view text);

// True exactly when the data lines would accept `text` as a coordinate: the
// same grammar and the same range, so a forced Z value the edit takes never
// fails a run.
bool IsNumberText(std::string_view text);

}  // namespace korvel
