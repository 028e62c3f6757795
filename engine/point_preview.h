// The points of one drawing for a picture of them: coordinates by entity
// type, counts, extent, and the labels of the points.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/drawing_geometry.h"
#include "engine/entity_types.h"
#include "engine/entity_values.h"
#include "engine/point_writer.h"
#include "settings/export_settings.h"

namespace korvel {

// A point as the preview keeps it: its data line is laid out again from
// these when it is wanted, never held. 32 bytes: a drawing of millions of
// points is held in little more than its coordinates.
struct PreviewPoint {
    double x = 0, y = 0, z = 0;
    // The entity's handle read as the hexadecimal number it is; 0: none or
    // kept beside the point (PointPreview::Handle() reads either).
    std::uint32_t handle = 0;
    // Index into LayerNames(); past its reach the name is kept beside the
    // point (PointPreview::Layer() reads either).
    std::uint16_t layer = 0;
    EntityType type = EntityType::Point;
    std::uint8_t typeName : 6 = 0;  // index of the entity's name ("LWPOLYLINE")
    std::uint8_t flags : 2 = 0;     // which texts are kept beside the point
};
static_assert(sizeof(PreviewPoint) == 32);

struct PreviewExtent {
    double minX = 0, maxX = 0, minY = 0, maxY = 0, minZ = 0, maxZ = 0;
};

// The points of one entity type: its name and colour come from the entity
// type table.
struct PreviewType {
    EntityType type;
    std::string_view name;
    std::int64_t count = 0;
    std::uint32_t rgb = 0;  // 0xRRGGBB
};

// Where the Number and the Code stand in a data line, from the exported field
// list: a label needs them and the line is all a point brings.
struct PreviewLabelLayout {
    int numberField = -1;  // index among the comma-separated fields, -1: not exported
    int codeField = -1;
    bool codeIsLast = false;  // the Code may hold commas: then it is the rest of the line
};
PreviewLabelLayout LabelLayoutOf(const std::vector<std::string>& fields, const NameTables& names);

// `v` with `decimals` decimals; a value that rounds to zero is written as
// zero, never "-0.000".
std::string FixedDecimal(double v, int decimals);

// A point that took a label's height or number, and where the label stands.
struct PreviewPair {
    std::uint32_t point = 0;  // index into Points()
    double labelX = 0, labelY = 0;
    bool height = true;  // a height label, else a number label
};

// A label no point took.
struct PreviewLabel {
    double x = 0, y = 0;
    std::string text;
};

// Collects the points a pass hands over: what a point's data line is laid
// out from, so that a line is made again when it is wanted (Lines() is the
// data file a run writes) and a drawing of millions of points holds no line.
class PointPreview final : public PointObserver {
  public:
    PointPreview();
    ~PointPreview() override;
    PointPreview(PointPreview&&) noexcept;
    PointPreview& operator=(PointPreview&&) noexcept;
    // The settings and lists the pass lays the lines out by; before the pass.
    void Compose(const ExportSettings& settings, const NameTables& names,
                 std::vector<std::string> fields, std::vector<std::string> code);
    // Room for the points of a drawing of `bytes` bytes, taken from the
    // system only as points come (no copy of them all as they grow).
    void ExpectDrawingSize(std::uint64_t bytes);

    void Point(const EntityValues& values, std::string_view line,
               std::int32_t entityNumber) override;
    void Joined(const LabelJoin& labels) override;
    DrawingGeometry* GeometryTarget() override { return withGeometry_ ? &geometry_ : nullptr; }

    // The pass reads the drawing's own geometry as well, for a picture
    // behind the points (off unless asked for).
    void CollectGeometry(bool on = true) { withGeometry_ = on; }
    // Empty unless collected.
    const DrawingGeometry& Geometry() const { return geometry_; }

    const std::vector<PreviewPoint>& Points() const { return points_; }
    // With heights or numbers from labels: the pairs, and the labels left.
    const std::vector<PreviewPair>& Pairs() const { return pairs_; }
    const std::vector<PreviewLabel>& UnpairedLabels() const { return unpaired_; }
    // The types that gave points, in the order of the report's count lines.
    std::vector<PreviewType> Types() const;
    // Every data line, each with CR LF.
    std::string Lines() const;
    // A point's data line without its CR LF.
    std::string Line(std::size_t point) const;
    // "P12 Layer0" and the like: the Number and the Code (empty when neither is exported).
    std::string Label(std::size_t point, bool withCode = true) const;
    // Meaningless while there are no points.
    const PreviewExtent& Extent() const { return extent_; }
    // The extent of the points and of the labels joined to them or left
    // unpaired, in X and Y: what a picture shows. With none of them, the
    // extent of the drawing's geometry.
    PreviewExtent PlotExtent() const;
    // Anything to draw: points, labels or geometry.
    bool HasPicture() const {
        return !points_.empty() || !pairs_.empty() || !unpaired_.empty() || !geometry_.Empty();
    }
    // "1234 points  X 0.000 .. 10.000  Y ...  Z ..." for a status line.
    std::string Summary() const;

    // The layers the points are on, each once (the first 65,535 of them).
    const std::vector<std::string>& LayerNames() const { return layers_; }
    // A point's layer.
    std::string_view Layer(std::size_t point) const;
    // A point's handle as the drawing writes it ("1F"); empty: none.
    std::string Handle(std::size_t point) const;
    // A point's data line as (field name, value) pairs; the Code, when it is
    // the last field, keeps the commas it holds.
    std::vector<std::pair<std::string, std::string>> NamedFields(std::size_t point) const;
    // The points that stand where another point stands (same X and Y): a
    // sort of their places, an eighth at a time, that takes 0.16 s for 1.7
    // million points, so the window asks after showing the picture. Once
    // `stop` turns true it ends early with 0.
    std::size_t CountCoincident(const std::atomic<bool>* stop = nullptr) const;

  private:
    struct Composition;
    // A text a point keeps beside it: a kind of kText and where it stands in texts_.
    struct KeptText {
        std::uint32_t point;
        std::uint8_t kind;
        std::uint32_t start, size;
    };
    void Keep(std::uint8_t kind, std::string_view text);
    std::string_view Kept(std::size_t point, std::uint8_t kind) const;

    PreviewLabelLayout layout_;
    std::unique_ptr<Composition> composition_;
    std::vector<PreviewPoint> points_;
    // The running number of each point's entity, kept only when the Code
    // writes it.
    std::vector<std::int32_t> entityNumbers_;
    std::vector<PreviewPair> pairs_;
    std::vector<PreviewLabel> unpaired_;
    std::array<std::int64_t, kEntityTypeCount> typeCounts_{};
    std::vector<std::string> typeNames_;
    std::vector<KeptText> kept_;
    std::string texts_;
    PreviewExtent extent_;
    std::vector<std::string> layers_;
    // Looked up by the layer's text as the pass hands it, without a copy.
    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const {
            return std::hash<std::string_view>{}(text);
        }
    };
    std::unordered_map<std::string, std::uint16_t, TextHash, std::equal_to<>> layerIndex_;
    std::vector<std::string> fieldNames_;
    std::uint16_t lastLayer_ = 0;
    bool withGeometry_ = false;
    DrawingGeometry geometry_;
};

}  // namespace korvel
