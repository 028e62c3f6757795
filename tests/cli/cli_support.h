// Running the built korvel-cli as a script would, for the program-level tests.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace korvel::clitest {

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

// Quoted for the shell.
inline std::string Q(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

struct Outcome {
    int status = -1;
    std::string out, err;
};

// Runs `command` (already quoted) in `workDir` in the C locale, so that the
// date-time line has a known shape; its output is caught in `captureDir`.
// Standard input is empty unless the command brings its own.
inline Outcome RunCaptured(const std::string& command, const std::filesystem::path& workDir,
                           const std::filesystem::path& captureDir, bool emptyInput = true) {
    const std::string full = "cd " + Q(workDir.string()) + " && LC_ALL=C " + command + " >" +
                             Q((captureDir / "out").string()) + " 2>" +
                             Q((captureDir / "err").string()) + (emptyInput ? " </dev/null" : "");
    const int raw = std::system(full.c_str());
    Outcome o;
    o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    o.out = ReadFile(captureDir / "out");
    o.err = ReadFile(captureDir / "err");
    return o;
}

}  // namespace korvel::clitest
