// The preview model of a drawing's points and its SVG form.
#include "engine/point_preview.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "engine/number_format.h"
#include "settings/path_text.h"

namespace korvel {
namespace {

// The data field table's order: Number, X, Y, Z, Code.
constexpr std::size_t kNumberKind = 0;
constexpr std::size_t kCodeKind = 4;

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

std::string Number(double v, int decimals) {
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

// Texts of a drawing are bytes in its code page: valid UTF-8 passes, any other
// byte is read as Latin-1, and what XML cannot hold becomes "?".
void AppendXmlText(std::string& out, std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '&') {
            out += "&amp;";
        } else if (c == '<') {
            out += "&lt;";
        } else if (c == '>') {
            out += "&gt;";
        } else if (c == '"') {
            out += "&quot;";
        } else if (c < 0x20) {
            out += c == '\t' ? '\t' : '?';
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            const std::size_t need = c >= 0xF0 && c < 0xF5   ? 3
                                     : c >= 0xE0 && c < 0xF0 ? 2
                                     : c >= 0xC2 && c < 0xE0 ? 1
                                                             : 0;
            bool valid = need > 0 && i + need < text.size();
            for (std::size_t k = 1; valid && k <= need; ++k)
                valid = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
            if (valid) {
                // No overlong forms, surrogates or code points beyond U+10FFFF.
                const auto next = static_cast<unsigned char>(text[i + 1]);
                valid = !(c == 0xE0 && next < 0xA0) && !(c == 0xED && next >= 0xA0) &&
                        !(c == 0xF0 && next < 0x90) && !(c == 0xF4 && next >= 0x90);
            }
            if (valid) {
                out.append(text.substr(i, need + 1));
                i += need;
            } else {
                out += static_cast<char>(0xC0 | (c >> 6));
                out += static_cast<char>(0x80 | (c & 0x3F));
            }
        }
    }
}

}  // namespace

PreviewLabelLayout LabelLayoutOf(const std::vector<std::string>& fields, const NameTables& names) {
    // As the composer resolves the list: an item is the field whose name it matches.
    PreviewLabelLayout layout;
    int position = 0;
    for (const std::string& item : fields) {
        for (std::size_t kind = 0; kind < std::min(names.dataFieldNames.size(),
                                                   static_cast<std::size_t>(kDataFieldCount));
             ++kind) {
            if (item != names.dataFieldNames[kind]) continue;
            if (kind == kNumberKind && layout.numberField < 0) layout.numberField = position;
            if (kind == kCodeKind && layout.codeField < 0) layout.codeField = position;
            ++position;
        }
    }
    layout.codeIsLast = layout.codeField >= 0 && layout.codeField == position - 1;
    return layout;
}

std::uint32_t PreviewColour(std::string_view entityType, std::size_t typeIndex) {
    struct Named {
        std::string_view type;
        std::uint32_t rgb;
    };
    static constexpr Named kColours[] = {
        {"POINT", 0xD62728},    {"LINE", 0x1F77B4},    {"LWPOLYLINE", 0x2CA02C},
        {"POLYLINE", 0x17BECF}, {"SPLINE", 0x9467BD},  {"CIRCLE", 0xFF7F0E},
        {"ARC", 0x8C564B},      {"ELLIPSE", 0xE377C2}, {"BLOCK", 0x7F7F7F},
        {"TEXT", 0xBCBD22},     {"MTEXT", 0x393B79}};
    for (const Named& n : kColours)
        if (n.type == entityType) return n.rgb;
    static constexpr std::uint32_t kSpare[] = {0x637939, 0x843C39, 0x7B4173, 0x3182BD};
    return kSpare[typeIndex % std::size(kSpare)];
}

void PointPreview::Point(const EntityValues& values, std::string_view line) {
    const std::string_view type = values.EntityType;
    std::uint32_t t = 0;
    while (t < types_.size() && types_[t].name != type) ++t;
    if (t == types_.size()) types_.push_back({std::string(type), 0, PreviewColour(type, t)});
    ++types_[t].count;

    PreviewPoint p;
    p.x = CoordinateValue(values.X);
    p.y = CoordinateValue(values.Y);
    p.z = CoordinateValue(values.Z);
    p.type = t;
    p.line = static_cast<std::uint32_t>(lineStarts_.size());
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

std::string PointPreview::Summary() const {
    std::string s = std::to_string(points_.size()) + (points_.size() == 1 ? " point" : " points");
    if (points_.empty()) return s;
    const PreviewExtent& e = extent_;
    s += "  X " + Number(e.minX, 3) + " .. " + Number(e.maxX, 3);
    s += "  Y " + Number(e.minY, 3) + " .. " + Number(e.maxY, 3);
    s += "  Z " + Number(e.minZ, 3) + " .. " + Number(e.maxZ, 3);
    return s;
}

bool PreviewDrawing(const std::string& dxfPath, const ExportSettings& settings,
                    const NameTables& names, PassHost& host, const PassOptions& options,
                    PointPreview& preview) {
    FileSource source;
    if (!source.Open(PathFromText(dxfPath))) return false;
    RunReport report;
    FilePass pass(settings, names, host, report);
    pass.options = options;
    pass.ConvertToObserver(source, preview, FileNamePart(dxfPath));
    return true;
}

std::string PreviewSvg(const PointPreview& preview, std::string_view title) {
    // A page a screen shows whole: the plot on the left, the legend on the right.
    constexpr double kWidth = 1200, kHeight = 900, kMargin = 30, kTop = 60, kLegend = 260;
    constexpr double kPlotW = kWidth - kLegend - 2 * kMargin, kPlotH = kHeight - kTop - kMargin;
    const auto& points = preview.Points();
    const PreviewExtent& e = preview.Extent();
    const double spanX = e.maxX - e.minX, spanY = e.maxY - e.minY;
    // Markers on the extent stay clear of the frame.
    constexpr double kPad = 10, kInnerW = kPlotW - 2 * kPad, kInnerH = kPlotH - 2 * kPad;
    double scale =
        std::min(spanX > 0 ? kInnerW / spanX : HUGE_VAL, spanY > 0 ? kInnerH / spanY : HUGE_VAL);
    if (!std::isfinite(scale)) scale = 1;
    // Centred in the plot area.
    const double left = kMargin + kPad + (kInnerW - spanX * scale) / 2;
    const double bottom = kTop + kPad + kInnerH - (kInnerH - spanY * scale) / 2;
    const bool labelled = points.size() <= kSvgLabelledPoints;

    std::string s;
    s.reserve(200 + points.size() * (labelled ? 120 : 48));
    s += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    s += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"1200\" height=\"900\" "
         "viewBox=\"0 0 1200 900\" font-family=\"sans-serif\">\n";
    s += "<rect width=\"1200\" height=\"900\" fill=\"#ffffff\"/>\n";
    s += "<text x=\"30\" y=\"28\" font-size=\"18\">";
    AppendXmlText(s, title);
    s += "</text>\n<text x=\"30\" y=\"48\" font-size=\"13\" fill=\"#444444\">";
    AppendXmlText(s, preview.Summary());
    s += "</text>\n";
    s += "<rect x=\"" + Number(kMargin, 0) + "\" y=\"" + Number(kTop, 0) + "\" width=\"" +
         Number(kPlotW, 0) + "\" height=\"" + Number(kPlotH, 0) +
         "\" fill=\"none\" stroke=\"#cccccc\"/>\n";

    const auto& types = preview.Types();
    for (std::uint32_t t = 0; t < types.size(); ++t) {
        char colour[8];
        std::snprintf(colour, sizeof colour, "#%06X", static_cast<unsigned>(types[t].rgb));
        s += "<g fill=\"";
        s += colour;
        s += "\">\n";
        for (std::size_t i = 0; i < points.size(); ++i) {
            const PreviewPoint& p = points[i];
            if (p.type != t) continue;
            const std::string cx = Number(left + (p.x - e.minX) * scale, 2);
            const std::string cy = Number(bottom - (p.y - e.minY) * scale, 2);
            s += "<circle cx=\"" + cx + "\" cy=\"" + cy + "\" r=\"2\"";
            if (!labelled) {
                s += "/>\n";
                continue;
            }
            s += "><title>";
            AppendXmlText(s, preview.Line(i));
            s += "</title></circle>\n";
            const std::string label = preview.Label(i);
            if (label.empty()) continue;
            s += "<text x=\"" + Number(left + (p.x - e.minX) * scale + 4, 2) + "\" y=\"" +
                 Number(bottom - (p.y - e.minY) * scale - 4, 2) +
                 "\" font-size=\"9\" fill=\"#333333\">";
            AppendXmlText(s, label);
            s += "</text>\n";
        }
        s += "</g>\n";
    }

    // The legend: a swatch, the type and its count per line.
    const double legendX = kWidth - kLegend;
    double y = kTop + 10;
    for (const PreviewType& type : types) {
        char colour[8];
        std::snprintf(colour, sizeof colour, "#%06X", static_cast<unsigned>(type.rgb));
        s += "<rect x=\"" + Number(legendX, 0) + "\" y=\"" + Number(y - 10, 0) +
             "\" width=\"12\" height=\"12\" fill=\"" + colour + "\"/>\n";
        s += "<text x=\"" + Number(legendX + 20, 0) + "\" y=\"" + Number(y, 0) +
             "\" font-size=\"13\">";
        AppendXmlText(s, type.name + "  " + std::to_string(type.count));
        s += "</text>\n";
        y += 20;
    }
    s += "</svg>\n";
    return s;
}

}  // namespace korvel
