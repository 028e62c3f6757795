// The few things korvel-cli asks of the operating system.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/byte_source.h"

namespace korvel::cli {

// The folder of the running program (for the name tables beside it), or an
// empty path when it cannot be found.
std::filesystem::path ProgramFolder(const char* argv0);

bool IsTerminal(std::FILE* stream);

// A closed pipe on standard output ends the program by the pipe signal, as
// it ends any filter, even when the caller left that signal ignored.
void EndQuietlyOnClosedPipe();

// Standard input, output and error carry bytes as they are: on Windows the C
// library would otherwise turn "\n" into CR LF (the report has its CR LF
// already) and end standard input at the first Ctrl-Z.
void UseBinaryStandardStreams();

// The program's arguments as the core's text. On Windows they are taken from
// the UTF-16 command line as UTF-8, since `argv` holds only what the code
// page can spell.
class CommandLine {
  public:
    CommandLine(int argc, char** argv);
    int Count() const { return static_cast<int>(text_.size()); }
    char** Values() { return pointers_.data(); }

  private:
    std::vector<std::string> text_;
    std::vector<char*> pointers_;
};

// Standard input as a drawing; its size is unknown, so no progress is shown.
class StandardInput final : public ByteSource {
  public:
    std::size_t Read(char* buffer, std::size_t capacity) override;
    std::uint64_t Size() const override { return 0; }
};

}  // namespace korvel::cli
