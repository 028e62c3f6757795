#include "engine/binary_dxf_reader.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <utility>

#include "settings/korvel_error.h"

namespace korvel {

namespace {

// Longest text a group may hold before the file is taken as damaged.
constexpr std::size_t kLongestText = std::size_t(1) << 24;

enum class ValueKind { Text, Real, Int16, Int32, Int64, Byte, Chunk };

bool In(int code, int first, int last) {
    return code >= first && code <= last;
}

// The value type of a group code, as the DXF format assigns it; a code the
// format does not assign holds text.
ValueKind KindOf(int code) {
    if (In(code, 10, 59) || In(code, 110, 149) || In(code, 210, 239) || In(code, 460, 469) ||
        In(code, 1010, 1059))
        return ValueKind::Real;
    if (In(code, 60, 79) || In(code, 170, 179) || In(code, 270, 289) || In(code, 370, 389) ||
        In(code, 400, 409) || In(code, 1060, 1070))
        return ValueKind::Int16;
    if (In(code, 90, 99) || In(code, 420, 429) || In(code, 440, 459) || code == 1071)
        return ValueKind::Int32;
    if (In(code, 160, 169)) return ValueKind::Int64;
    if (In(code, 290, 299)) return ValueKind::Byte;
    if (In(code, 310, 319) || code == 1004) return ValueKind::Chunk;
    return ValueKind::Text;
}

template <typename T>
T LittleEndian(const char* p) {
    std::uint64_t v = 0;
    for (std::size_t i = sizeof(T); i-- > 0;) v = (v << 8) | static_cast<unsigned char>(p[i]);
    T out;
    if constexpr (sizeof(T) == sizeof(v)) {
        std::memcpy(&out, &v, sizeof out);
    } else {
        const auto narrow = static_cast<std::make_unsigned_t<T>>(v);
        std::memcpy(&out, &narrow, sizeof out);
    }
    return out;
}

template <typename T>
void AppendNumber(std::string& out, T value) {
    char digits[32];
    const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value);
    (void)ec;  // 32 characters hold every value of these types
    out.append(digits, end);
}

}  // namespace

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

BinaryDxfReader::BinaryDxfReader(ByteSource& inner)
    : inner_(inner), in_(std::size_t(1) << 16, '\0'), consumedBefore_(kBinaryDxfSentinel.size()) {}

bool BinaryDxfReader::Ensure(std::size_t n) {
    while (inEnd_ - inPos_ < n) {
        if (inDone_) return false;
        if (inPos_ > 0) {
            std::memmove(in_.data(), in_.data() + inPos_, inEnd_ - inPos_);
            consumedBefore_ += inPos_;
            inEnd_ -= inPos_;
            inPos_ = 0;
        }
        if (in_.size() - inEnd_ < n) in_.resize(std::max(in_.size() * 2, n));
        const std::size_t got = inner_.Read(in_.data() + inEnd_, in_.size() - inEnd_);
        if (got == 0) inDone_ = true;
        inEnd_ += got;
    }
    return true;
}

void BinaryDxfReader::CutOff(int code, std::uint64_t groupStart) const {
    throw KorvelError("The binary DXF file ends inside group " + std::to_string(code) + " (byte " +
                      std::to_string(groupStart) + ")");
}

bool BinaryDxfReader::TranslateGroup() {
    if (!Ensure(1)) return false;
    if (!formKnown_) {
        // A file starts with group 0: written in two bytes, its second is 0,
        // while one byte is followed by the text "SECTION". A one-byte code
        // 255 announces a two-byte code.
        wideCodes_ = in_[inPos_] != '\xff' && Ensure(2) && in_[inPos_ + 1] == '\0';
        formKnown_ = true;
    }
    const std::uint64_t groupStart = Offset();
    int code;
    if (wideCodes_ || in_[inPos_] == '\xff') {
        const std::size_t skip = wideCodes_ ? 0 : 1;
        if (!Ensure(skip + 2))
            throw KorvelError("The binary DXF file ends inside a group code (byte " +
                              std::to_string(groupStart) + ")");
        code = LittleEndian<std::int16_t>(in_.data() + inPos_ + skip);
        inPos_ += skip + 2;
    } else {
        code = static_cast<unsigned char>(in_[inPos_++]);
    }

    const std::size_t lineStart = out_.size();
    if (code >= 0 && code < 100) out_.append(code < 10 ? "  " : " ");
    AppendNumber(out_, code);
    out_ += '\n';

    auto fixed = [&](std::size_t n) {
        if (!Ensure(n)) {
            out_.resize(lineStart);
            CutOff(code, groupStart);
        }
        const char* p = in_.data() + inPos_;
        inPos_ += n;
        return p;
    };
    switch (KindOf(code)) {
        case ValueKind::Real:
            AppendNumber(out_, LittleEndian<double>(fixed(8)));
            break;
        case ValueKind::Int16:
            AppendNumber(out_, LittleEndian<std::int16_t>(fixed(2)));
            break;
        case ValueKind::Int32:
            AppendNumber(out_, LittleEndian<std::int32_t>(fixed(4)));
            break;
        case ValueKind::Int64:
            AppendNumber(out_, LittleEndian<std::int64_t>(fixed(8)));
            break;
        case ValueKind::Byte:
            AppendNumber(out_, static_cast<unsigned char>(*fixed(1)));
            break;
        case ValueKind::Chunk: {
            const std::size_t length = static_cast<unsigned char>(*fixed(1));
            const char* bytes = fixed(length);
            static constexpr char kHex[] = "0123456789ABCDEF";
            for (std::size_t i = 0; i < length; ++i) {
                const auto b = static_cast<unsigned char>(bytes[i]);
                out_ += kHex[b >> 4];
                out_ += kHex[b & 15];
            }
            break;
        }
        case ValueKind::Text: {
            std::size_t searched = 0;
            const void* nul;
            while ((nul = std::memchr(in_.data() + inPos_ + searched, '\0',
                                      inEnd_ - inPos_ - searched)) == nullptr) {
                searched = inEnd_ - inPos_;
                if (searched > kLongestText)
                    throw KorvelError("The binary DXF file holds a text without end in group " +
                                      std::to_string(code) + " (byte " +
                                      std::to_string(groupStart) + ")");
                if (!Ensure(searched + 1)) {
                    out_.resize(lineStart);
                    CutOff(code, groupStart);
                }
            }
            const auto length =
                static_cast<std::size_t>(static_cast<const char*>(nul) - (in_.data() + inPos_));
            out_.append(in_.data() + inPos_, length);
            inPos_ += length + 1;
            break;
        }
    }
    out_ += '\n';
    return true;
}

std::size_t BinaryDxfReader::Read(char* buffer, std::size_t capacity) {
    if (outPos_ == out_.size()) {
        if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
        out_.clear();
        outPos_ = 0;
        try {
            while (out_.size() < capacity && TranslateGroup()) {
            }
        } catch (const KorvelError&) {
            // The groups before the damage are handed on first.
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
