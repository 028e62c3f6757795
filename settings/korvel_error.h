// The one exception type of Korvel. Its text is the contract: the window shows
// it in the error box and the CLI prints it, so every thrower spells the exact
// user-visible message.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace korvel {

class KorvelError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Numbered input/output errors, using the historical code numbers so the
// texts match what users of earlier versions know.
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
std::string IoErrorText(int code);
[[noreturn]] void ThrowIoError(int code);

// Maps an errno value from opening a file for reading / creating a file /
// reading / writing to the numbered code above.
enum class IoAction { OpenRead, Create, Read, Write };
int IoCodeFromErrno(int err, IoAction action);
[[noreturn]] void ThrowIoErrorFromErrno(int err, IoAction action);

// "'%s' is not a valid floating point value" / "'%s' is not a valid integer value"
[[noreturn]] void ThrowInvalidFloat(std::string_view text);
[[noreturn]] void ThrowInvalidInteger(std::string_view text);

// Text the error box shows: a "." is appended when the last character's code
// is greater than that of "." (so "Disk full" gets one, "abc." does not).
std::string WithFinalPeriod(std::string_view message);

// The system's description of an errno value, e.g. "No such file or directory".
std::string SystemErrorText(int err);

}  // namespace korvel
