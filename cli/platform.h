// The few things korvel-cli asks of the operating system.
#pragma once

#include <cstdio>
#include <filesystem>

#include "engine/byte_source.h"

namespace korvel::cli {

// The folder of the running program (for the name tables beside it), or an
// empty path when it cannot be found.
std::filesystem::path ProgramFolder(const char* argv0);

bool IsTerminal(std::FILE* stream);

// A closed pipe on standard output ends the program by the pipe signal, as
// it ends any filter, even when the caller left that signal ignored.
void EndQuietlyOnClosedPipe();

// Standard input as a drawing; its size is unknown, so no progress is shown.
class StandardInput final : public ByteSource {
  public:
    std::size_t Read(char* buffer, std::size_t capacity) override;
    std::uint64_t Size() const override { return 0; }
};

}  // namespace korvel::cli
