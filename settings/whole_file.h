// Small files read or written whole: configurations, the run report,
// korvel.ini. Their errors name the file: "Cannot create file "<path>". <reason>".
#pragma once

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string_view>

namespace korvel {

struct CFileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using CFile = std::unique_ptr<std::FILE, CFileCloser>;

// std::fopen for a path of any characters (a wide name on Windows); errno
// tells why it failed.
CFile OpenCFile(const std::filesystem::path& path, const char* mode);

// "Cannot create file "<path>". <the system's text for err>"
[[noreturn]] void ThrowCannotCreateFile(const std::filesystem::path& path, int err);
// "Cannot open file "<path>". <the system's text for err>"
[[noreturn]] void ThrowCannotOpenFile(const std::filesystem::path& path, int err);

// What a write that fails after the file was created throws: the numbered
// I/O error ("Disk full"), or the same "Cannot create file" text as a file
// that cannot be created (the run report).
enum class WriteFailure { NumberedIoError, CannotCreate };

// Creates or truncates `path` and writes `bytes` into it.
void WriteWholeFile(const std::filesystem::path& path, std::string_view bytes,
                    WriteFailure failure);

}  // namespace korvel
