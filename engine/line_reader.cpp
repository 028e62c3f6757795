#include "engine/line_reader.h"

#include <algorithm>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace korvel {

namespace {

constexpr char kCtrlZ = 26;

// One pass over a whole block instead of a look at every line; written so that
// the compiler turns it into vector code. A CR in the last byte is judged
// once the byte after it has arrived.
bool HoldsLoneCr(const char* p, std::size_t n) {
    unsigned char found = 0;
    for (std::size_t i = 0; i + 1 < n; ++i) found |= (p[i] == '\r') & (p[i + 1] != '\n');
    return found != 0;
}

}  // namespace

LineReader::LineReader(ByteSource& source, std::size_t blockSize)
    : source_(source),
      buffer_(std::max<std::size_t>(blockSize, 16) + kMaskBytes, '\0'),
      capacity_(buffer_.size() - kMaskBytes),
      data_(buffer_.data()) {}

std::uint64_t LineReader::LineEndMask(std::size_t at) const {
    if (at >= end_) return 0;
    const char* p = data_ + at;
    std::uint64_t mask = 0;
#ifdef __SSE2__
    const __m128i lf = _mm_set1_epi8('\n');
    for (int i = 0; i < 4; ++i) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
        const auto bits = static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, lf)));
        mask |= std::uint64_t(bits) << (16 * i);
    }
#else
    for (std::size_t i = 0; i < kMaskBytes; ++i) mask |= std::uint64_t(p[i] == '\n') << i;
#endif
    const std::size_t available = end_ - at;
    if (available < kMaskBytes) mask &= (std::uint64_t(1) << available) - 1;
    return mask;
}

bool LineReader::Refill() {
    if (exhausted_) return false;
    if (pos_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + pos_, end_ - pos_);
        consumedBase_ += pos_;
        end_ -= pos_;
        pos_ = 0;
    }
    if (end_ == capacity_) {  // a line longer than the buffer
        capacity_ *= 2;
        buffer_.resize(capacity_ + kMaskBytes);
    }
    data_ = buffer_.data();
    std::size_t n = source_.Read(buffer_.data() + end_, capacity_ - end_);
    if (n == 0) {
        exhausted_ = true;
        ResetMask();
        return false;
    }
    // Ctrl-Z ends the file: nothing behind it is ever seen.
    if (const void* z = std::memchr(buffer_.data() + end_, kCtrlZ, n)) {
        n = static_cast<const char*>(z) - (buffer_.data() + end_);
        exhausted_ = true;
    }
    end_ += n;
    loneCr_ = HoldsLoneCr(data_, end_) || (exhausted_ && end_ > 0 && data_[end_ - 1] == '\r');
    ResetMask();
    return n > 0;
}

std::string_view LineReader::NextSlow() {
    for (;;) {
        const char* begin = data_ + pos_;
        const void* lf = pos_ < end_ ? std::memchr(begin, '\n', end_ - pos_) : nullptr;
        std::size_t len;
        if (lf != nullptr) {
            len = static_cast<const char*>(lf) - begin;
        } else if (!exhausted_) {
            Refill();
            continue;
        } else {
            len = end_ - pos_;  // the last line has no line end (or the data is done)
        }
        std::size_t next = lf != nullptr ? pos_ + len + 1 : end_;
        // Every CR inside the line is dropped: the one before the LF belongs to the
        // line end, the others are lone CRs.
        scratch_.clear();
        for (std::size_t i = 0; i < len; ++i)
            if (begin[i] != '\r') scratch_.push_back(begin[i]);
        pos_ = next;
        ResetMask();
        return scratch_;
    }
}

}  // namespace korvel
