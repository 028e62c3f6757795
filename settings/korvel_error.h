// The one exception type of Korvel. Its text is the contract: the window shows
// it in the error box and the CLI prints it, so every thrower spells the exact
// user-visible message.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace korvel {

class KorvelError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// An error about a value of a drawing. Its text stays the exact message; it
// also tells where the value stands (line 0: on no line of the drawing, as a
// forced Z) and what the pass knows about the likely cause, as warning lines.
class DrawingError : public KorvelError {
  public:
    DrawingError(const std::string& text, std::uint64_t line) : KorvelError(text), line_(line) {}

    std::uint64_t Line() const { return line_; }
    // The file name part of the drawing's path.
    const std::string& Drawing() const { return drawing_; }
    const std::vector<std::string>& Hints() const { return hints_; }

    void SetDrawing(std::string_view name) { drawing_ = name; }
    void AddHint(std::string_view hint) { hints_.emplace_back(hint); }

  private:
    std::uint64_t line_;
    std::string drawing_;
    std::vector<std::string> hints_;
};

// Numbered input/output errors, using the historical code numbers so the
// texts match what users of earlier versions know. A system error without a
// name of its own keeps its number ("I/O error 32").
enum class IoCode : int {
    FileNotFound = 2,
    InvalidFilename = 3,
    TooManyOpenFiles = 4,
    AccessDenied = 5,
    ReadBeyondEnd = 100,
    DiskFull = 101,
    InvalidNumericInput = 106,
};

// "File not found", "Disk full", ... or "I/O error %d".
std::string IoErrorText(IoCode code);
[[noreturn]] void ThrowIoError(IoCode code);

// Maps an errno value from opening a file for reading / creating a file /
// reading / writing to the numbered code above.
enum class IoAction { OpenRead, Create, Read, Write };
IoCode IoCodeFromErrno(int err, IoAction action);
[[noreturn]] void ThrowIoErrorFromErrno(int err, IoAction action);

// "'%s' is not a valid floating point value" / "'%s' is not a valid integer value"
[[noreturn]] void ThrowInvalidFloat(std::string_view text);
[[noreturn]] void ThrowInvalidInteger(std::string_view text);

// The error box's text for an error about a value of a drawing: the error's
// text (with its final period) and then "Line 1234 of a.dxf" and the hints,
// a line each.
std::string DrawingErrorBoxText(const DrawingError& error);

// Text the error box shows: a "." is appended when the last character's code
// is greater than that of "." (so "Disk full" gets one, "abc." does not).
std::string WithFinalPeriod(std::string_view message);

// The system's description of an errno value, e.g. "No such file or directory".
std::string SystemErrorText(int err);

}  // namespace korvel
