#include "engine/line_reader.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

#include "settings/korvel_error.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace korvel {

namespace {

constexpr std::size_t kMaskBytes = 64;
// Line offsets are 32-bit; a batch stays below that with its slack.
constexpr std::size_t kMaxBatchBytes = std::numeric_limits<std::uint32_t>::max() - 2 * kMaskBytes;

// One pass over the bytes instead of a look at every line; written so that
// the compiler turns it into vector code. A CR in the last byte is judged
// once the byte after it has arrived.
bool HoldsLoneCr(const char* p, std::size_t n) {
    unsigned char found = 0;
    for (std::size_t i = 0; i + 1 < n; ++i) found |= (p[i] == '\r') & (p[i + 1] != '\n');
    return found != 0;
}

// Bits of the LFs among the 64 bytes at `p`, none beyond `available`. The
// bytes up to p + 64 must be readable.
std::uint64_t LineEndMask(const char* p, std::size_t available) {
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
    if (available < kMaskBytes) mask &= (std::uint64_t(1) << available) - 1;
    return mask;
}

}  // namespace

LineReader::LineReader(ByteSource& source, std::size_t blockSize)
    : source_(source),
      blockSize_(std::clamp<std::size_t>(blockSize, 16, kMaxBatchBytes)),
      // Real lines are longer than four bytes, so the list rarely ends a batch
      // before its block does.
      maxLines_(blockSize_ / 4),
      batches_([this](Batch& batch) { return Fill(batch); }) {}

bool LineReader::Advance() {
    while (next_ == count_) {
        if (current_ != nullptr && current_->last) {
            if (current_->error) std::rethrow_exception(current_->error);
            return false;
        }
        Take(batches_.Next());
    }
    return true;
}

void LineReader::Take(Batch& batch) {
    linesBefore_ += count_;
    current_ = &batch;
    data_ = batch.bytes.data();
    lines_ = batch.lines.data();
    count_ = batch.lines.size();
    next_ = 0;
    base_ = batch.base;
    batchEnd_ = batch.end;
}

bool LineReader::Fill(Batch& batch) {
    batch.lines.clear();
    batch.lines.reserve(maxLines_);
    batch.last = false;
    batch.error = nullptr;
    batch.base = carryBase_;
    std::size_t size = carry_.size();
    const std::size_t wanted = std::max(blockSize_, size);
    if (batch.bytes.size() < wanted + kMaskBytes) batch.bytes.resize(wanted + kMaskBytes);
    std::size_t capacity = batch.bytes.size() - kMaskBytes;
    char* data = batch.bytes.data();
    std::memcpy(data, carry_.data(), size);

    // Lines are taken from `start`; no LF lies in [start, scanned).
    std::size_t start = 0;
    std::size_t scanned = 0;
    bool loneCr = HoldsLoneCr(data, size);
    try {
        for (;;) {
            SplitLines(batch, start, scanned, size, loneCr);
            if (batch.lines.size() == maxLines_) break;
            if (exhausted_) {
                // The last line has no line end; every CR in it is a lone one.
                if (start < size) AddLine(batch, start, size, true);
                start = size;
                batch.last = true;
                break;
            }
            if (size == capacity) {
                if (!batch.lines.empty()) break;
                // A line longer than the block: make room for more of it.
                if (capacity >= kMaxBatchBytes)
                    throw KorvelError("A line of the drawing is longer than 4 GiB");
                capacity = std::min(2 * capacity, kMaxBatchBytes);
                batch.bytes.resize(capacity + kMaskBytes);
                data = batch.bytes.data();
            }
            std::size_t n = source_.Read(data + size, capacity - size);
            if (n == 0) {
                exhausted_ = true;
                continue;
            }
            // Ctrl-Z ends the file: nothing behind it is ever seen.
            if (const void* z = std::memchr(data + size, kCtrlZ, n)) {
                n = static_cast<std::size_t>(static_cast<const char*>(z) - (data + size));
                exhausted_ = true;
            }
            const std::size_t from = size > 0 ? size - 1 : 0;
            size += n;
            loneCr = loneCr || HoldsLoneCr(data + from, size - from);
        }
    } catch (...) {
        // Handed over after the lines before it, as if thrown when reading on.
        batch.error = std::current_exception();
        batch.last = true;
    }
    batch.end = start;
    carry_.assign(data + start, batch.last ? 0 : size - start);
    carryBase_ = batch.base + start;
    if (tap_ != nullptr)
        for (const Line& line : batch.lines) tap_->Line({data + line.begin, line.length});
    return !batch.last;
}

void LineReader::SplitLines(Batch& batch, std::size_t& start, std::size_t& scanned,
                            std::size_t size, bool loneCr) {
    // The line ends come from a bit mask of the LFs in 64 bytes at a time:
    // one bit scan per line instead of a library search.
    const char* data = batch.bytes.data();
    for (std::size_t at = scanned; at < size; at += kMaskBytes) {
        std::uint64_t mask = LineEndMask(data + at, size - at);
        while (mask != 0) {
            const std::size_t lf = at + static_cast<std::size_t>(std::countr_zero(mask));
            mask &= mask - 1;
            AddLine(batch, start, lf, loneCr);
            start = lf + 1;
            if (batch.lines.size() == maxLines_) return;  // the rest goes to the next batch
        }
    }
    scanned = size;
}

void LineReader::AddLine(Batch& batch, std::size_t begin, std::size_t end, bool loneCr) {
    char* p = batch.bytes.data() + begin;
    std::size_t length = end - begin;
    if (loneCr) {
        // Every CR of the line is dropped, in place: the one before the LF
        // belongs to the line end, the others are lone CRs.
        length = static_cast<std::size_t>(std::remove(p, p + length, '\r') - p);
    } else if (length > 0 && p[length - 1] == '\r') {
        --length;
    }
    batch.lines.push_back({static_cast<std::uint32_t>(begin), static_cast<std::uint32_t>(length),
                           ClassifyLine({p, length})});
}

}  // namespace korvel
