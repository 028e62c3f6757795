#include "engine/label_join.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <nanoflann.hpp>
#include <optional>
#include <thread>
#include <tuple>

#include "engine/dxf_line_kind.h"
#include "engine/number_format.h"
#include "settings/blanks.h"
#include "settings/korvel_error.h"

namespace korvel {

namespace {

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool StartsWithNoCase(std::string_view text, std::string_view start) {
    if (start.empty() || text.size() < start.size()) return false;
    for (std::size_t i = 0; i < start.size(); ++i)
        if (Upper(text[i]) != Upper(start[i])) return false;
    return true;
}

bool EndsWithNoCase(std::string_view text, std::string_view end) {
    return text.size() >= end.size() &&
           StartsWithNoCase(text.substr(text.size() - end.size()), end);
}

// The longest of `list` that `text` starts (or ends) with, taken off.
std::string_view WithoutOneOf(std::string_view text, const std::vector<std::string>& list,
                              bool atStart) {
    std::size_t longest = 0;
    for (const std::string& item : list)
        if (item.size() > longest &&
            (atStart ? StartsWithNoCase(text, item) : EndsWithNoCase(text, item)))
            longest = item.size();
    return atStart ? text.substr(longest) : text.substr(0, text.size() - longest);
}

// A place's coordinate as a double, as the data lines read it.
std::optional<double> CoordinateOf(std::string_view text) {
    const std::optional<double> value = NumberValue(text);
    if (value && std::isfinite(*value)) return value;
    return std::nullopt;
}

// The types that points of `names` have, by report name ("Blocks") or by
// the name of the entity in the drawing ("INSERT").
std::array<bool, kEntityTypeCount> SymbolTypes(const std::vector<std::string>& names) {
    if (names.empty()) throw KorvelError("no entity type named to take labels");
    std::array<bool, kEntityTypeCount> types{};
    for (const std::string& given : names) {
        std::string name(TrimBlanks(given));
        bool known = false;
        for (const EntityTypeInfo& info : kEntityTypes) {
            std::string upper(info.name);
            for (char& c : upper) c = Upper(c);
            std::string candidate = name;
            for (char& c : candidate) c = Upper(c);
            const LineKind kind = ClassifyLine(candidate);
            const bool byDrawing = IsEntityName(kind) &&
                                   (info.drawingKinds[0] == kind || info.drawingKinds[1] == kind);
            if (candidate == upper || byDrawing) {
                types[static_cast<std::size_t>(info.type)] = true;
                known = true;
            }
        }
        if (!known) throw KorvelError("'" + name + "' is no entity type Korvel converts");
    }
    return types;
}

// From this many points on, two threads search the tree.
constexpr std::size_t kThreadedSearch = 20000;

// The places of the labels of one kind, as nanoflann sees them.
struct LabelCloud {
    std::vector<std::array<double, 2>> places;
    std::size_t kdtree_get_point_count() const { return places.size(); }
    double kdtree_get_pt(std::size_t i, std::size_t dim) const { return places[i][dim]; }
    template <class Box>
    bool kdtree_get_bbox(Box&) const {
        return false;
    }
};

using LabelTree =
    nanoflann::KDTreeSingleIndexAdaptor<nanoflann::L2_Simple_Adaptor<double, LabelCloud>,
                                        LabelCloud, 2, std::uint32_t>;

// The places with finite coordinates, by index, those near each other near
// each other in the list (along the Z-order curve over their extent): a tree
// built over them and searched for them in this order finds what it reads
// still in the cache.
template <class Place, class X, class Y>
std::vector<std::uint32_t> SpatialOrder(const std::vector<Place>& places, X x, Y y) {
    double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
    for (const Place& p : places)
        if (std::isfinite(x(p)) && std::isfinite(y(p))) {
            minX = std::min(minX, x(p));
            maxX = std::max(maxX, x(p));
            minY = std::min(minY, y(p));
            maxY = std::max(maxY, y(p));
        }
    const auto spread = [](std::uint32_t v) {
        std::uint64_t bits = v;
        bits = (bits | (bits << 16)) & 0x0000FFFF0000FFFFull;
        bits = (bits | (bits << 8)) & 0x00FF00FF00FF00FFull;
        bits = (bits | (bits << 4)) & 0x0F0F0F0F0F0F0F0Full;
        bits = (bits | (bits << 2)) & 0x3333333333333333ull;
        bits = (bits | (bits << 1)) & 0x5555555555555555ull;
        return bits;
    };
    const auto cell = [](double v, double min, double max) {
        return max > min ? static_cast<std::uint32_t>((v - min) / (max - min) * 65535.0) : 0u;
    };
    // The curve's place (16 bits of each axis) above the index; sorted by
    // the place, a byte at a time, the lowest first.
    std::vector<std::uint64_t> keyed, sorted;
    keyed.reserve(places.size());
    for (std::size_t i = 0; i < places.size(); ++i) {
        const Place& p = places[i];
        if (std::isfinite(x(p)) && std::isfinite(y(p)))
            keyed.push_back(
                (spread(cell(x(p), minX, maxX)) | spread(cell(y(p), minY, maxY)) << 1) << 32 | i);
    }
    sorted.resize(keyed.size());
    for (int shift = 32; shift < 64; shift += 8) {
        std::array<std::size_t, 257> start{};
        for (const std::uint64_t k : keyed) ++start[((k >> shift) & 0xFF) + 1];
        for (std::size_t b = 0; b < 256; ++b) start[b + 1] += start[b];
        for (const std::uint64_t k : keyed) sorted[start[(k >> shift) & 0xFF]++] = k;
        keyed.swap(sorted);
    }
    std::vector<std::uint32_t> order;
    order.reserve(keyed.size());
    for (const std::uint64_t k : keyed) order.push_back(static_cast<std::uint32_t>(k));
    return order;
}

}  // namespace

std::string PlainMText(std::string_view text) {
    std::string plain;
    plain.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '{' || c == '}') continue;
        // A control character written as a caret and a letter ("^J" a line
        // break, "^I" a tab) is a blank; "^ " is the caret itself.
        if (c == '^' && i + 1 < text.size()) {
            plain += text[++i] == ' ' ? '^' : ' ';
            continue;
        }
        if (c != '\\' || i + 1 == text.size()) {
            plain += c;
            continue;
        }
        const char code = text[++i];
        switch (code) {
            case 'P':
            case '~':
                plain += ' ';
                break;
            case '\\':
            case '{':
            case '}':
                plain += code;
                break;
            case 'L':
            case 'l':
            case 'O':
            case 'o':
            case 'K':
            case 'k':
                break;  // lines over, under and through the text
            case 'S': {
                // Stacked text "\S12^3;": both parts, a "/" between.
                const std::size_t end = text.find(';', i);
                for (std::size_t k = i + 1; k < std::min(end, text.size()); ++k)
                    plain += text[k] == '^' || text[k] == '#' ? '/' : text[k];
                i = end == std::string_view::npos ? text.size() : end;
                break;
            }
            default: {
                // A code with a value up to ";" (font, height, colour, ...).
                const std::size_t end = text.find(';', i);
                i = end == std::string_view::npos ? text.size() : end;
                break;
            }
        }
    }
    return plain;
}

std::string HeightText(std::string_view text, const LabelOptions& options, bool needSeparator) {
    std::string_view s = TrimBlanks(text);
    s = TrimBlanks(WithoutOneOf(s, options.prefixes, true));
    s = TrimBlanks(WithoutOneOf(s, options.units, false));
    std::string height;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        if (s.front() == '-') height += '-';
        s.remove_prefix(1);
    }
    bool separator = false, digits = false;
    for (const char c : s) {
        if (c >= '0' && c <= '9') {
            height += c;
            digits = true;
        } else if ((c == '.' || c == ',') && !separator) {
            height += '.';
            separator = true;
        } else {
            return {};
        }
    }
    if (!digits || height.back() == '.' || (needSeparator && !separator)) return {};
    return height;
}

LabelJoin::LabelJoin(const LabelOptions& options)
    : options_(options), symbolTypes_(SymbolTypes(options.pointTypes)) {
    try {
        layers_ = LayerPatterns(options.layers);
    } catch (const KorvelError& e) {
        throw KorvelError(std::string("Label layers: ") + e.what());
    }
}

void LabelJoin::AddPoint(std::string_view x, std::string_view y) {
    const std::optional<double> px = CoordinateOf(x), py = CoordinateOf(y);
    points_.push_back({px ? *px : NAN, py ? *py : NAN});
}

void LabelJoin::AddLabel(std::string_view x, std::string_view y, std::string_view text,
                         std::string_view layer) {
    if (!layers_.Empty()) {
        // Labels come in runs of one layer: the last judgement is kept.
        if (!layerJudged_ || layer != lastLayer_) {
            layerJudged_ = true;
            lastLayer_.assign(layer);
            lastLayerPasses_ = layers_.Match(layer.empty() ? std::string_view("0") : layer);
        }
        if (!lastLayerPasses_) return;
    }
    const std::string_view trimmed = TrimBlanks(text);
    if (trimmed.empty()) return;
    std::string height;
    if (options_.heightsWithin > 0)
        height = HeightText(trimmed, options_, options_.numbersWithin > 0);
    if (height.empty() && options_.heightsWithin > 0) ++noHeights_;
    // A point number is one word: a text with a blank or a comma in it is a
    // caption or a note, and a comma would split the data line besides.
    if (height.empty() &&
        (options_.numbersWithin <= 0 || trimmed.find_first_of(" \t,") != std::string_view::npos))
        return;
    const std::optional<double> lx = CoordinateOf(x), ly = CoordinateOf(y);
    if (!lx || !ly) return;
    labels_.push_back({*lx, *ly, texts_.size(), static_cast<std::uint32_t>(trimmed.size()),
                       static_cast<std::uint32_t>(height.size())});
    texts_ += trimmed;
    texts_ += height;
}

void LabelJoin::Join() {
    took_.assign(points_.size(), {});
    written_.assign(points_.size(), {});
    if (options_.heightsWithin > 0) heights_ = JoinKind(Kind::Height, options_.heightsWithin);
    if (options_.numbersWithin > 0) numbers_ = JoinKind(Kind::Number, options_.numbersWithin);
    for (const Pair& pair : pairs_)
        (pair.kind == Kind::Height ? took_[pair.point].height : took_[pair.point].number) =
            static_cast<std::uint32_t>(pair.label);
}

LabelJoin::Outcome LabelJoin::JoinKind(Kind kind, double within) {
    // The labels of the kind: their places for the tree, their indexes.
    LabelCloud cloud;
    std::vector<std::uint32_t> ids;
    for (const std::uint32_t i : SpatialOrder(
             labels_, [](const Label& l) { return l.x; }, [](const Label& l) { return l.y; }))
        if ((kind == Kind::Height) == (labels_[i].heightSize > 0)) {
            cloud.places.push_back({labels_[i].x, labels_[i].y});
            ids.push_back(i);
        }
    // Every point and label within the distance of each other.
    struct Candidate {
        double distance;
        std::uint32_t point, label;  // the label by its place in `ids`
    };
    std::vector<Candidate> candidates;
    if (!ids.empty()) {
        // Built as it is made.
        const LabelTree tree(2, cloud, nanoflann::KDTreeSingleIndexAdaptorParams(10));
        // Squared distances; a hair wider, the exact test below.
        const double radius = within * within * (1 + 1e-9);
        const std::vector<std::uint32_t> order = SpatialOrder(
            points_, [](const Point& q) { return q.x; }, [](const Point& q) { return q.y; });
        const auto search = [&](std::size_t from, std::size_t to, std::vector<Candidate>& found) {
            std::vector<std::pair<std::uint32_t, double>> near;
            for (std::size_t k = from; k < to; ++k) {
                const std::uint32_t p = order[k];
                const double query[2] = {points_[p].x, points_[p].y};
                near.clear();
                tree.radiusSearch(query, radius, near, nanoflann::SearchParams(32, 0, false));
                for (const auto& [label, squared] : near) {
                    const double d = std::sqrt(squared);
                    if (d <= within) found.push_back({d, p, label});
                }
            }
        };
        // Many points: the second half on a thread of its own.
        if (order.size() >= kThreadedSearch) {
            std::vector<Candidate> second;
            std::thread helper(search, order.size() / 2, order.size(), std::ref(second));
            try {
                search(0, order.size() / 2, candidates);
            } catch (...) {
                helper.join();
                throw;
            }
            helper.join();
            candidates.insert(candidates.end(), second.begin(), second.end());
        } else {
            search(0, order.size(), candidates);
        }
    }
    Outcome outcome;
    // A point and a label that are each other's only candidate are a pair
    // whatever comes before them; only the others go through the order.
    {
        std::vector<std::uint32_t> pointCount(points_.size(), 0), labelCount(ids.size(), 0);
        for (const Candidate& c : candidates) {
            ++pointCount[c.point];
            ++labelCount[c.label];
        }
        std::size_t contested = 0;
        for (const Candidate& c : candidates) {
            if (pointCount[c.point] == 1 && labelCount[c.label] == 1) {
                pairs_.push_back({kind, c.point, ids[c.label], c.distance});
                ++outcome.paired;
            } else {
                candidates[contested++] = c;
            }
        }
        candidates.resize(contested);
    }
    // The nearest first; equal distances in an order of their places, not of
    // the drawing's order.
    std::sort(candidates.begin(), candidates.end(), [&](const Candidate& a, const Candidate& b) {
        if (a.distance != b.distance) return a.distance < b.distance;
        const auto& la = cloud.places[a.label];
        const auto& lb = cloud.places[b.label];
        return std::tie(la[0], la[1], points_[a.point].x, points_[a.point].y) <
               std::tie(lb[0], lb[1], points_[b.point].x, points_[b.point].y);
    });
    // The candidates of each point and of each label, nearest first.
    const auto byOwner = [&](std::size_t owners, auto owner) {
        std::vector<std::uint32_t> start(owners + 1, 0), list(candidates.size());
        for (const Candidate& c : candidates) ++start[owner(c) + 1];
        for (std::size_t i = 0; i < owners; ++i) start[i + 1] += start[i];
        std::vector<std::uint32_t> next(start.begin(), start.end() - 1);
        for (std::size_t k = 0; k < candidates.size(); ++k)
            list[next[owner(candidates[k])]++] = static_cast<std::uint32_t>(k);
        return std::pair(std::move(start), std::move(list));
    };
    const auto byPoint = byOwner(points_.size(), [](const Candidate& c) { return c.point; });
    const auto byLabel = byOwner(ids.size(), [](const Candidate& c) { return c.label; });
    const std::vector<std::uint32_t>& pointStart = byPoint.first;
    const std::vector<std::uint32_t>& pointList = byPoint.second;
    const std::vector<std::uint32_t>& labelStart = byLabel.first;
    const std::vector<std::uint32_t>& labelList = byLabel.second;
    std::vector<bool> pointFree(points_.size(), true), labelFree(ids.size(), true);
    // Another candidate of the point or the label, still free, within 1 %.
    const auto tie = [&](const Candidate& c) {
        const double limit = c.distance * 1.01;
        for (std::size_t i = pointStart[c.point]; i < pointStart[c.point + 1]; ++i) {
            const Candidate& other = candidates[pointList[i]];
            if (other.distance > limit) break;
            if (other.label != c.label && labelFree[other.label]) return true;
        }
        for (std::size_t i = labelStart[c.label]; i < labelStart[c.label + 1]; ++i) {
            const Candidate& other = candidates[labelList[i]];
            if (other.distance > limit) break;
            if (other.point != c.point && pointFree[other.point]) return true;
        }
        return false;
    };
    for (const Candidate& c : candidates) {
        if (!pointFree[c.point] || !labelFree[c.label]) continue;
        pointFree[c.point] = labelFree[c.label] = false;
        if (tie(c)) {
            ++outcome.ties;
            continue;
        }
        pairs_.push_back({kind, c.point, ids[c.label], c.distance});
        ++outcome.paired;
    }
    for (std::size_t p = 0; p < points_.size(); ++p)
        if (std::isfinite(points_[p].x) && std::isfinite(points_[p].y)) ++outcome.pointsLeft;
    outcome.pointsLeft -= outcome.paired;
    outcome.labelsLeft = ids.size() - outcome.paired;
    return outcome;
}

LabelJoin::Taken LabelJoin::For(std::size_t index) {
    if (index >= took_.size()) return {};
    const Took& took = took_[index];
    Taken taken;
    if (took.number != kNone) taken.number = LabelText(took.number);
    if (took.height != kNone) {
        taken.z = LabelHeight(took.height);
        if (options_.heightOffset != 0) {
            offsetHeight_ = NumberText(NumberValue(taken.z).value_or(0) + options_.heightOffset);
            taken.z = offsetHeight_;
        }
    }
    return taken;
}

void LabelJoin::Written(std::size_t index, std::uint64_t dataLine, std::string_view number) {
    if (index < written_.size()) written_[index] = {dataLine, std::string(number)};
}

std::vector<std::size_t> LabelJoin::UnpairedLabels() const {
    std::vector<bool> used(labels_.size(), false);
    for (const Pair& pair : pairs_) used[pair.label] = true;
    std::vector<std::size_t> unpaired;
    for (std::size_t i = 0; i < labels_.size(); ++i)
        if (!used[i]) unpaired.push_back(i);
    return unpaired;
}

void LabelJoin::AppendReport(RunReport& report) const {
    const auto line = [&](const char* what, double within, const Outcome& o) {
        report.push_back(
            "*** Note, " + std::string(what) + " from labels within " + NumberText(within) + ": " +
            std::to_string(o.paired) + (o.paired == 1 ? " point" : " points") + " paired, " +
            std::to_string(o.pointsLeft) + " without a label, " + std::to_string(o.labelsLeft) +
            (o.labelsLeft == 1 ? " label" : " labels") + " without a point, " +
            std::to_string(o.ties) + (o.ties == 1 ? " tie" : " ties") + " left unpaired ***");
    };
    if (options_.heightsWithin > 0) {
        line("heights", options_.heightsWithin, heights_);
        // Texts that are no numbers are simply no height labels, but a
        // drawing whose heights are all written some other way shows here.
        report.back().insert(report.back().size() - 4,
                             ", " + std::to_string(noHeights_) +
                                 (noHeights_ == 1 ? " text reads" : " texts read") +
                                 " as no height");
    }
    if (options_.numbersWithin > 0) line("numbers", options_.numbersWithin, numbers_);
}

}  // namespace korvel
