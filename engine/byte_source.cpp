// The input side of the engine: memory for tests, files through the system's calls.
#include "engine/byte_source.h"

#include <algorithm>
#include <cstring>

namespace korvel {

std::size_t MemorySource::Read(char* buffer, std::size_t capacity) {
    std::size_t n = std::min(capacity, bytes_.size() - offset_);
    std::memcpy(buffer, bytes_.data() + offset_, n);
    offset_ += n;
    return n;
}

bool FileSource::Open(const std::filesystem::path& path) {
    if (!file_.OpenForReading(path)) return false;
    size_ = file_.Size();
    return true;
}

SniffedSource::SniffedSource(ByteSource& inner) : inner_(inner) {
    char head[kBinaryDxfSentinel.size()];
    std::size_t got = 0;
    while (got < sizeof head) {
        const std::size_t n = inner_.Read(head + got, sizeof head - got);
        if (n == 0) break;
        got += n;
    }
    head_.assign(head, got);
}

std::size_t SniffedSource::Read(char* buffer, std::size_t capacity) {
    if (replayed_ < head_.size()) {
        const std::size_t n = std::min(capacity, head_.size() - replayed_);
        std::memcpy(buffer, head_.data() + replayed_, n);
        replayed_ += n;
        return n;
    }
    return inner_.Read(buffer, capacity);
}

}  // namespace korvel
