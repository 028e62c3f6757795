// The few things korvel-cli asks of the operating system.
#pragma once

#include <cstdio>
#include <filesystem>

namespace korvel::cli {

// The folder of the running program (for the name tables beside it), or an
// empty path when it cannot be found.
std::filesystem::path ProgramFolder(const char* argv0);

bool IsTerminal(std::FILE* stream);

}  // namespace korvel::cli
