// The preview model of a drawing's points.
#include "engine/point_preview.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>

#include "engine/label_join.h"
#include "engine/number_format.h"
#include "engine/record_composer.h"

namespace korvel {
namespace {

constexpr int kNumberKind = static_cast<int>(DataFieldKind::Number);
constexpr int kCodeKind = static_cast<int>(DataFieldKind::Code);

// The texts a point keeps beside it, and the flags that say a point has one.
enum KeptKind : std::uint8_t {
    kKeptX,
    kKeptY,
    kKeptZ,
    kKeptHandle,
    kKeptBlock,
    kKeptText,
    kKeptNumber,
    kKeptLayer,
    kKeptTypeName
};
constexpr std::uint8_t kHasKept = 1, kEmptyZ = 2;
// The layer index and the entity name index that say the text is kept.
constexpr std::uint16_t kLayerKept = 0xFFFF;
constexpr std::uint8_t kTypeNameKept = 63;

// A coordinate text's value, and whether the shortest text of that value is
// written with the same digits at every number of decimals: true up to 15
// significant digits, which a double holds exactly. Any other text (more
// digits, beyond a double's range) is kept as it stands.
bool ExactValue(std::string_view text, double& value) {
    DecimalText d;
    if (!ParseDecimalText(text, d) || d.count > 15) return false;
    const std::optional<double> v = NumberValue(text, d);
    if (!v || !std::isfinite(*v)) return false;
    value = *v;
    return true;
}

// A plotting value for a text kept as it stands.
double PlotValue(std::string_view text) {
    const std::optional<double> v = NumberValue(text);
    return v && std::isfinite(*v) ? *v : 0.0;
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

// What a line is laid out by: the settings and lists of the pass, copied.
struct PointPreview::Composition {
    Composition(const ExportSettings& s, const NameTables& n, std::vector<std::string> fields,
                std::vector<std::string> code)
        : settings(s),
          names(n),
          host(std::move(fields), std::move(code)),
          composer(settings, names, host) {
        // How far the running numbers go on with each line.
        const auto count = [](const std::vector<int>& kinds, int kind) {
            return static_cast<std::uint32_t>(std::count(kinds.begin(), kinds.end(), kind));
        };
        const std::vector<int> fieldKinds =
            ResolveKinds(host.ExportedDataFields(), names.dataFieldNames, kDataFieldCount);
        const std::vector<int> codeKinds =
            ResolveKinds(host.CodeSequence(), names.codeElementNames, kCodeElementCount);
        numbersPerLine = count(fieldKinds, kNumberKind);
        withEntityNumbers = count(fieldKinds, kCodeKind) > 0 &&
                            count(codeKinds, static_cast<int>(CodeElementKind::EntityNumber)) > 0;
        countersPerLine = count(fieldKinds, kCodeKind) *
                          count(codeKinds, static_cast<int>(CodeElementKind::Counter));
    }
    ExportSettings settings;
    NameTables names;
    FixedListsHost host;
    mutable RecordComposer composer;
    std::uint32_t numbersPerLine = 0, countersPerLine = 0;
    bool withEntityNumbers = false;  // the Code writes the entity's running number
};

PointPreview::PointPreview() = default;
PointPreview::~PointPreview() = default;
PointPreview::PointPreview(PointPreview&&) noexcept = default;
PointPreview& PointPreview::operator=(PointPreview&&) noexcept = default;

void PointPreview::Compose(const ExportSettings& settings, const NameTables& names,
                           std::vector<std::string> fields, std::vector<std::string> code) {
    layout_ = LabelLayoutOf(fields, names);
    fieldNames_ = fields;
    composition_ =
        std::make_unique<Composition>(settings, names, std::move(fields), std::move(code));
}

void PointPreview::ExpectDrawingSize(std::uint64_t bytes) {
    // A point takes 40 bytes of a drawing at the least; the room the vector
    // reserves is taken from the system only as it fills.
    const auto room = static_cast<std::size_t>(std::min<std::uint64_t>(bytes / 40, 1u << 27));
    points_.reserve(room);
    if (composition_ && composition_->withEntityNumbers) entityNumbers_.reserve(room);
}

void PointPreview::Keep(std::uint8_t kind, std::string_view text) {
    kept_.push_back({static_cast<std::uint32_t>(points_.size()), kind,
                     static_cast<std::uint32_t>(texts_.size()),
                     static_cast<std::uint32_t>(text.size())});
    texts_.append(text);
}

std::string_view PointPreview::Kept(std::size_t point, std::uint8_t kind) const {
    if ((points_[point].flags & kHasKept) == 0) return {};
    const auto first =
        std::lower_bound(kept_.begin(), kept_.end(), point,
                         [](const KeptText& k, std::size_t p) { return k.point < p; });
    for (auto k = first; k != kept_.end() && k->point == point; ++k)
        if (k->kind == kind) return std::string_view(texts_).substr(k->start, k->size);
    return {};
}

void PointPreview::Point(const EntityValues& values, std::string_view /*line*/,
                         std::int32_t entityNumber) {
    ++typeCounts_[static_cast<std::size_t>(values.type)];
    const std::size_t keptBefore = kept_.size();

    PreviewPoint p;
    p.type = values.type;
    if (composition_ && composition_->withEntityNumbers) entityNumbers_.push_back(entityNumber);
    if (!ExactValue(values.X, p.x)) Keep(kKeptX, values.X), p.x = PlotValue(values.X);
    if (!ExactValue(values.Y, p.y)) Keep(kKeptY, values.Y), p.y = PlotValue(values.Y);
    const std::string_view z = values.Z;
    if (z.empty())
        p.flags = kEmptyZ;
    else if (!ExactValue(z, p.z))
        Keep(kKeptZ, z), p.z = PlotValue(z);
    // Points come entity by entity, most often on the layer of the one before.
    const std::string_view layer = values.Layer;
    if (layers_.empty() || lastLayer_ == kLayerKept || layers_[lastLayer_] != layer) {
        const auto known = layerIndex_.find(layer);
        if (known != layerIndex_.end()) {
            lastLayer_ = known->second;
        } else if (layers_.size() < kLayerKept) {
            lastLayer_ = static_cast<std::uint16_t>(layers_.size());
            layers_.emplace_back(layer);
            layerIndex_.emplace(layer, lastLayer_);
        } else {
            lastLayer_ = kLayerKept;
        }
    }
    p.layer = lastLayer_;
    if (lastLayer_ == kLayerKept) Keep(kKeptLayer, layer);
    const std::string_view typeName = values.EntityType;
    const auto name = std::find(typeNames_.begin(), typeNames_.end(), typeName);
    if (name != typeNames_.end()) {
        p.typeName = static_cast<std::uint8_t>(name - typeNames_.begin()) & kTypeNameKept;
    } else if (typeNames_.size() < kTypeNameKept) {
        p.typeName = static_cast<std::uint8_t>(typeNames_.size()) & kTypeNameKept;
        typeNames_.emplace_back(typeName);
    } else {
        p.typeName = kTypeNameKept;
        Keep(kKeptTypeName, typeName);
    }
    const std::string_view handle = values.Handle;
    std::uint32_t number = 0;
    const auto read = std::from_chars(handle.data(), handle.data() + handle.size(), number, 16);
    // A handle is kept as a number when that number gives it back.
    if (read.ec == std::errc() && read.ptr == handle.data() + handle.size() && number != 0 &&
        handle.front() != '0' && handle.find_first_of("abcdef") == std::string_view::npos)
        p.handle = number;
    else if (!handle.empty())
        Keep(kKeptHandle, handle);
    if (!std::string_view(values.BlockName).empty()) Keep(kKeptBlock, values.BlockName);
    if (!std::string_view(values.Text).empty()) Keep(kKeptText, values.Text);
    if (!std::string_view(values.Number).empty()) Keep(kKeptNumber, values.Number);
    if (kept_.size() != keptBefore) p.flags = p.flags | kHasKept;

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
    bool any = !points_.empty();
    const auto take = [&](double x, double y) {
        if (!any) e = {x, x, y, y, 0, 0};
        any = true;
        e.minX = std::min(e.minX, x);
        e.maxX = std::max(e.maxX, x);
        e.minY = std::min(e.minY, y);
        e.maxY = std::max(e.maxY, y);
    };
    for (const PreviewPair& pair : pairs_) take(pair.labelX, pair.labelY);
    for (const PreviewLabel& label : unpaired_) take(label.x, label.y);
    // A drawing that gave no point at all shows its own geometry.
    if (!any && !geometry_.Empty()) {
        take(geometry_.extent.minX, geometry_.extent.minY);
        take(geometry_.extent.maxX, geometry_.extent.maxY);
    }
    return e;
}

std::string PointPreview::Line(std::size_t point) const {
    if (!composition_) return {};
    const PreviewPoint& p = points_[point];
    EntityValues values;
    const auto text = [&](std::uint8_t kind, double value) {
        const std::string_view kept = Kept(point, kind);
        return kept.empty() ? NumberText(value) : std::string(kept);
    };
    values.X = text(kKeptX, p.x);
    values.Y = text(kKeptY, p.y);
    if ((p.flags & kEmptyZ) == 0) values.Z = text(kKeptZ, p.z);
    values.Layer = Layer(point);
    values.EntityType =
        p.typeName == kTypeNameKept ? Kept(point, kKeptTypeName) : typeNames_[p.typeName];
    values.Handle = Handle(point);
    values.BlockName = Kept(point, kKeptBlock);
    values.Text = Kept(point, kKeptText);
    values.Number = Kept(point, kKeptNumber);
    values.type = p.type;
    const Composition& c = *composition_;
    const auto index = static_cast<std::uint32_t>(point);
    RunningNumbers numbers;
    numbers.PointNumber = static_cast<std::int32_t>(
        static_cast<std::uint32_t>(c.settings.Get(field::StartNumber)) + index * c.numbersPerLine);
    numbers.CodeCounter =
        static_cast<std::int32_t>(static_cast<std::uint32_t>(c.settings.Get(field::CounterStart)) +
                                  index * c.countersPerLine);
    if (c.withEntityNumbers) numbers.EntityNumber = entityNumbers_[point];
    std::string_view line = c.composer.ComposeRecord(values, numbers);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    return std::string(line);
}

std::string PointPreview::Lines() const {
    std::string lines;
    for (std::size_t i = 0; i < points_.size(); ++i) lines += Line(i) + "\r\n";
    return lines;
}

std::string PointPreview::Label(std::size_t point, bool withCode) const {
    const std::string whole = Line(point);
    const std::string_view line = whole;
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

std::string_view PointPreview::Layer(std::size_t point) const {
    const std::uint16_t layer = points_[point].layer;
    return layer == kLayerKept ? Kept(point, kKeptLayer) : std::string_view(layers_[layer]);
}

std::string PointPreview::Handle(std::size_t point) const {
    const std::uint32_t handle = points_[point].handle;
    if (handle == 0) return std::string(Kept(point, kKeptHandle));
    char buffer[17];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, handle, 16);
    std::string text(buffer, written.ptr);
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::vector<std::pair<std::string, std::string>> PointPreview::NamedFields(
    std::size_t point) const {
    std::vector<std::pair<std::string, std::string>> fields;
    const std::string whole = Line(point);
    const std::string_view line = whole;
    const int count = static_cast<int>(fieldNames_.size());
    for (int i = 0; i < count; ++i) {
        const bool rest = i == count - 1 && layout_.codeIsLast;
        fields.emplace_back(fieldNames_[static_cast<std::size_t>(i)],
                            std::string(FieldOf(line, i, rest)));
    }
    return fields;
}

std::size_t PointPreview::CountCoincident(const std::atomic<bool>* stop) const {
    // The places sorted by a hash of X and Y and their runs counted, an
    // eighth of the hashes at a time: the points are held already and this
    // must not hold as much again. Places of one hash are compared exactly,
    // so a collision of hashes is never counted.
    const auto bits = [](double v) {
        std::uint64_t b;
        std::memcpy(&b, &v, sizeof b);
        return v == 0 ? 0 : b;  // -0 stands where 0 stands
    };
    const auto hash = [&](const PreviewPoint& p) {
        std::uint64_t h = bits(p.x) * 0x9E3779B97F4A7C15u ^ bits(p.y);
        h ^= h >> 31;
        h *= 0xBF58476D1CE4E5B9u;
        return h ^ (h >> 29);
    };
    constexpr int kPartitionBits = 3;
    // Each point's eighth, worked out once.
    std::vector<std::uint8_t> part(points_.size());
    for (std::size_t i = 0; i < points_.size(); ++i)
        part[i] = static_cast<std::uint8_t>(hash(points_[i]) >> (64 - kPartitionBits));
    struct Place {
        std::uint64_t hash;
        std::uint32_t point;
    };
    std::vector<Place> places;
    places.reserve((points_.size() >> kPartitionBits) + (points_.size() >> (kPartitionBits + 2)));
    std::size_t coincident = 0;
    for (std::uint8_t eighth = 0; eighth < (1u << kPartitionBits); ++eighth) {
        if (stop != nullptr && stop->load(std::memory_order_relaxed)) return 0;
        places.clear();
        for (std::size_t i = 0; i < points_.size(); ++i)
            if (part[i] == eighth)
                places.push_back({hash(points_[i]), static_cast<std::uint32_t>(i)});
        std::sort(places.begin(), places.end(),
                  [](const Place& a, const Place& b) { return a.hash < b.hash; });
        for (std::size_t i = 0; i < places.size();) {
            std::size_t j = i + 1;
            while (j < places.size() && places[j].hash == places[i].hash) ++j;
            // A run of one hash: its places in order, those of one place counted.
            const auto place = [&](const Place& a) {
                return std::pair(points_[a.point].x, points_[a.point].y);
            };
            if (j - i > 1)
                std::sort(places.begin() + static_cast<std::ptrdiff_t>(i),
                          places.begin() + static_cast<std::ptrdiff_t>(j),
                          [&](const Place& a, const Place& b) { return place(a) < place(b); });
            for (std::size_t k = i; k < j;) {
                std::size_t m = k + 1;
                while (m < j && place(places[m]) == place(places[k])) ++m;
                if (m - k > 1) coincident += m - k;
                k = m;
            }
            i = j;
        }
    }
    return coincident;
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
