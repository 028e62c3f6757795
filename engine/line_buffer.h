// Byte copies and a growing buffer for the short texts a data line is made of.
#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>

namespace korvel {

// Copies n bytes. Nearly every text copied while converting a drawing is a
// hundred bytes at most; those are copied as two fixed-size moves that may
// overlap in the middle (which the compiler turns into a few register moves),
// so only the first n bytes of src are read. Longer ones go to memcpy.
[[gnu::always_inline]] inline void CopyBytes(char* dst, const char* src, std::size_t n) {
    if (n > 128) {
        std::memcpy(dst, src, n);
    } else if (n >= 64) {
        std::memcpy(dst, src, 64);
        std::memcpy(dst + n - 64, src + n - 64, 64);
    } else if (n >= 32) {
        std::memcpy(dst, src, 32);
        std::memcpy(dst + n - 32, src + n - 32, 32);
    } else if (n >= 16) {
        std::memcpy(dst, src, 16);
        std::memcpy(dst + n - 16, src + n - 16, 16);
    } else if (n >= 8) {
        std::memcpy(dst, src, 8);
        std::memcpy(dst + n - 8, src + n - 8, 8);
    } else if (n >= 4) {
        std::memcpy(dst, src, 4);
        std::memcpy(dst + n - 4, src + n - 4, 4);
    } else if (n > 0) {
        dst[0] = src[0];
        dst[n / 2] = src[n / 2];
        dst[n - 1] = src[n - 1];
    }
}

// One data line being composed. Writers ask for room, write, then say where
// they ended; appends of texts need no library call.
class LineBuffer {
  public:
    std::string_view View() const { return {data_.get(), size_}; }
    void Clear() { size_ = 0; }

    // At least n writable bytes at the end.
    char* Room(std::size_t n) {
        if (capacity_ - size_ < n) Grow(n);
        return data_.get() + size_;
    }
    // The line now ends at `end`, within the room asked for last.
    void EndAt(const char* end) { size_ = static_cast<std::size_t>(end - data_.get()); }

    void Append(std::string_view text) {
        CopyBytes(Room(text.size()), text.data(), text.size());
        size_ += text.size();
    }
    void Append(char c) {
        *Room(1) = c;
        ++size_;
    }

  private:
    void Grow(std::size_t n) {
        std::size_t capacity = capacity_ == 0 ? 256 : 2 * capacity_;
        while (capacity - size_ < n) capacity *= 2;
        auto data = std::make_unique<char[]>(capacity);
        if (size_ > 0) std::memcpy(data.get(), data_.get(), size_);
        data_ = std::move(data);
        capacity_ = capacity;
    }

    std::unique_ptr<char[]> data_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

}  // namespace korvel
