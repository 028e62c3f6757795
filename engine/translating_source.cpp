#include "engine/translating_source.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "engine/line_reader.h"
#include "settings/korvel_error.h"

namespace korvel {

TranslatingSource::TranslatingSource(ByteSource& inner, std::size_t blockSize, std::uint64_t offset,
                                     bool endAtCtrlZ)
    : inner_(inner),
      endAtCtrlZ_(endAtCtrlZ),
      in_(std::max<std::size_t>(blockSize, 16), '\0'),
      consumedBefore_(offset) {}

bool TranslatingSource::Ensure(std::size_t n) {
    while (inEnd_ - inPos_ < n) {
        if (inDone_) return false;
        if (inPos_ > 0) {
            std::memmove(in_.data(), in_.data() + inPos_, inEnd_ - inPos_);
            consumedBefore_ += inPos_;
            inEnd_ -= inPos_;
            inPos_ = 0;
        }
        if (in_.size() < n || inEnd_ == in_.size()) in_.resize(std::max(in_.size() * 2, n));
        std::size_t got = inner_.Read(in_.data() + inEnd_, in_.size() - inEnd_);
        if (const void* z =
                endAtCtrlZ_ && got > 0 ? std::memchr(in_.data() + inEnd_, kCtrlZ, got) : nullptr) {
            // memchr found the Ctrl-Z within the bytes just read.
            got = static_cast<std::size_t>(static_cast<const char*>(z) - (in_.data() + inEnd_));
            inDone_ = true;
        }
        if (got == 0) inDone_ = true;
        inEnd_ += got;
    }
    return true;
}

std::size_t TranslatingSource::Read(char* buffer, std::size_t capacity) {
    if (outPos_ == out_.size()) {
        if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
        out_.clear();
        outPos_ = 0;
        try {
            while (out_.size() < capacity && TranslateNext(out_)) {
            }
        } catch (const KorvelError&) {
            // The output before the damage is handed on first.
            if (out_.empty()) throw;
            error_ = std::current_exception();
        }
    }
    const std::size_t n = std::min(capacity, out_.size() - outPos_);
    std::memcpy(buffer, out_.data() + outPos_, n);
    outPos_ += n;
    return n;
}

}  // namespace korvel
