#include "engine/geometry_trace.h"

#include <cmath>

namespace korvel {

namespace {

// Which sides of the drawn rectangle a page point lies beyond: a segment
// whose ends share a side lies wholly beside it.
int Beyond(const PageView& view, double x, double y) {
    return (x < view.left ? 1 : 0) | (x > view.right ? 2 : 0) | (y < view.top ? 4 : 0) |
           (y > view.bottom ? 8 : 0);
}

// Gathers the vertices of one line, leaving out what the page cannot show.
class StretchBuilder {
  public:
    StretchBuilder(const PageView& view, double tolerance, const GeometryStretch& stretch)
        : view_(view), tolerance2_(tolerance * tolerance), stretch_(stretch) {}

    void Begin(EntityType type) {
        type_ = type;
        xy_.clear();
        held_ = false;
    }

    // A vertex in page units; `last`: the line's last.
    void Add(double x, double y, bool last) {
        const int beyond = Beyond(view_, x, y);
        if (!xy_.empty()) {
            if ((beyond & beyond_) != 0) {
                // The segment lies beside the rectangle: what came before
                // ends here, and the next stretch starts at this vertex.
                if (held_) Push(heldX_, heldY_, Beyond(view_, heldX_, heldY_));
                Flush();
                Push(x, y, beyond);
                return;
            }
            const double dx = x - xy_[xy_.size() - 2], dy = y - xy_.back();
            if (!last && dx * dx + dy * dy < tolerance2_) {
                // Too near to show; kept aside in case the line breaks after it.
                held_ = true, heldX_ = x, heldY_ = y;
                return;
            }
        }
        Push(x, y, beyond);
    }

    void End() { Flush(); }

  private:
    void Push(double x, double y, int beyond) {
        xy_.push_back(x);
        xy_.push_back(y);
        beyond_ = beyond;
        held_ = false;
    }

    void Flush() {
        if (xy_.size() == 2) {
            // A single place: a dot, if it is on the page at all.
            if (beyond_ == 0) {
                const double dot[] = {xy_[0], xy_[1], xy_[0], xy_[1]};
                stretch_(dot, 2, type_);
            }
        } else if (xy_.size() > 2) {
            stretch_(xy_.data(), xy_.size() / 2, type_);
        }
        xy_.clear();
        held_ = false;
    }

    const PageView& view_;
    const double tolerance2_;
    const GeometryStretch& stretch_;
    EntityType type_ = EntityType::Line;
    std::vector<double> xy_;
    int beyond_ = 0;
    bool held_ = false;
    double heldX_ = 0, heldY_ = 0;
};

}  // namespace

void TraceGeometry(const DrawingGeometry& geometry, const PageView& view, double tolerance,
                   const GeometryStretch& stretch) {
    StretchBuilder line(view, tolerance, stretch);
    for (std::size_t i = 0; i < geometry.Polylines(); ++i) {
        const std::size_t end = geometry.End(i);
        line.Begin(geometry.types[i]);
        for (std::size_t v = geometry.Start(i); v < end; ++v)
            line.Add(view.X(geometry.X(i, v)), view.Y(geometry.Y(i, v)), v + 1 == end);
        line.End();
    }
    std::vector<double> points;
    for (std::size_t i = 0; i < geometry.Arcs(); ++i) {
        const GeometryArc& arc = geometry.arcs[i];
        // The box of the whole ellipse: beside the rectangle, nothing shows.
        const double reachX = (std::abs(arc.ux) + std::abs(arc.vx)) * view.scale;
        const double reachY = (std::abs(arc.uy) + std::abs(arc.vy)) * view.scale;
        const double x = view.X(arc.x), y = view.Y(arc.y);
        if (x + reachX < view.left || x - reachX > view.right || y + reachY < view.top ||
            y - reachY > view.bottom)
            continue;
        points.clear();
        if (reachX < tolerance && reachY < tolerance) {
            points.push_back(arc.x);
            points.push_back(arc.y);
        } else {
            arc.AppendPoints(tolerance / view.scale, points);
        }
        line.Begin(geometry.arcTypes[i]);
        for (std::size_t k = 0; k < points.size(); k += 2)
            line.Add(view.X(points[k]), view.Y(points[k + 1]), k + 2 == points.size());
        line.End();
    }
}

}  // namespace korvel
