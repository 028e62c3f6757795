// Output files and the thread that writes their full buffers.
#include "engine/file_sink.h"

#include <condition_variable>
#include <cstring>
#include <exception>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "settings/korvel_error.h"

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

FileSink::~FileSink() {
    Abandon();
}

void FileSink::Create(const std::filesystem::path& path) {
    Abandon();
    file_.Create(path);
    used_ = 0;
    written_ = 0;
}

void FileSink::Attach(int fd) {
    Abandon();
    file_.Borrow(fd);
    used_ = 0;
    written_ = 0;
}

void FileSink::WriteOut(const char* data, std::size_t size) {
    const std::uint64_t room = limit_ > written_ ? limit_ - written_ : 0;
    const std::size_t n = size < room ? size : static_cast<std::size_t>(room);
    file_.Write(data, n);
    written_ += n;
    if (n < size) ThrowIoError(IoCode::DiskFull);
}

void FileSink::Abandon() {
    Drain(false);
    file_.CloseQuietly();
    used_ = 0;
}

void FileSink::Close() {
    if (!IsOpen()) return;
    try {
        Flush();
    } catch (...) {
        Abandon();
        throw;
    }
    file_.Close();
}

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
