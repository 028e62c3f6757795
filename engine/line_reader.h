// Splits a byte source into DXF lines without copying or allocating per line.
//
// Rules: a line ends at LF (a CR right before it is part of the line end); a
// CR not followed by LF is dropped from the line and does not end it; byte 26
// (Ctrl-Z) ends the file; lines may be of any length; reading at the end
// yields an empty line.
#pragma once

#include <bit>
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
        // The line ends come from a bit mask of the LFs in the 64 bytes at
        // maskAt_ (those before pos_ already cleared): one bit scan per line
        // instead of a library search.
        while (!loneCr_) {
            if (lfMask_ != 0) {
                const std::size_t lf =
                    maskAt_ + static_cast<std::size_t>(std::countr_zero(lfMask_));
                lfMask_ &= lfMask_ - 1;
                const char* begin = data_ + pos_;
                const std::size_t len = lf - pos_;
                pos_ = lf + 1;
                // The buffer holds no lone CR, so a CR can only be the one before the LF.
                return {begin, (len > 0 && begin[len - 1] == '\r') ? len - 1 : len};
            }
            if (maskAt_ + kMaskBytes >= end_) break;  // no LF left in the buffer
            maskAt_ += kMaskBytes;
            lfMask_ = LineEndMask(maskAt_);
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
    static constexpr std::size_t kMaskBytes = 64;

    // Bits of the LFs among the 64 bytes at `at`, none beyond the data.
    std::uint64_t LineEndMask(std::size_t at) const;
    // Starts the mask over at pos_, after the buffer or the position moved.
    void ResetMask() {
        maskAt_ = pos_;
        lfMask_ = LineEndMask(pos_);
    }
    std::string_view NextSlow();
    // Moves unread bytes to the front and reads more; false when nothing new came.
    bool Refill();

    ByteSource& source_;
    // Data plus kMaskBytes of slack, so that a mask may be read past the data.
    std::string buffer_;
    std::size_t capacity_;  // bytes of buffer_ that hold data
    const char* data_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool exhausted_ = false;
    // Whether the buffer holds a CR that is not part of a CR LF line end; lines
    // are then read the slow way, which drops such CRs.
    bool loneCr_ = false;
    std::size_t maskAt_ = 0;
    std::uint64_t lfMask_ = 0;
    std::uint64_t consumedBase_ = 0;  // source offset of buffer_[0]
    std::string scratch_;             // lines with a lone CR or at the end of the data
};

}  // namespace korvel
