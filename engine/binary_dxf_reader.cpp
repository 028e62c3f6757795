#include "engine/binary_dxf_reader.h"

#include <algorithm>
#include <charconv>
#include <cstring>

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

BinaryDxfReader::BinaryDxfReader(ByteSource& inner)
    : TranslatingSource(inner, std::size_t(1) << 16, kBinaryDxfSentinel.size(), false) {}

const char* BinaryDxfReader::Take(std::size_t n, const Group& group) {
    if (!Ensure(n)) CutOff(group);
    const char* bytes = Pending().data();
    Consume(n);
    return bytes;
}

void BinaryDxfReader::CutOff(const Group& group) {
    group.out.resize(group.lineStart);  // a group cut off is not handed on at all
    throw KorvelError("The binary DXF file ends inside group " + std::to_string(group.code) +
                      " (byte " + std::to_string(group.start) + ")");
}

int BinaryDxfReader::ReadCode() {
    if (!formKnown_) {
        // A file starts with group 0: written in two bytes, its second is 0,
        // while one byte is followed by the text "SECTION". A one-byte code
        // 255 announces a two-byte code.
        wideCodes_ = Pending()[0] != '\xff' && Ensure(2) && Pending()[1] == '\0';
        formKnown_ = true;
    }
    if (!wideCodes_ && Pending()[0] != '\xff') {
        const int code = static_cast<unsigned char>(Pending()[0]);
        Consume(1);
        return code;
    }
    const std::size_t skip = wideCodes_ ? 0 : 1;
    if (!Ensure(skip + 2))
        throw KorvelError("The binary DXF file ends inside a group code (byte " +
                          std::to_string(Offset()) + ")");
    const int code = LittleEndian<std::int16_t>(Pending().data() + skip);
    Consume(skip + 2);
    return code;
}

void BinaryDxfReader::AppendValue(const Group& group) {
    std::string& out = group.out;
    switch (KindOf(group.code)) {
        case ValueKind::Real:
            AppendNumber(out, LittleEndian<double>(Take(8, group)));
            break;
        case ValueKind::Int16:
            AppendNumber(out, LittleEndian<std::int16_t>(Take(2, group)));
            break;
        case ValueKind::Int32:
            AppendNumber(out, LittleEndian<std::int32_t>(Take(4, group)));
            break;
        case ValueKind::Int64:
            AppendNumber(out, LittleEndian<std::int64_t>(Take(8, group)));
            break;
        case ValueKind::Byte:
            AppendNumber(out, static_cast<unsigned char>(*Take(1, group)));
            break;
        case ValueKind::Chunk: {
            const std::size_t length = static_cast<unsigned char>(*Take(1, group));
            const char* bytes = Take(length, group);
            static constexpr char kHex[] = "0123456789ABCDEF";
            for (std::size_t i = 0; i < length; ++i) {
                const auto b = static_cast<unsigned char>(bytes[i]);
                out += kHex[b >> 4];
                out += kHex[b & 15];
            }
            break;
        }
        case ValueKind::Text: {
            std::size_t length;
            while ((length = Pending().find('\0')) == std::string_view::npos) {
                if (Pending().size() > kLongestText)
                    throw KorvelError("The binary DXF file holds a text without end in group " +
                                      std::to_string(group.code) + " (byte " +
                                      std::to_string(group.start) + ")");
                if (!Ensure(Pending().size() + 1)) CutOff(group);
            }
            out.append(Pending().substr(0, length));
            Consume(length + 1);
            break;
        }
    }
}

bool BinaryDxfReader::TranslateNext(std::string& out) {
    if (!Ensure(1)) return false;
    const std::uint64_t groupStart = Offset();
    const int code = ReadCode();
    const Group group{out, out.size(), code, groupStart};
    if (code >= 0 && code < 100) out.append(code < 10 ? "  " : " ");
    AppendNumber(out, code);
    out += '\n';
    AppendValue(group);
    out += '\n';
    return true;
}

}  // namespace korvel
