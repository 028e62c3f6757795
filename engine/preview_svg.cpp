#include "engine/preview_svg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <unordered_set>

#include "engine/geometry_trace.h"

namespace korvel {

namespace {

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

// A page a screen shows whole: the plot on the left, the legend on the right.
constexpr double kWidth = 1200, kHeight = 900, kMargin = 30, kTop = 60, kLegend = 260;
// The side of a density cell, in page units.
constexpr double kDensityCell = 3;

// A label's box on the page.
struct PlacedLabel {
    double left, top, width, height;
    bool Overlaps(const PlacedLabel& o) const {
        return left < o.left + o.width && o.left < left + width && top < o.top + o.height &&
               o.top < top + height;
    }
};
constexpr double kPlotW = kWidth - kLegend - 2 * kMargin, kPlotH = kHeight - kTop - kMargin;
// Markers on the extent stay clear of the frame.
constexpr double kPad = 10, kInnerW = kPlotW - 2 * kPad, kInnerH = kPlotH - 2 * kPad;

std::string Colour(std::uint32_t rgb) {
    char colour[8];
    std::snprintf(colour, sizeof colour, "#%06X", static_cast<unsigned>(rgb));
    return colour;
}

// Drawing coordinates to the page: one scale for X and Y, the extent centred
// in the plot area.
class PagePlacement {
  public:
    explicit PagePlacement(const PreviewExtent& e) : e_(e) {
        const double spanX = e.maxX - e.minX, spanY = e.maxY - e.minY;
        scale_ = std::min(spanX > 0 ? kInnerW / spanX : HUGE_VAL,
                          spanY > 0 ? kInnerH / spanY : HUGE_VAL);
        if (!std::isfinite(scale_)) scale_ = 1;
        left_ = kMargin + kPad + (kInnerW - spanX * scale_) / 2;
        bottom_ = kTop + kPad + kInnerH - (kInnerH - spanY * scale_) / 2;
    }
    double X(double x) const { return left_ + (x - e_.minX) * scale_; }
    double Y(double y) const { return bottom_ - (y - e_.minY) * scale_; }
    // The same placement for tracing, drawing on the plot area.
    PageView View() const {
        return {e_.minX, e_.minY, scale_,           left_,        bottom_,
                kMargin, kTop,    kMargin + kPlotW, kTop + kPlotH};
    }

  private:
    PreviewExtent e_;
    double scale_, left_, bottom_;
};

void AppendHeader(std::string& s, const PointPreview& preview, std::string_view title) {
    s += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    s += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"1200\" height=\"900\" "
         "viewBox=\"0 0 1200 900\" font-family=\"sans-serif\">\n";
    s += "<rect width=\"1200\" height=\"900\" fill=\"#ffffff\"/>\n";
    s += "<text x=\"30\" y=\"28\" font-size=\"18\">";
    AppendXmlText(s, title);
    s += "</text>\n<text x=\"30\" y=\"48\" font-size=\"13\" fill=\"#444444\">";
    AppendXmlText(s, preview.Summary());
    s += "</text>\n";
    s += "<rect x=\"" + FixedDecimal(kMargin, 0) + "\" y=\"" + FixedDecimal(kTop, 0) +
         "\" width=\"" + FixedDecimal(kPlotW, 0) + "\" height=\"" + FixedDecimal(kPlotH, 0) +
         "\" fill=\"none\" stroke=\"#cccccc\"/>\n";
}

// The points of one type, each with its data line as a title when the
// picture is labelled.
void AppendPoints(std::string& s, const PointPreview& preview, const PreviewType& type,
                  const PagePlacement& page, bool labelled) {
    const auto& points = preview.Points();
    s += "<g fill=\"" + Colour(type.rgb) + "\">\n";
    for (std::size_t i = 0; i < points.size(); ++i) {
        const PreviewPoint& p = points[i];
        if (p.type != type.type) continue;
        s += "<circle cx=\"" + FixedDecimal(page.X(p.x), 2) + "\" cy=\"" +
             FixedDecimal(page.Y(p.y), 2) + "\" r=\"2\"";
        if (!labelled) {
            s += "/>\n";
            continue;
        }
        s += "><title>";
        AppendXmlText(s, preview.Line(i));
        s += "</title></circle>\n";
    }
    s += "</g>\n";
}

// The cells of a grid of `cell` page units over the plot area, by row.
class PageCells {
  public:
    explicit PageCells(double cell)
        : cell_(cell),
          columns_(static_cast<std::size_t>(kPlotW / cell) + 1),
          rows_(static_cast<std::size_t>(kPlotH / cell) + 1),
          held_(columns_ * rows_) {}
    // The cell holding the page point (x, y), if it is on the plot.
    void Take(double x, double y) {
        const double cx = (x - kMargin) / cell_, cy = (y - kTop) / cell_;
        if (!(cx >= 0 && cy >= 0)) return;
        const auto column = std::min(static_cast<std::size_t>(cx), columns_ - 1);
        const auto row = std::min(static_cast<std::size_t>(cy), rows_ - 1);
        held_[row * columns_ + column] = true;
    }
    // Every cell a segment passes through, taken in steps of half a cell.
    void TakeSegment(double x1, double y1, double x2, double y2) {
        const double steps = std::ceil(std::hypot(x2 - x1, y2 - y1) * 2 / cell_);
        const auto n = static_cast<int>(std::clamp(steps, 1.0, 1e5));
        for (int k = 0; k <= n; ++k) Take(x1 + (x2 - x1) * k / n, y1 + (y2 - y1) * k / n);
    }
    // The held cells as one path, a rectangle for each run of them in a row.
    void Append(std::string& s, const std::string& fill) const {
        s += "<path fill=\"" + fill + "\" d=\"";
        const std::string side = FixedDecimal(cell_, 1);
        for (std::size_t row = 0; row < rows_; ++row) {
            for (std::size_t column = 0; column < columns_;) {
                if (!held_[row * columns_ + column]) {
                    ++column;
                    continue;
                }
                std::size_t end = column + 1;
                while (end < columns_ && held_[row * columns_ + end]) ++end;
                const double width = static_cast<double>(end - column) * cell_;
                s += "M" + FixedDecimal(kMargin + static_cast<double>(column) * cell_, 1) + " " +
                     FixedDecimal(kTop + static_cast<double>(row) * cell_, 1) + "h" +
                     FixedDecimal(width, 1) + "v" + side + "h-" + FixedDecimal(width, 1) + "z";
                column = end;
            }
        }
        s += "\"/>\n";
    }

  private:
    double cell_;
    std::size_t columns_, rows_;
    std::vector<bool> held_;
};

// The points of one type as the cells of a grid of kDensityCell page units
// that hold any: a picture of millions of points stays small and quick.
void AppendDensity(std::string& s, const PointPreview& preview, const PreviewType& type,
                   const PagePlacement& page) {
    PageCells cells(kDensityCell);
    for (const PreviewPoint& p : preview.Points())
        if (p.type == type.type) cells.Take(page.X(p.x), page.Y(p.y));
    cells.Append(s, Colour(type.rgb));
}

constexpr char kGeometryColour[] = "#c0c0c0";
constexpr char kMarkColour[] = "#b4b4b4";
// The cells a drawing too large for lines is drawn as, in page units.
constexpr double kGeometryCell = 1.5;

// The drawing's geometry in grey behind the points: its lines no finer than
// the page shows (a line drawn twice on the page is written once) and a
// small cross at each text and block reference; when that takes more than
// kSvgGeometryBytes, the cells of the page its lines and marks pass through.
// Returns whether it was drawn as cells.
bool AppendGeometry(std::string& s, const DrawingGeometry& geometry, const PagePlacement& page) {
    if (geometry.Empty()) return false;
    const PageView view = page.View();
    std::string lines, marks;
    std::unordered_set<std::string> seen;
    bool tooLarge = false;
    TraceGeometry(geometry, view, 0.5, [&](const double* xy, std::size_t count, EntityType) {
        if (tooLarge) return;
        std::string d = "M" + FixedDecimal(xy[0], 1) + " " + FixedDecimal(xy[1], 1) + "L";
        for (std::size_t k = 1; k < count; ++k) {
            if (k > 1) d += ' ';
            d += FixedDecimal(xy[2 * k], 1) + " " + FixedDecimal(xy[2 * k + 1], 1);
        }
        if (count == 2 && !seen.insert(d).second) return;
        lines += d;
        tooLarge = lines.size() > kSvgGeometryBytes;
    });
    for (std::size_t i = 0; i < geometry.Marks() && !tooLarge; ++i) {
        const double x = page.X(geometry.MarkX(i)), y = page.Y(geometry.MarkY(i));
        if (x < kMargin || y < kTop || x > kMargin + kPlotW || y > kTop + kPlotH) continue;
        std::string d =
            "M" + FixedDecimal(x - 1.5, 1) + " " + FixedDecimal(y, 1) + "h3m-1.5 -1.5v3";
        if (!seen.insert(d).second) continue;
        marks += d;
        tooLarge = lines.size() + marks.size() > kSvgGeometryBytes;
    }
    // What lies beyond the points' extent stays within the plot's frame.
    s += "<clipPath id=\"plot\"><rect x=\"" + FixedDecimal(kMargin, 0) + "\" y=\"" +
         FixedDecimal(kTop, 0) + "\" width=\"" + FixedDecimal(kPlotW, 0) + "\" height=\"" +
         FixedDecimal(kPlotH, 0) + "\"/></clipPath>\n<g clip-path=\"url(#plot)\">\n";
    if (!tooLarge) {
        if (!lines.empty())
            s += "<path fill=\"none\" stroke=\"" + std::string(kGeometryColour) +
                 "\" stroke-width=\"0.6\" stroke-linecap=\"round\" stroke-linejoin=\"round\" "
                 "d=\"" +
                 lines + "\"/>\n";
        if (!marks.empty())
            s += "<path fill=\"none\" stroke=\"" + std::string(kMarkColour) +
                 "\" stroke-width=\"0.6\" d=\"" + marks + "\"/>\n";
        s += "</g>\n";
        return false;
    }
    PageCells cells(kGeometryCell);
    TraceGeometry(geometry, view, kGeometryCell / 2,
                  [&](const double* xy, std::size_t count, EntityType) {
                      for (std::size_t k = 1; k < count; ++k)
                          cells.TakeSegment(xy[2 * k - 2], xy[2 * k - 1], xy[2 * k], xy[2 * k + 1]);
                  });
    for (std::size_t i = 0; i < geometry.Marks(); ++i)
        cells.Take(page.X(geometry.MarkX(i)), page.Y(geometry.MarkY(i)));
    cells.Append(s, kGeometryColour);
    s += "</g>\n";
    return true;
}

// The width of `text` at `size` in the page's sans-serif, near enough to
// keep labels apart: a character is at most about 0.68 of the size wide
// (capitals; most are narrower).
double TextWidth(std::string_view text, double size) {
    std::size_t characters = 0;
    for (const char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++characters;
    return static_cast<double>(characters) * size * 0.68;
}

// The labels of the points, each in the first of four places around its
// point that lies within the plot and overprints no label placed before
// it; a label with no such place is left out.
void AppendLabels(std::string& s, const PointPreview& preview, const PagePlacement& page) {
    constexpr double kSize = 9, kGap = 3;
    std::vector<PlacedLabel> placed;
    s += "<g font-size=\"9\" fill=\"#333333\">\n";
    for (std::size_t i = 0; i < preview.Points().size(); ++i) {
        const std::string label = preview.Label(i);
        if (label.empty()) continue;
        const PreviewPoint& p = preview.Points()[i];
        const double x = page.X(p.x), y = page.Y(p.y);
        const double w = TextWidth(label, kSize), h = kSize * 1.2;
        const double lefts[] = {x + kGap, x - kGap - w, x + kGap, x - kGap - w};
        const double tops[] = {y - kGap - h, y - kGap - h, y + kGap, y + kGap};
        for (int k = 0; k < 4; ++k) {
            const PlacedLabel box{lefts[k], tops[k], w, h};
            if (box.left < kMargin || box.top < kTop || box.left + w > kMargin + kPlotW ||
                box.top + h > kTop + kPlotH)
                continue;
            if (std::any_of(placed.begin(), placed.end(),
                            [&](const PlacedLabel& other) { return other.Overlaps(box); }))
                continue;
            placed.push_back(box);
            // The baseline a fifth of the size above the box's bottom.
            s += "<text x=\"" + FixedDecimal(box.left, 2) + "\" y=\"" +
                 FixedDecimal(box.top + h - kSize * 0.2 - 1, 2) + "\">";
            AppendXmlText(s, label);
            s += "</text>\n";
            break;
        }
    }
    s += "</g>\n";
}

constexpr char kPairColour[] = "#a0a0a0";
constexpr char kUnpairedColour[] = "#000000";

// A cross of `size` page units at (x, y).
void AppendCross(std::string& s, double x, double y, double size) {
    s += "<path d=\"M" + FixedDecimal(x - size, 2) + " " + FixedDecimal(y - size, 2) + "L" +
         FixedDecimal(x + size, 2) + " " + FixedDecimal(y + size, 2) + "M" +
         FixedDecimal(x - size, 2) + " " + FixedDecimal(y + size, 2) + "L" +
         FixedDecimal(x + size, 2) + " " + FixedDecimal(y - size, 2) + "\"";
}

// A thin line from each label to the point that took it, under the points;
// lines too short to see on the page are left out.
void AppendPairs(std::string& s, const PointPreview& preview, const PagePlacement& page) {
    if (preview.Pairs().empty()) return;
    s += "<g stroke=\"" + std::string(kPairColour) + "\" stroke-width=\"0.6\">\n";
    for (const PreviewPair& pair : preview.Pairs()) {
        const PreviewPoint& p = preview.Points()[pair.point];
        const double x1 = page.X(pair.labelX), y1 = page.Y(pair.labelY);
        const double x2 = page.X(p.x), y2 = page.Y(p.y);
        if (std::hypot(x2 - x1, y2 - y1) < 0.5) continue;
        s += "<line x1=\"" + FixedDecimal(x1, 2) + "\" y1=\"" + FixedDecimal(y1, 2) + "\" x2=\"" +
             FixedDecimal(x2, 2) + "\" y2=\"" + FixedDecimal(y2, 2) + "\"/>\n";
    }
    s += "</g>\n";
}

// A black cross at each label no point took, its text as the title.
void AppendUnpairedLabels(std::string& s, const PointPreview& preview, const PagePlacement& page) {
    if (preview.UnpairedLabels().empty()) return;
    s += "<g stroke=\"" + std::string(kUnpairedColour) + "\" stroke-width=\"1\" fill=\"none\">\n";
    for (const PreviewLabel& label : preview.UnpairedLabels()) {
        AppendCross(s, page.X(label.x), page.Y(label.y), 3);
        s += "><title>";
        AppendXmlText(s, label.text);
        s += "</title></path>\n";
    }
    s += "</g>\n";
}

// A swatch, the type and its count per line; then the pairs and the labels
// left, when labels were joined.
void AppendLegend(std::string& s, const PointPreview& preview,
                  const std::vector<PreviewType>& types, bool density, bool geometryCells) {
    const double legendX = kWidth - kLegend;
    double y = kTop + 10;
    const auto text = [&](const std::string& what) {
        s += "<text x=\"" + FixedDecimal(legendX + 20, 0) + "\" y=\"" + FixedDecimal(y, 0) +
             "\" font-size=\"13\">";
        AppendXmlText(s, what);
        s += "</text>\n";
        y += 20;
    };
    for (const PreviewType& type : types) {
        s += "<rect x=\"" + FixedDecimal(legendX, 0) + "\" y=\"" + FixedDecimal(y - 10, 0) +
             "\" width=\"12\" height=\"12\" fill=\"" + Colour(type.rgb) + "\"/>\n";
        text(std::string(type.name) + "  " + std::to_string(type.count) +
             (type.count == 1 ? " point" : " points"));
    }
    if (density) {
        y += 6;
        text("Over " + std::to_string(kSvgPointMarkers) + " points: a square");
        text("of " + FixedDecimal(kDensityCell, 0) + " units holds one or more");
    }
    const DrawingGeometry& geometry = preview.Geometry();
    if (!geometry.Empty()) {
        y += 6;
        s += "<line x1=\"" + FixedDecimal(legendX, 0) + "\" y1=\"" + FixedDecimal(y - 4, 0) +
             "\" x2=\"" + FixedDecimal(legendX + 12, 0) + "\" y2=\"" + FixedDecimal(y - 4, 0) +
             "\" stroke=\"" + kGeometryColour + "\" stroke-width=\"1.5\"/>\n";
        text("The drawing behind the points:");
        text(std::to_string(geometry.Polylines()) + " lines, " + std::to_string(geometry.Arcs()) +
             " curves,");
        text(std::to_string(geometry.Marks()) + " texts and blocks");
        if (geometryCells) text("in cells of " + FixedDecimal(kGeometryCell, 1) + " units");
        if (geometry.truncated) text("(too large: drawn in part)");
    }
    if (!preview.Pairs().empty()) {
        s += "<line x1=\"" + FixedDecimal(legendX, 0) + "\" y1=\"" + FixedDecimal(y - 4, 0) +
             "\" x2=\"" + FixedDecimal(legendX + 12, 0) + "\" y2=\"" + FixedDecimal(y - 4, 0) +
             "\" stroke=\"" + kPairColour + "\" stroke-width=\"1.5\"/>\n";
        text("Label pairs  " + std::to_string(preview.Pairs().size()));
    }
    if (!preview.UnpairedLabels().empty()) {
        s += "<g stroke=\"" + std::string(kUnpairedColour) + "\" stroke-width=\"1.5\">";
        AppendCross(s, legendX + 6, y - 4, 5);
        s += "/></g>\n";
        text("Labels without a point  " + std::to_string(preview.UnpairedLabels().size()));
    }
}

}  // namespace

std::string PreviewSvg(const PointPreview& preview, std::string_view title) {
    const bool labelled = preview.Points().size() <= kSvgLabelledPoints;
    const bool density = preview.Points().size() > kSvgPointMarkers;
    const std::vector<PreviewType> types = preview.Types();
    const PagePlacement page(preview.PlotExtent());
    std::string s;
    s.reserve(200 + (density ? 0 : preview.Points().size() * (labelled ? 120 : 48)));
    AppendHeader(s, preview, title);
    const bool geometryCells = AppendGeometry(s, preview.Geometry(), page);
    AppendPairs(s, preview, page);
    for (const PreviewType& type : types) {
        if (density)
            AppendDensity(s, preview, type, page);
        else
            AppendPoints(s, preview, type, page, labelled);
    }
    if (labelled) AppendLabels(s, preview, page);
    AppendUnpairedLabels(s, preview, page);
    AppendLegend(s, preview, types, density, geometryCells);
    s += "</svg>\n";
    return s;
}

}  // namespace korvel
