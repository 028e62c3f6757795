#include "cli/platform.h"

#include <cerrno>
#include <csignal>
#include <string_view>
#include <system_error>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// shellapi.h needs windows.h before it.
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>
#else
#include <unistd.h>
#endif

#include "settings/korvel_error.h"

namespace korvel::cli {

std::filesystem::path ProgramFolder(const char* argv0) {
    std::error_code ec;
#ifdef _WIN32
    std::wstring self(32768, L'\0');
    const DWORD n = GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
    if (n > 0 && n < self.size()) return std::filesystem::path(self.substr(0, n)).parent_path();
#endif
#ifdef __linux__
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec && !self.empty()) return self.parent_path();
#endif
    // Started through PATH, argv[0] holds no folder; the shipped names serve then.
    if (argv0 != nullptr && std::string_view(argv0).find('/') != std::string_view::npos) {
        std::filesystem::path p = std::filesystem::absolute(argv0, ec);
        if (!ec) return p.parent_path();
    }
    return {};
}

void EndQuietlyOnClosedPipe() {
#ifdef SIGPIPE
    std::signal(SIGPIPE, SIG_DFL);
#endif
}

void UseBinaryStandardStreams() {
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
}

CommandLine::CommandLine(int argc, char** argv) : text_(argv, argv + argc) {
#ifdef _WIN32
    int count = 0;
    if (wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
        text_.clear();
        for (int i = 0; i < count; ++i) {
            const int size =
                WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
            std::string utf8(static_cast<std::size_t>(size > 0 ? size : 1), '\0');
            WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, utf8.data(), size, nullptr, nullptr);
            utf8.pop_back();  // the terminating zero
            text_.push_back(std::move(utf8));
        }
        LocalFree(wide);
    }
#endif
    for (std::string& argument : text_) pointers_.push_back(argument.data());
    pointers_.push_back(nullptr);
}

std::size_t StandardInput::Read(char* buffer, std::size_t capacity) {
    const std::size_t n = std::fread(buffer, 1, capacity, stdin);
    if (n == 0 && std::ferror(stdin)) ThrowIoErrorFromErrno(errno, IoAction::Read);
    return n;
}

bool IsTerminal(std::FILE* stream) {
#ifdef _WIN32
    return _isatty(_fileno(stream)) != 0;
#else
    return isatty(fileno(stream)) != 0;
#endif
}

}  // namespace korvel::cli
