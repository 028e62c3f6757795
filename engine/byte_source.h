// Where the reader gets its bytes: a file, or memory in tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "engine/line_buffer.h"

namespace korvel {

class ByteSource {
  public:
    virtual ~ByteSource() = default;
    // Fills up to `capacity` bytes; returns 0 only at the end. Throws KorvelError on failure.
    virtual std::size_t Read(char* buffer, std::size_t capacity) = 0;
    // Total size in bytes, for the progress figure.
    virtual std::uint64_t Size() const = 0;
};

class MemorySource final : public ByteSource {
  public:
    explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
    std::size_t Read(char* buffer, std::size_t capacity) override;
    std::uint64_t Size() const override { return bytes_.size(); }

  private:
    std::string_view bytes_;
    std::size_t offset_ = 0;
};

// A file opened for reading. Opening fails (returns false) for a missing or
// unreadable file and for anything that is not a regular file.
class FileSource final : public ByteSource {
  public:
    FileSource() = default;
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    bool Open(const std::filesystem::path& path);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    std::size_t Read(char* buffer, std::size_t capacity) override;
    std::uint64_t Size() const override { return size_; }
    // Device and inode, to tell whether another path names this very file.
    bool SameFileAs(const std::filesystem::path& other) const;

  private:
    int fd_ = -1;
#if !(defined(__unix__) || defined(__APPLE__))
    std::FILE* file_ = nullptr;
    std::filesystem::path path_;
#endif
    std::uint64_t size_ = 0;
    std::uint64_t device_ = 0;
    std::uint64_t inode_ = 0;
};

class BackgroundWriter;

// A buffered output file. Every failure throws the numbered I/O error. Once
// more than a buffer has been written, full buffers are written by a thread
// of the sink's own while the next one fills; an error of such a write is
// thrown by the next call that hands over a buffer, flushes or closes.
class FileSink {
  public:
    FileSink();
    ~FileSink();
    FileSink(const FileSink&) = delete;
    FileSink& operator=(const FileSink&) = delete;

    // Creates or truncates the file.
    void Create(const std::filesystem::path& path);
    // Writes to an already open descriptor that the sink does not own (standard output).
    void Attach(int fd);
    void Write(std::string_view bytes) {
        if (bytes.size() <= buffer_.size() - used_) {
            CopyBytes(buffer_.data() + used_, bytes.data(), bytes.size());
            used_ += bytes.size();
        } else {
            WriteSlow(bytes);
        }
    }
    void Flush();
    // Flushes and closes; throws when the last bytes cannot be written.
    void Close();
    // Closes without flushing or throwing, for the error path.
    void Abandon();
    bool IsOpen() const { return fd_ >= 0; }

    // For fault injection in tests: fail with "Disk full" once this many bytes are written.
    void SetWriteLimitForTesting(std::uint64_t limit) { limit_ = limit; }

  private:
    static constexpr std::size_t kBufferSize = std::size_t(1) << 18;

    void WriteSlow(std::string_view bytes);
    void WriteOut(const char* data, std::size_t size);
    // Gives the filled buffer to the background writer and goes on with an empty one.
    void HandOver();
    // Waits until every buffer handed over is written; with `rethrow`, throws
    // the first error of those writes.
    void Drain(bool rethrow);

    int fd_ = -1;
#if !(defined(__unix__) || defined(__APPLE__))
    std::FILE* file_ = nullptr;
#endif
    bool owned_ = false;
    std::string buffer_ = std::string(kBufferSize, '\0');
    std::size_t used_ = 0;
    std::uint64_t written_ = 0;
    std::uint64_t limit_ = UINT64_MAX;
    std::unique_ptr<BackgroundWriter> writer_;
    bool writeInPlace_ = false;
};

}  // namespace korvel
