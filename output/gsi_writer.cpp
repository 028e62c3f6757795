#include "output/gsi_writer.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <utility>

#include "engine/layer_patterns.h"
#include "engine/number_format.h"
#include "output/text_file_sink.h"
#include "settings/korvel_error.h"

namespace korvel {

namespace {

constexpr std::size_t kDataSize = 16;
// The most decimals a word holds: the last digit 1/100 mm.
constexpr int kMostDecimals = 5;

// Whether a word's data may hold `c`: printable ASCII without the blank,
// which parts the words, and "*", which opens a block.
bool IsWordCharacter(char c) {
    return c > ' ' && c < 0x7F && c != '*';
}

// "of point "12"" for the messages about a code or a coordinate.
std::string OfPoint(std::string_view id) {
    return " of point \"" + std::string(id) + "\"";
}

// Throws when `text`, a point number or (`isCode`) the code of point `id`,
// cannot stand in a word's data.
void CheckWordText(std::string_view text, bool isCode, std::string_view id) {
    const auto bad = std::find_if_not(text.begin(), text.end(), IsWordCharacter);
    if (bad == text.end() && text.size() <= kDataSize) return;
    // The text as UTF-8 (other bytes are read as Latin-1), as the drawing shows it.
    const std::string shown = LayerNameText(text);
    std::string what =
        isCode ? "The code \"" + shown + "\"" + OfPoint(id) : "The point number \"" + shown + "\"";
    if (bad == text.end()) {
        throw PointRecordError(what + " has " + std::to_string(text.size()) +
                               " characters; a GSI-16 word holds 16");
    }
    const auto c = static_cast<unsigned char>(*bad);
    std::string held;
    if (c < ' ' || c == 0x7F) {
        // Not shown: the text is named without it.
        what = isCode ? "The code" + OfPoint(id) : "A point number";
        char code[8];
        std::snprintf(code, sizeof code, "0x%02X", c);
        held = std::string("the control character ") + code;
    } else if (c < 0x80) {
        held = std::string("\"") + static_cast<char>(c) + "\"";
    } else {
        const std::string character = LayerNameText(
            text.substr(static_cast<std::size_t>(bad - text.begin()),
                        std::min<std::size_t>(4, static_cast<std::size_t>(text.end() - bad))));
        const auto lead = static_cast<unsigned char>(character[0]);
        held = "\"" + character.substr(0, lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2) + "\"";
    }
    throw PointRecordError(what + " holds " + held + ", which a GSI-16 word cannot hold");
}

// A coordinate text taken apart, with the decimals it is written with.
struct Coordinate {
    DecimalText number;
    std::string rounded;  // the text rounded to 5 decimals, when it had more
    int decimals = 0;
};

void ParseCoordinate(std::string_view text, Coordinate& out) {
    if (!ParseDecimalText(text, out.number)) ThrowInvalidFloat(text);
    std::int64_t decimals =
        static_cast<std::int64_t>(out.number.fraction.size()) - out.number.writtenExponent;
    if (decimals > kMostDecimals) {
        out.rounded.clear();
        AppendCoordinate(out.rounded, text, kMostDecimals);
        if (!ParseDecimalText(out.rounded, out.number)) ThrowInvalidFloat(out.rounded);
        decimals = kMostDecimals;
    }
    out.decimals = static_cast<int>(std::max<std::int64_t>(decimals, 0));
}

class GsiSink final : public TextFileSink {
  public:
    // Writes into `out`; owns it when `owned` holds it.
    GsiSink(FileSink& out, std::unique_ptr<FileSink> owned) : TextFileSink(out, std::move(owned)) {}

    void Record(const PointRecord& point) override {
        ++index_;
        std::string id;
        if (point.hasNumber) {
            CheckWordText(point.number, false, {});
            id = point.number;
        } else {
            id = std::to_string(index_);
        }
        const bool hasCode = point.hasCode && !point.code.empty();
        if (hasCode) CheckWordText(point.code, true, id);

        // One unit for the block: readers take the unit of the first
        // distance word for all of them.
        ParseCoordinate(point.x, axes_[0]);
        ParseCoordinate(point.y, axes_[1]);
        ParseCoordinate(point.z, axes_[2]);
        const int decimals = std::max({axes_[0].decimals, axes_[1].decimals, axes_[2].decimals});
        const int scale = std::max(decimals, 3);
        const char unit = scale == 3 ? '0' : scale == 4 ? '6' : '8';

        block_.assign(1, '*');
        char blockNumber[8];
        std::snprintf(blockNumber, sizeof blockNumber, "%04u",
                      static_cast<unsigned>(index_ % 10000));
        AppendWord("11", blockNumber, '+', id);
        if (hasCode) AppendWord("71", "....", '+', point.code);
        static constexpr std::array<const char*, 3> kIndex = {"81", "82", "83"};
        static constexpr std::array<const char*, 3> kAxis = {"easting", "northing", "height"};
        const std::array<std::string_view, 3> texts = {point.x, point.y, point.z};
        const char info[5] = {'.', '.', '1', unit, '\0'};
        for (std::size_t i = 0; i < 3; ++i) {
            char digits[kDataSize];
            if (!ScaledDigits(axes_[i].number, scale, digits)) {
                throw PointRecordError("The " + std::string(kAxis[i]) + " " +
                                       std::string(texts[i]) + OfPoint(id) +
                                       " does not fit a GSI-16 word");
            }
            const bool negative = axes_[i].number.negative && axes_[i].number.count > 0;
            AppendWord(kIndex[i], info, negative ? '-' : '+', std::string_view(digits, kDataSize));
        }
        block_ += "\r\n";
        out_.Write(block_);
    }

  private:
    // A word: index, information, sign, the data right-aligned in zeros, blank.
    void AppendWord(const char* index, const char* info, char sign, std::string_view data) {
        block_ += index;
        block_ += info;
        block_ += sign;
        block_.append(kDataSize - data.size(), '0');
        block_ += data;
        block_ += ' ';
    }

    // The number's magnitude in units of 10^-scale m as 16 digits; false when
    // it takes more.
    static bool ScaledDigits(const DecimalText& number, int scale, char (&digits)[kDataSize]) {
        std::fill(std::begin(digits), std::end(digits), '0');
        if (number.count == 0) return true;
        const std::int64_t length = number.exponent + scale;
        if (length > static_cast<std::int64_t>(kDataSize) || number.count > length) return false;
        const std::size_t first = kDataSize - static_cast<std::size_t>(length);
        for (std::int64_t i = 0; i < number.count; ++i)
            digits[first + static_cast<std::size_t>(i)] = number.digits[i];
        return true;
    }

    std::uint64_t index_ = 0;
    std::array<Coordinate, 3> axes_;
    std::string block_;
};

}  // namespace

std::unique_ptr<RecordSink> CreateGsiSink(const std::filesystem::path& path) {
    auto file = std::make_unique<FileSink>();
    file->Create(path);
    FileSink& out = *file;
    return std::make_unique<GsiSink>(out, std::move(file));
}

std::unique_ptr<RecordSink> CreateGsiStreamSink(FileSink& out) {
    return std::make_unique<GsiSink>(out, nullptr);
}

}  // namespace korvel
