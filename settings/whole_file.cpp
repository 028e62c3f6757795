#include "settings/whole_file.h"

#include <cerrno>
#include <string>

#include "settings/korvel_error.h"
#include "settings/path_text.h"

namespace korvel {

CFile OpenCFile(const std::filesystem::path& path, const char* mode) {
#ifdef _WIN32
    const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return CFile(_wfopen(path.c_str(), wideMode.c_str()));
#else
    return CFile(std::fopen(path.c_str(), mode));
#endif
}

namespace {
std::string QuotedPathError(const char* what, const std::filesystem::path& path, int err) {
    return std::string(what) + " \"" + PathText(path) + "\". " + SystemErrorText(err);
}
}  // namespace

void ThrowCannotCreateFile(const std::filesystem::path& path, int err) {
    throw KorvelError(QuotedPathError("Cannot create file", path, err));
}

void ThrowCannotOpenFile(const std::filesystem::path& path, int err) {
    throw KorvelError(QuotedPathError("Cannot open file", path, err));
}

void WriteWholeFile(const std::filesystem::path& path, std::string_view bytes,
                    WriteFailure failure) {
    CFile file = OpenCFile(path, "wb");
    if (!file) ThrowCannotCreateFile(path, errno);
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
    const int writeError = errno;
    // Closing writes what the C library still buffers, so it can fail too.
    const bool closed = std::fclose(file.release()) == 0;
    if (written && closed) return;
    const int err = written ? errno : writeError;
    if (failure == WriteFailure::CannotCreate) ThrowCannotCreateFile(path, err);
    ThrowIoErrorFromErrno(err, IoAction::Write);
}

}  // namespace korvel
