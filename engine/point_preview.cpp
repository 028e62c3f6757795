// The preview model of a drawing's points.
#include "engine/point_preview.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

#include "engine/label_join.h"
#include "engine/number_format.h"
#include "engine/record_composer.h"

namespace korvel {
namespace {

constexpr int kNumberKind = static_cast<int>(DataFieldKind::Number);
constexpr int kCodeKind = static_cast<int>(DataFieldKind::Code);

// A coordinate text as a double: the composer has accepted it already, so
// only its value matters here, and plotting needs no more than 17 digits.
double CoordinateValue(std::string_view text) {
    DecimalText d;
    if (!ParseDecimalText(text, d) || d.count == 0) return 0.0;
    const int kept = static_cast<int>(std::min<std::int64_t>(d.count, 17));
    double mantissa = 0;
    for (int i = 0; i < kept; ++i) mantissa = mantissa * 10 + (d.digits[i] - '0');
    const double exponent = static_cast<double>(d.exponent - kept);
    const double value = mantissa * std::pow(10.0, std::clamp(exponent, -400.0, 400.0));
    return d.negative ? -value : value;
}

// The `index`th comma-separated field of `line`, or the rest of it.
std::string_view FieldOf(std::string_view line, int index, bool rest) {
    std::size_t start = 0;
    for (int i = 0; i < index; ++i) {
        const std::size_t comma = line.find(',', start);
        if (comma == std::string_view::npos) return {};
        start = comma + 1;
    }
    if (rest) return line.substr(start);
    const std::size_t end = line.find(',', start);
    return line.substr(start, end == std::string_view::npos ? end : end - start);
}

}  // namespace

std::string FixedDecimal(double v, int decimals) {
    char buffer[64];
    const auto r =
        std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed, decimals);
    if (r.ec != std::errc()) return "?";
    std::string text(buffer, r.ptr);
    // A value that rounds to zero is written as zero, never "-0.000".
    if (text.starts_with('-') && text.find_first_not_of("-0.") == std::string::npos)
        text.erase(0, 1);
    return text;
}

PreviewLabelLayout LabelLayoutOf(const std::vector<std::string>& fields, const NameTables& names) {
    // Each kind the list resolves to is one field of the line, as the composer writes it.
    PreviewLabelLayout layout;
    const std::vector<int> kinds = ResolveKinds(fields, names.dataFieldNames, kDataFieldCount);
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        const int position = static_cast<int>(i);
        if (kinds[i] == kNumberKind && layout.numberField < 0) layout.numberField = position;
        if (kinds[i] == kCodeKind && layout.codeField < 0) layout.codeField = position;
    }
    layout.codeIsLast =
        layout.codeField >= 0 && layout.codeField == static_cast<int>(kinds.size()) - 1;
    return layout;
}

std::vector<PreviewType> PointPreview::Types() const {
    std::vector<PreviewType> types;
    for (const EntityTypeInfo& info : kEntityTypes) {
        const std::int64_t count = typeCounts_[static_cast<std::size_t>(info.type)];
        if (count > 0) types.push_back({info.type, info.name, count, info.rgb});
    }
    return types;
}

void PointPreview::Point(const EntityValues& values, std::string_view line) {
    ++typeCounts_[static_cast<std::size_t>(values.type)];

    PreviewPoint p;
    p.x = CoordinateValue(values.X);
    p.y = CoordinateValue(values.Y);
    p.z = CoordinateValue(values.Z);
    p.type = values.type;
    p.line = static_cast<std::uint32_t>(lineStarts_.size());
    // Points come entity by entity, most often on the layer of the one before.
    const std::string_view layer = values.Layer;
    if (layers_.empty() || layers_[lastLayer_] != layer) {
        const auto known = std::find(layers_.begin(), layers_.end(), layer);
        lastLayer_ = static_cast<std::size_t>(known - layers_.begin());
        if (known == layers_.end()) layers_.emplace_back(layer);
    }
    p.layer = static_cast<std::uint32_t>(lastLayer_);
    const std::string_view handle = values.Handle;
    std::uint64_t number = 0;
    const auto read = std::from_chars(handle.data(), handle.data() + handle.size(), number, 16);
    if (read.ec == std::errc() && read.ptr == handle.data() + handle.size()) p.handle = number;
    if (points_.empty()) {
        extent_ = {p.x, p.x, p.y, p.y, p.z, p.z};
    } else {
        extent_.minX = std::min(extent_.minX, p.x);
        extent_.maxX = std::max(extent_.maxX, p.x);
        extent_.minY = std::min(extent_.minY, p.y);
        extent_.maxY = std::max(extent_.maxY, p.y);
        extent_.minZ = std::min(extent_.minZ, p.z);
        extent_.maxZ = std::max(extent_.maxZ, p.z);
    }
    points_.push_back(p);
    lineStarts_.push_back(lines_.size());
    lines_.append(line);
}

void PointPreview::Joined(const LabelJoin& labels) {
    pairs_.clear();
    for (const LabelJoin::Pair& pair : labels.Pairs()) {
        const std::uint64_t line = labels.WrittenAs(pair.point).dataLine;
        if (line == 0 || line > points_.size()) continue;
        pairs_.push_back({static_cast<std::uint32_t>(line - 1), labels.LabelX(pair.label),
                          labels.LabelY(pair.label), pair.kind == LabelJoin::Kind::Height});
    }
    unpaired_.clear();
    for (const std::size_t label : labels.UnpairedLabels())
        unpaired_.push_back(
            {labels.LabelX(label), labels.LabelY(label), std::string(labels.LabelText(label))});
}

PreviewExtent PointPreview::PlotExtent() const {
    PreviewExtent e = extent_;
    const auto take = [&](double x, double y) {
        e.minX = std::min(e.minX, x);
        e.maxX = std::max(e.maxX, x);
        e.minY = std::min(e.minY, y);
        e.maxY = std::max(e.maxY, y);
    };
    for (const PreviewPair& pair : pairs_) take(pair.labelX, pair.labelY);
    for (const PreviewLabel& label : unpaired_) take(label.x, label.y);
    return e;
}

std::string_view PointPreview::Line(std::size_t point) const {
    const std::size_t k = points_[point].line;
    const std::size_t end = k + 1 < lineStarts_.size() ? lineStarts_[k + 1] : lines_.size();
    std::string_view line(lines_.data() + lineStarts_[k], end - lineStarts_[k]);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    return line;
}

std::string PointPreview::Label(std::size_t point, bool withCode) const {
    const std::string_view line = Line(point);
    std::string label;
    if (layout_.numberField >= 0) label = FieldOf(line, layout_.numberField, false);
    if (withCode && layout_.codeField >= 0) {
        const std::string_view code = FieldOf(line, layout_.codeField, layout_.codeIsLast);
        if (!code.empty()) {
            if (!label.empty()) label += ' ';
            label += code;
        }
    }
    return label;
}

std::string PointPreview::Handle(std::size_t point) const {
    const std::uint64_t handle = points_[point].handle;
    if (handle == 0) return {};
    char buffer[17];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, handle, 16);
    std::string text(buffer, written.ptr);
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::vector<std::pair<std::string, std::string>> PointPreview::NamedFields(
    std::size_t point) const {
    std::vector<std::pair<std::string, std::string>> fields;
    const std::string_view line = Line(point);
    const int count = static_cast<int>(fieldNames_.size());
    for (int i = 0; i < count; ++i) {
        const bool rest = i == count - 1 && layout_.codeIsLast;
        fields.emplace_back(fieldNames_[static_cast<std::size_t>(i)],
                            std::string(FieldOf(line, i, rest)));
    }
    return fields;
}

void PointPreview::CountCoincident() {
    std::vector<std::pair<double, double>> places;
    places.reserve(points_.size());
    for (const PreviewPoint& p : points_) places.emplace_back(p.x, p.y);
    std::sort(places.begin(), places.end());
    coincident_ = 0;
    for (std::size_t i = 0; i < places.size();) {
        std::size_t j = i + 1;
        while (j < places.size() && places[j] == places[i]) ++j;
        if (j - i > 1) coincident_ += j - i;
        i = j;
    }
}

std::string PointPreview::Summary() const {
    std::string s = std::to_string(points_.size()) + (points_.size() == 1 ? " point" : " points");
    if (points_.empty()) return s;
    const PreviewExtent& e = extent_;
    s += "  X " + FixedDecimal(e.minX, 3) + " .. " + FixedDecimal(e.maxX, 3);
    s += "  Y " + FixedDecimal(e.minY, 3) + " .. " + FixedDecimal(e.maxY, 3);
    s += "  Z " + FixedDecimal(e.minZ, 3) + " .. " + FixedDecimal(e.maxZ, 3);
    return s;
}

}  // namespace korvel
