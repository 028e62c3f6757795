// The points of one drawing as a picture: coordinates by entity type, counts, extent, SVG.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/entity_rules.h"
#include "engine/file_pass.h"
#include "settings/export_settings.h"

namespace korvel {

struct PreviewPoint {
    double x = 0, y = 0, z = 0;
    std::uint32_t type = 0;  // index into PointPreview::Types()
    std::uint32_t line = 0;  // index of its data line
};

struct PreviewExtent {
    double minX = 0, maxX = 0, minY = 0, maxY = 0, minZ = 0, maxZ = 0;
};

struct PreviewType {
    std::string name;  // as the Entity type element writes it
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

// Collects the points a pass hands over, with their data lines (CR LF kept,
// so that Lines() is the data file a run writes).
class PointPreview final : public PointObserver {
  public:
    explicit PointPreview(PreviewLabelLayout layout = {}) : layout_(layout) {}

    void Point(const EntityValues& values, std::string_view line) override;

    const std::vector<PreviewPoint>& Points() const { return points_; }
    const std::vector<PreviewType>& Types() const { return types_; }
    const std::string& Lines() const { return lines_; }
    // A point's data line without its CR LF.
    std::string_view Line(std::size_t point) const;
    // "P12 Layer0" and the like: the Number and the Code (empty when neither is exported).
    std::string Label(std::size_t point, bool withCode = true) const;
    // Meaningless while there are no points.
    const PreviewExtent& Extent() const { return extent_; }
    // "1234 points  X 0.000 .. 10.000  Y ...  Z ..." for a status line.
    std::string Summary() const;

  private:
    PreviewLabelLayout layout_;
    std::vector<PreviewPoint> points_;
    std::vector<PreviewType> types_;
    std::vector<std::size_t> lineStarts_;
    std::string lines_;
    PreviewExtent extent_;
};

// Fixed colours for the entity types a run writes, so that a type keeps its
// colour from drawing to drawing; any other name gets one from a spare palette.
std::uint32_t PreviewColour(std::string_view entityType, std::size_t typeIndex);

// The pass of a run over `dxfPath` with its points going to `preview` and
// nothing written: a pass and a report of its own, so no run is touched.
// False when the drawing cannot be opened; throws what the pass throws.
bool PreviewDrawing(const std::string& dxfPath, const ExportSettings& settings,
                    const NameTables& names, PassHost& host, const PassOptions& options,
                    PointPreview& preview);

// Up to this many points, markers carry their data line as a title and the
// picture shows their labels.
inline constexpr std::size_t kSvgLabelledPoints = 5000;

// A standalone SVG: one circle per point (X right, Y up, one scale), a legend
// with the counts by type and the extent, `title` at the top.
std::string PreviewSvg(const PointPreview& preview, std::string_view title);

}  // namespace korvel
