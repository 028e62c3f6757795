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

}  // namespace korvel
