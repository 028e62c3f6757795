#include "settings/korvel_error.h"

#include <cerrno>
#include <cstring>

namespace korvel {

std::string IoErrorText(int code) {
    switch (code) {
        case 2:
            return "File not found";
        case 3:
            return "Invalid filename";
        case 4:
            return "Too many open files";
        case 5:
            return "File access denied";
        case 100:
            return "Read beyond end of file";
        case 101:
            return "Disk full";
        case 106:
            return "Invalid numeric input";
        default:
            return "I/O error " + std::to_string(code);
    }
}

void ThrowIoError(int code) {
    throw KorvelError(IoErrorText(code));
}

int IoCodeFromErrno(int err, IoAction action) {
    switch (err) {
        case ENOENT:
        case ENOTDIR:
            // A missing folder on the way to a file that is to be created is a bad
            // name, not a missing file.
            return action == IoAction::Create ? 3 : 2;
        case ENAMETOOLONG:
        case EINVAL:
            return 3;
        case EMFILE:
        case ENFILE:
            return 4;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
        case ETXTBSY:
        case EBUSY:
            return 5;
        case ENOSPC:
#ifdef EDQUOT
        case EDQUOT:
#endif
        case EFBIG:
            return 101;
        default:
            return err;
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
