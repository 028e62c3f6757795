// The points of one drawing for a picture of them: coordinates by entity
// type, counts, extent, and the labels of the points.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/entity_types.h"
#include "engine/entity_values.h"
#include "engine/point_writer.h"
#include "settings/export_settings.h"

namespace korvel {

struct PreviewPoint {
    double x = 0, y = 0, z = 0;
    EntityType type = EntityType::Point;
    std::uint32_t line = 0;   // index of its data line
    std::uint32_t layer = 0;  // index into LayerNames()
    // The entity's handle read as the hexadecimal number it is; 0: none.
    std::uint64_t handle = 0;
};

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

// Collects the points a pass hands over, with their data lines (CR LF kept,
// so that Lines() is the data file a run writes).
class PointPreview final : public PointObserver {
  public:
    explicit PointPreview(PreviewLabelLayout layout = {}) : layout_(layout) {}

    void Point(const EntityValues& values, std::string_view line) override;
    void Joined(const LabelJoin& labels) override;

    const std::vector<PreviewPoint>& Points() const { return points_; }
    // With heights or numbers from labels: the pairs, and the labels left.
    const std::vector<PreviewPair>& Pairs() const { return pairs_; }
    const std::vector<PreviewLabel>& UnpairedLabels() const { return unpaired_; }
    // The types that gave points, in the order of the report's count lines.
    std::vector<PreviewType> Types() const;
    const std::string& Lines() const { return lines_; }
    // A point's data line without its CR LF.
    std::string_view Line(std::size_t point) const;
    // "P12 Layer0" and the like: the Number and the Code (empty when neither is exported).
    std::string Label(std::size_t point, bool withCode = true) const;
    // Meaningless while there are no points.
    const PreviewExtent& Extent() const { return extent_; }
    // The extent of the points and of the labels joined to them or left
    // unpaired, in X and Y: what a picture shows.
    PreviewExtent PlotExtent() const;
    // "1234 points  X 0.000 .. 10.000  Y ...  Z ..." for a status line.
    std::string Summary() const;

    // The layers the points are on, each once.
    const std::vector<std::string>& LayerNames() const { return layers_; }
    // A point's handle as the drawing writes it ("1F"); empty: none.
    std::string Handle(std::size_t point) const;
    // The names of the exported fields, in the order of the data lines.
    void SetFieldNames(std::vector<std::string> names) { fieldNames_ = std::move(names); }
    // A point's data line as (field name, value) pairs; the Code, when it is
    // the last field, keeps the commas it holds.
    std::vector<std::pair<std::string, std::string>> NamedFields(std::size_t point) const;
    // Counts the points that stand where another point stands (same X and
    // Y); Coincident() tells the count after.
    void CountCoincident();
    std::size_t Coincident() const { return coincident_; }

  private:
    PreviewLabelLayout layout_;
    std::vector<PreviewPoint> points_;
    std::vector<PreviewPair> pairs_;
    std::vector<PreviewLabel> unpaired_;
    std::array<std::int64_t, kEntityTypeCount> typeCounts_{};
    std::vector<std::size_t> lineStarts_;
    std::string lines_;
    PreviewExtent extent_;
    std::vector<std::string> layers_;
    std::vector<std::string> fieldNames_;
    std::size_t coincident_ = 0;
    std::size_t lastLayer_ = 0;
};

}  // namespace korvel
