// Where the reader gets its bytes: a file, or memory in tests, and the first
// bytes of either looked at before the reading starts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "engine/os_file.h"

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

// A drawing opened for reading, sharing read access only. Opening fails
// (returns false) for a missing or unreadable file, for one that another
// program holds open for writing (on Windows) and for anything that is not a
// regular file. Reads go straight into the caller's buffer.
class FileSource final : public ByteSource {
  public:
    bool Open(const std::filesystem::path& path);
    std::size_t Read(char* buffer, std::size_t capacity) override {
        return file_.Read(buffer, capacity);
    }
    std::uint64_t Size() const override { return size_; }
    // Whether another path names this very file.
    bool SameFileAs(const std::filesystem::path& other) const { return file_.SameFileAs(other); }

  private:
    OsFile file_;
    std::uint64_t size_ = 0;
};

// The 22 bytes a binary DXF file begins with.
inline constexpr std::string_view kBinaryDxfSentinel{"AutoCAD Binary DXF\r\n\x1a\0", 22};

// Hands on the first bytes of a source again after they were looked at, so
// that the form of a drawing can be told before it is read.
class SniffedSource final : public ByteSource {
  public:
    explicit SniffedSource(ByteSource& inner);
    // The first bytes, as many as the sentinel has (fewer for a shorter source).
    std::string_view Head() const { return head_; }
    bool IsBinaryDxf() const { return head_ == kBinaryDxfSentinel; }

    std::size_t Read(char* buffer, std::size_t capacity) override;
    std::uint64_t Size() const override { return inner_.Size(); }

  private:
    ByteSource& inner_;
    std::string head_;
    std::size_t replayed_ = 0;
};

}  // namespace korvel
