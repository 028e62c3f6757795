// What a run writes: the form of its data files and the coordinate systems,
// made from the options and handed to the pass (engine/point_output.h).
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "engine/point_output.h"
#include "settings/extended_options.h"
#include "settings/output_formats.h"

namespace korvel {

// The forms this build writes, in the order the window lists them.
std::vector<OutputFormatInfo> AvailableOutputFormats();

// Whether this build can move coordinates between systems.
bool CoordinateSystemsAvailable();

// What a run writes, checked before any file is: an unknown form, one this
// build leaves out, an unknown coordinate system or a transformation that
// cannot be made (a grid file not installed) throws a KorvelError saying so.
// None when the run writes the text lines in the drawing's coordinates.
std::unique_ptr<PointOutput> MakePointOutput(const OutputOptions& options);

}  // namespace korvel
