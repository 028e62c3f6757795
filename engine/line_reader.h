// Splits a byte source into DXF lines without copying or allocating per line.
//
// Rules: a line ends at LF (a CR right before it is part of the line end); a
// CR not followed by LF is dropped from the line and does not end it; byte 26
// (Ctrl-Z) ends the file; lines may be of any length; reading at the end
// yields an empty line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "engine/byte_source.h"

namespace korvel {

class LineReader {
  public:
    static constexpr std::size_t kBlockSize = std::size_t(1) << 20;

    explicit LineReader(ByteSource& source, std::size_t blockSize = kBlockSize);

    // The next line, valid until the next call. At the end: an empty line.
    std::string_view Next() {
        if (pos_ < end_ && !loneCr_) {
            const char* begin = data_ + pos_;
            const void* lf = std::memchr(begin, '\n', end_ - pos_);
            if (lf != nullptr) {
                std::size_t len = static_cast<const char*>(lf) - begin;
                pos_ += len + 1;
                // The buffer holds no lone CR, so a CR can only be the one before the LF.
                return {begin, (len > 0 && begin[len - 1] == '\r') ? len - 1 : len};
            }
        }
        return NextSlow();
    }

    // True when no byte is left (it may have to fetch the next block to know).
    bool AtEnd() {
        while (pos_ >= end_ && !exhausted_) Refill();
        return pos_ >= end_;
    }

    // Bytes taken from the source so far (what a reader with 128-byte blocks
    // would have fetched is derived from this and the consumed offset).
    std::uint64_t ConsumedBytes() const { return consumedBase_ + pos_; }

  private:
    std::string_view NextSlow();
    // Moves unread bytes to the front and reads more; false when nothing new came.
    bool Refill();

    ByteSource& source_;
    std::string buffer_;
    const char* data_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool exhausted_ = false;
    // Whether the buffer holds a CR that is not part of a CR LF line end; lines
    // are then read the slow way, which drops such CRs.
    bool loneCr_ = false;
    std::uint64_t consumedBase_ = 0;  // source offset of buffer_[0]
    std::string scratch_;             // lines with a lone CR or at the end of the data
};

}  // namespace korvel
