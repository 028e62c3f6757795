// The drawing's geometry as a picture of one scale draws it: in the units of
// its page, no finer than the page shows, and only what may fall within it.
// The preview window and the SVG picture draw from the same tracing.
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

#include "engine/drawing_geometry.h"

namespace korvel {

// Drawing coordinates on a page: the drawing point (centreX, centreY) at the
// page point (pageX, pageY), `scale` page units to a drawing unit, Y up in
// the drawing and down on the page. Only the rectangle from (left, top) to
// (right, bottom) of the page is drawn on.
struct PageView {
    double centreX = 0, centreY = 0, scale = 1, pageX = 0, pageY = 0;
    double left = 0, top = 0, right = 0, bottom = 0;

    double X(double x) const { return pageX + (x - centreX) * scale; }
    double Y(double y) const { return pageY - (y - centreY) * scale; }
};

// A stretch of a line on the page: `count` vertices, x then y in `xy`, at
// least two (a stretch too short to see is a dot: two equal vertices).
using GeometryStretch = std::function<void(const double* xy, std::size_t count, EntityType type)>;

// Hands `stretch` the polylines, circles, arcs and ellipses of `geometry`
// that may show in `view`, in page units. A vertex nearer than `tolerance`
// (page units) to the last one kept is left out, the last of a line always
// kept; a line is broken where a segment lies wholly beside the drawn
// rectangle, and a circle or arc beside it is left out. Curves are
// flattened to `tolerance`.
void TraceGeometry(const DrawingGeometry& geometry, const PageView& view, double tolerance,
                   const GeometryStretch& stretch);

}  // namespace korvel
