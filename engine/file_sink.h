// Where the data lines go: a buffered output file, written by a thread of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "engine/line_buffer.h"
#include "engine/os_file.h"

namespace korvel {

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
    bool IsOpen() const { return file_.IsOpen(); }

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

    OsFile file_;
    std::string buffer_ = std::string(kBufferSize, '\0');
    std::size_t used_ = 0;
    std::uint64_t written_ = 0;
    std::uint64_t limit_ = UINT64_MAX;
    std::unique_ptr<BackgroundWriter> writer_;
    bool writeInPlace_ = false;
};

}  // namespace korvel
