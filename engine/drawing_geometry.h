// The drawing's own geometry, for a picture that shows it faintly behind the
// points: lines, polylines and splines of model space flattened into
// polylines in world X and Y, circles, arcs and ellipses as arcs of
// ellipses (a picture draws them as they are at any scale, or flattens them
// to its own tolerance), the entities of blocks where model space inserts
// them, and the insertion points of texts and block references as marks.
//
// A collector rebuilds it from the lines of the pass that feeds the preview
// (a LineTap on its line reader), with a reading of its own beside the
// extractors: the data lines and the report of the pass cannot change.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/entity_types.h"
#include "engine/line_reader.h"

namespace korvel {

struct GeometryExtent {
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
};

// A circle, an arc or an ellipse in X and Y: the points
//   (x, y) + (ux, uy) cos t + (vx, vy) sin t
// for t from `start` through start + sweep (radians, sweep > 0; 2 pi: a
// whole one). u and v are conjugate half axes: perpendicular for a circle
// or an ellipse seen square on, of one length for a circle; an arc tilted
// out of the drawing's plane or placed by a block scaled unevenly is the
// ellipse it looks like (edge on, a line).
struct GeometryArc {
    double x = 0, y = 0;
    float ux = 0, uy = 0, vx = 0, vy = 0;
    double start = 0, sweep = 0;

    // The points of the arc (x, y after x, y), none straying from it by
    // more than `tolerance` (in drawing units), both ends included.
    void AppendPoints(double tolerance, std::vector<double>& xy) const;
};

// Polylines as one flat list of vertices, the start of each polyline, where
// it is anchored and the entity type it comes from, for colouring. The first
// vertex of a polyline is its anchor, in double; every other vertex is a
// float offset from the anchor: 8 bytes a vertex and 21 a polyline, and as
// exact as the float is across the polyline, never across the drawing (an
// entity at 0,0 beside survey coordinates of millions leaves the others
// exact).
struct DrawingGeometry {
    // Past this many vertices (polylines and marks together, an arc counting
    // as six, its bytes) the rest of the geometry is left out and
    // `truncated` says so: 64 MB of vertices.
    static constexpr std::size_t kMostVertices = 8'000'000;
    static constexpr std::size_t kArcVertices = 6;
    // No chord of a bulge of a polyline strays from its arc by more than
    // this share of the arc's size (the chord between its ends, or the
    // diameter): half a circle takes 25 chords, a quarter 15, and a flat arc
    // of a large radius is no straight line.
    static constexpr double kCurveTolerance = 1e-3;
    // A spline is flattened until no chord strays from the curve by more
    // than this share of the diagonal of its control points' box.
    static constexpr double kSplineTolerance = 5e-4;
    // Blocks inserted in blocks are drawn this many levels deep.
    static constexpr int kMostNesting = 16;
    // Block placements drawn in all, nested ones included.
    static constexpr std::size_t kMostPlacements = 4'000'000;

    // x, y of every vertex but the first, polyline after polyline, less its
    // polyline's anchor.
    std::vector<float> xy;
    // The first vertex of each polyline (an index of vertices, not of floats).
    std::vector<std::uint32_t> starts;
    // x, y of the first vertex of each polyline.
    std::vector<double> anchors;
    // The entity type each polyline comes from; the entities of a block keep
    // their own type.
    std::vector<EntityType> types;
    // Circles, arcs and ellipses (Circle, Arc, Ellipse; those of a block keep
    // their type too).
    std::vector<GeometryArc> arcs;
    std::vector<EntityType> arcTypes;
    // The insertion points of texts (Text, MText) and of the block references
    // of model space (Block), as x, y.
    std::vector<double> markXY;
    std::vector<EntityType> markTypes;
    // Of every vertex, arc and mark; meaningless while Empty().
    GeometryExtent extent;
    // Some of the drawing's geometry is left out: the vertex cap was reached,
    // or blocks were nested or inserted more than the caps allow.
    bool truncated = false;

    std::size_t Polylines() const { return starts.size(); }
    std::size_t Vertices() const { return xy.size() / 2 + starts.size(); }
    std::size_t Marks() const { return markTypes.size(); }
    std::size_t Arcs() const { return arcTypes.size(); }
    bool Empty() const { return starts.empty() && markTypes.empty() && arcTypes.empty(); }
    // Polyline i is vertices Start(i) up to, not including, End(i).
    std::size_t Start(std::size_t i) const { return starts[i]; }
    std::size_t End(std::size_t i) const {
        return i + 1 < starts.size() ? starts[i + 1] : Vertices();
    }
    double AnchorX(std::size_t i) const { return anchors[2 * i]; }
    double AnchorY(std::size_t i) const { return anchors[2 * i + 1]; }
    // Vertex `vertex` (from Start(i) to End(i)) of polyline i: the anchor,
    // then the offsets kept after those of the polylines before, each of
    // which kept one vertex fewer than it has.
    double X(std::size_t i, std::size_t vertex) const {
        return vertex == starts[i] ? anchors[2 * i] : anchors[2 * i] + xy[2 * (vertex - i - 1)];
    }
    double Y(std::size_t i, std::size_t vertex) const {
        return vertex == starts[i] ? anchors[2 * i + 1]
                                   : anchors[2 * i + 1] + xy[2 * (vertex - i - 1) + 1];
    }
    double MarkX(std::size_t mark) const { return markXY[2 * mark]; }
    double MarkY(std::size_t mark) const { return markXY[2 * mark + 1]; }
    // The memory the lists hold (not the room set aside for them).
    std::size_t Bytes() const;
    void Clear();
};

// Reads the lines of a drawing as the pass hands them out and builds its
// geometry. Any line at all may come: what it cannot read it passes over.
class GeometryCollector : public LineTap {
  public:
    // Clears `geometry` and collects into it. The size of the drawing, when
    // known, sets aside room for its vertices at once: the room they do not
    // take is never touched, and so takes no memory, while lists that grow
    // by doubling would copy themselves and hold the old copy meanwhile.
    static std::unique_ptr<GeometryCollector> Create(DrawingGeometry& geometry,
                                                     std::uint64_t drawingBytes = 0);
    virtual ~GeometryCollector() = default;
    // At the end of the lines: an entity the drawing cut off is drawn as far
    // as it goes.
    virtual void Finish() = 0;
};

}  // namespace korvel
