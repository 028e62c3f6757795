// The system's file calls, POSIX and Windows: every file the engine reads or
// writes; and the one memory call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

namespace korvel {

// A file descriptor (POSIX) or handle (Windows), closed when it goes unless
// it was borrowed. Failures that end a conversion throw the numbered I/O
// error; an open for reading that fails returns false with errno telling why
// (Windows' reasons are translated into errno values, so that both systems
// give the same texts).
class OsFile {
  public:
    OsFile() = default;
    ~OsFile() { CloseQuietly(); }
    OsFile(const OsFile&) = delete;
    OsFile& operator=(const OsFile&) = delete;

    // Opens a regular file for reading, sharing read access only: on Windows
    // the open fails while another program holds the file open for writing.
    // False for a missing or unreadable file and for anything that is not a
    // regular file.
    bool OpenForReading(const std::filesystem::path& path);
    // Creates or truncates the file for writing.
    void Create(const std::filesystem::path& path);
    // An open descriptor of the process (standard output) that is never closed here.
    void Borrow(int descriptor);

    bool IsOpen() const { return native_ != kClosed; }
    // Up to `capacity` bytes; 0 only at the end.
    std::size_t Read(char* buffer, std::size_t capacity);
    // All `size` bytes, or an error.
    void Write(const char* data, std::size_t size);
    std::uint64_t Size() const;
    // Whether `other` names this very file (device and file number), however
    // it is spelt and through whatever links.
    bool SameFileAs(const std::filesystem::path& other) const;

    // Closes; throws when the system reports that written bytes were lost.
    void Close();
    // Closes without a word, for the error path.
    void CloseQuietly();

  private:
    // -1 is both the descriptor nobody has and Windows' INVALID_HANDLE_VALUE.
    static constexpr std::intptr_t kClosed = -1;

    std::intptr_t native_ = kClosed;
    bool owned_ = false;
};

// Asks the system to back a large block of memory with huge pages where it
// can (Linux); does nothing elsewhere.
void AdviseHugePages(void* block, std::size_t size);

}  // namespace korvel
