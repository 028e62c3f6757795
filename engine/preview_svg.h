// The points of one drawing as a standalone SVG picture.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "engine/point_preview.h"

namespace korvel {

// Up to this many points, markers carry their data line as a title and the
// picture shows their labels.
inline constexpr std::size_t kSvgLabelledPoints = 5000;
// Beyond this many points, the points of each type are drawn as the cells of
// a grid that hold any (a density layer, as the legend says): the picture
// of millions of points stays a few megabytes that renderers draw at once.
inline constexpr std::size_t kSvgPointMarkers = 20000;
// The drawing's own geometry is drawn behind the points as lines while they
// take at most this many bytes of the picture, and beyond that as the cells
// its lines pass through.
inline constexpr std::size_t kSvgGeometryBytes = 1'500'000;

// One circle per point (X right, Y up, one scale) over the drawing's
// geometry in grey when it was collected, a legend with the counts by type
// and the extent, `title` at the top.
std::string PreviewSvg(const PointPreview& preview, std::string_view title);

}  // namespace korvel
