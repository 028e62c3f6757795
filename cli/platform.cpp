#include "cli/platform.h"

#include <cerrno>
#include <csignal>
#include <string_view>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "settings/korvel_error.h"

namespace korvel::cli {

std::filesystem::path ProgramFolder(const char* argv0) {
    std::error_code ec;
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
