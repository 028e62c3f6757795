// File access for the engine. POSIX descriptors where available, so that
// reads go straight into the reader's buffer; the C library elsewhere.
#include "engine/byte_source.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "settings/korvel_error.h"

#if defined(__unix__) || defined(__APPLE__)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#define KORVEL_POSIX_FILES 1
#else
#include <cstdio>
#endif

namespace korvel {

// Writes the buffers a sink hands over on a thread of its own, one at a time
// and in order, so that the system's copying of the data overlaps the
// composing of the next lines.
class BackgroundWriter {
  public:
    using WriteFunction = std::function<void(const char* data, std::size_t size)>;

    explicit BackgroundWriter(WriteFunction write) : write_(std::move(write)) {
        thread_ = std::thread([this] { Run(); });
    }
    ~BackgroundWriter() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }

    // Takes the first `size` bytes of `buffer` to write, giving the buffer it
    // wrote last in exchange. The writer must be idle (see Wait).
    void Submit(std::string& buffer, std::size_t size) {
        {
            std::lock_guard lock(mutex_);
            std::swap(buffer, buffer_);
            size_ = size;
            busy_ = true;
        }
        wake_.notify_one();
    }

    // Waits until the buffer handed over last is written; returns the error
    // of a write since the last call, if there was one.
    std::exception_ptr Wait() {
        std::unique_lock lock(mutex_);
        idle_.wait(lock, [this] { return !busy_; });
        return std::exchange(error_, nullptr);
    }

  private:
    void Run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return busy_ || stopping_; });
            if (!busy_) return;
            lock.unlock();
            std::exception_ptr error;
            try {
                write_(buffer_.data(), size_);
            } catch (...) {
                error = std::current_exception();
            }
            lock.lock();
            if (error && !error_) error_ = error;
            busy_ = false;
            idle_.notify_all();
        }
    }

    WriteFunction write_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::string buffer_;
    std::size_t size_ = 0;
    bool busy_ = false;
    bool stopping_ = false;
    std::exception_ptr error_;
    std::thread thread_;
};

FileSink::FileSink() = default;

std::size_t MemorySource::Read(char* buffer, std::size_t capacity) {
    std::size_t n = std::min(capacity, bytes_.size() - offset_);
    std::memcpy(buffer, bytes_.data() + offset_, n);
    offset_ += n;
    return n;
}

#ifdef KORVEL_POSIX_FILES

FileSource::~FileSource() {
    Close();
}

bool FileSource::Open(const std::filesystem::path& path) {
    Close();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    size_ = static_cast<std::uint64_t>(st.st_size);
    device_ = static_cast<std::uint64_t>(st.st_dev);
    inode_ = static_cast<std::uint64_t>(st.st_ino);
#ifdef POSIX_FADV_SEQUENTIAL
    ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
    return true;
}

void FileSource::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

std::size_t FileSource::Read(char* buffer, std::size_t capacity) {
    for (;;) {
        ssize_t n = ::read(fd_, buffer, capacity);
        if (n >= 0) return static_cast<std::size_t>(n);
        if (errno != EINTR) ThrowIoErrorFromErrno(errno, IoAction::Read);
    }
}

bool FileSource::SameFileAs(const std::filesystem::path& other) const {
    struct stat st {};
    if (fd_ < 0 || ::stat(other.c_str(), &st) != 0) return false;
    return static_cast<std::uint64_t>(st.st_dev) == device_ &&
           static_cast<std::uint64_t>(st.st_ino) == inode_;
}

FileSink::~FileSink() {
    Abandon();
}

void FileSink::Create(const std::filesystem::path& path) {
    Abandon();
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) ThrowIoErrorFromErrno(errno, IoAction::Create);
    fd_ = fd;
    owned_ = true;
    used_ = 0;
    written_ = 0;
}

void FileSink::Attach(int fd) {
    Abandon();
    fd_ = fd;
    owned_ = false;
    used_ = 0;
    written_ = 0;
}

void FileSink::WriteOut(const char* data, std::size_t size) {
    while (size > 0) {
        std::size_t chunk = size;
        if (written_ + chunk > limit_) chunk = limit_ > written_ ? limit_ - written_ : 0;
        if (chunk == 0) ThrowIoError(static_cast<int>(IoCode::DiskFull));
        ssize_t n = ::write(fd_, data, chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowIoErrorFromErrno(errno, IoAction::Write);
        }
        data += n;
        size -= static_cast<std::size_t>(n);
        written_ += static_cast<std::uint64_t>(n);
    }
}

void FileSink::Abandon() {
    Drain(false);
    if (fd_ >= 0 && owned_) ::close(fd_);
    fd_ = -1;
    used_ = 0;
}

void FileSink::Close() {
    if (fd_ < 0) return;
    try {
        Flush();
    } catch (...) {
        Abandon();
        throw;
    }
    int fd = fd_;
    bool owned = owned_;
    fd_ = -1;
    if (owned && ::close(fd) != 0) ThrowIoErrorFromErrno(errno, IoAction::Write);
}

#else  // portable fallback on the C library

FileSource::~FileSource() {
    Close();
}

bool FileSource::Open(const std::filesystem::path& path) {
    Close();
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return false;
    file_ = std::fopen(path.string().c_str(), "rb");
    if (!file_) return false;
    fd_ = 0;
    size_ = std::filesystem::file_size(path, ec);
    path_ = path;
    return true;
}

void FileSource::Close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    fd_ = -1;
}

std::size_t FileSource::Read(char* buffer, std::size_t capacity) {
    std::size_t n = std::fread(buffer, 1, capacity, file_);
    if (n == 0 && std::ferror(file_)) ThrowIoErrorFromErrno(errno, IoAction::Read);
    return n;
}

bool FileSource::SameFileAs(const std::filesystem::path& other) const {
    std::error_code ec;
    return std::filesystem::equivalent(path_, other, ec);
}

FileSink::~FileSink() {
    Abandon();
}

void FileSink::Create(const std::filesystem::path& path) {
    Abandon();
    file_ = std::fopen(path.string().c_str(), "wb");
    if (!file_) ThrowIoErrorFromErrno(errno, IoAction::Create);
    fd_ = 0;
    owned_ = true;
    used_ = 0;
    written_ = 0;
}

void FileSink::Attach(int) {
    Abandon();
    file_ = stdout;
    fd_ = 1;
    owned_ = false;
    used_ = 0;
    written_ = 0;
}

void FileSink::WriteOut(const char* data, std::size_t size) {
    if (written_ + size > limit_) ThrowIoError(static_cast<int>(IoCode::DiskFull));
    if (std::fwrite(data, 1, size, file_) != size) ThrowIoErrorFromErrno(errno, IoAction::Write);
    written_ += size;
}

void FileSink::Abandon() {
    Drain(false);
    if (file_ && owned_) std::fclose(file_);
    file_ = nullptr;
    fd_ = -1;
    used_ = 0;
}

void FileSink::Close() {
    if (fd_ < 0) return;
    try {
        Flush();
    } catch (...) {
        Abandon();
        throw;
    }
    std::FILE* f = file_;
    bool owned = owned_;
    file_ = nullptr;
    fd_ = -1;
    if (owned ? std::fclose(f) != 0 : std::fflush(f) != 0)
        ThrowIoErrorFromErrno(errno, IoAction::Write);
}

#endif

void FileSink::Flush() {
    Drain(true);
    if (used_ == 0) return;
    std::size_t n = used_;
    used_ = 0;
    WriteOut(buffer_.data(), n);
}

void FileSink::Drain(bool rethrow) {
    if (!writer_) return;
    std::exception_ptr error = writer_->Wait();
    if (!error) return;
    // The lines buffered since come after those that failed: writing them
    // would leave a gap in the file.
    used_ = 0;
    if (rethrow) std::rethrow_exception(error);
}

void FileSink::HandOver() {
    if (!writer_ && !writeInPlace_) {
        try {
            writer_ = std::make_unique<BackgroundWriter>(
                [this](const char* data, std::size_t size) { WriteOut(data, size); });
        } catch (const std::system_error&) {
            writeInPlace_ = true;  // out of threads: every buffer is written right here
        }
    }
    if (!writer_) {
        Flush();
        return;
    }
    Drain(true);
    writer_->Submit(buffer_, used_);
    used_ = 0;
    if (buffer_.size() < kBufferSize) buffer_.resize(kBufferSize);
}

void FileSink::WriteSlow(std::string_view bytes) {
    if (used_ > 0) HandOver();
    if (bytes.size() >= buffer_.size()) {
        Drain(true);
        WriteOut(bytes.data(), bytes.size());
    } else {
        std::memcpy(buffer_.data(), bytes.data(), bytes.size());
        used_ = bytes.size();
    }
}

}  // namespace korvel
