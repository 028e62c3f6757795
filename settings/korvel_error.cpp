#include "settings/korvel_error.h"

#include <cerrno>
#include <cstring>

namespace korvel {

std::string IoErrorText(IoCode code) {
    switch (code) {
        case IoCode::FileNotFound:
            return "File not found";
        case IoCode::InvalidFilename:
            return "Invalid filename";
        case IoCode::TooManyOpenFiles:
            return "Too many open files";
        case IoCode::AccessDenied:
            return "File access denied";
        case IoCode::ReadBeyondEnd:
            return "Read beyond end of file";
        case IoCode::DiskFull:
            return "Disk full";
        case IoCode::InvalidNumericInput:
            return "Invalid numeric input";
    }
    return "I/O error " + std::to_string(static_cast<int>(code));
}

void ThrowIoError(IoCode code) {
    throw KorvelError(IoErrorText(code));
}

IoCode IoCodeFromErrno(int err, IoAction action) {
    switch (err) {
        case ENOENT:
        case ENOTDIR:
            // A missing folder on the way to a file that is to be created is a bad
            // name, not a missing file.
            return action == IoAction::Create ? IoCode::InvalidFilename : IoCode::FileNotFound;
        case ENAMETOOLONG:
        case EINVAL:
            return IoCode::InvalidFilename;
        case EMFILE:
        case ENFILE:
            return IoCode::TooManyOpenFiles;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
        case ETXTBSY:
        case EBUSY:
            return IoCode::AccessDenied;
        case ENOSPC:
#ifdef EDQUOT
        case EDQUOT:
#endif
        case EFBIG:
            return IoCode::DiskFull;
        default:
            return static_cast<IoCode>(err);
    }
}

void ThrowIoErrorFromErrno(int err, IoAction action) {
    ThrowIoError(IoCodeFromErrno(err, action));
}

namespace {
// Built by appending: GCC 12 warns falsely (-Wrestrict) on "literal" + std::string.
std::string Quoted(std::string_view text, std::string_view rest) {
    std::string message;
    message.reserve(text.size() + rest.size() + 2);
    message += '\'';
    message += text;
    message += '\'';
    message += rest;
    return message;
}
}  // namespace

void ThrowInvalidFloat(std::string_view text) {
    throw KorvelError(Quoted(text, " is not a valid floating point value"));
}

void ThrowInvalidInteger(std::string_view text) {
    throw KorvelError(Quoted(text, " is not a valid integer value"));
}

std::string WithFinalPeriod(std::string_view message) {
    std::string text(message);
    if (!text.empty() && static_cast<unsigned char>(text.back()) > static_cast<unsigned char>('.'))
        text += '.';
    return text;
}

std::string SystemErrorText(int err) {
    return std::strerror(err);
}

std::string DrawingErrorBoxText(const DrawingError& error) {
    std::string text = WithFinalPeriod(error.what());
    if (error.Line() != 0)
        text += "\nLine " + std::to_string(error.Line()) + " of " + error.Drawing();
    for (const std::string& hint : error.Hints()) text += "\n" + hint;
    return text;
}

}  // namespace korvel
