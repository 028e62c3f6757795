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

// One circle per point (X right, Y up, one scale), a legend with the counts
// by type and the extent, `title` at the top.
std::string PreviewSvg(const PointPreview& preview, std::string_view title);

}  // namespace korvel
