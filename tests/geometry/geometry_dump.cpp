// The drawing geometry a preview's pass collects, as text, for the check
// against ezdxf (ezdxf_geometry_reference.py):
//
//   korvel_geometry_dump DRAWING
//
// "P TYPE N" and N lines "X Y" for each polyline and each arc (flattened to
// 1e-5 of its longer half axis), "M TYPE X Y" for each mark
// (TYPE: the index of the entity type), "truncated" when something was left
// out, and "error TEXT" when the pass ended in an error (what it had read
// stands above it). Coordinates as the preview holds them: each polyline's
// anchor plus the float offsets of its vertices.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <vector>

#include "engine/point_preview.h"
#include "run/drawing_conversion.h"

using namespace korvel;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DRAWING\n", argv[0]);
        return 2;
    }
    const NameTables names = ShippedNameTables();
    Configuration config;
    config.SetDefaultSettings();
    FixedListsHost host({"Number", "X", "Y", "Z", "Code"}, {"Layer"});
    PointPreview preview;
    preview.Compose(config.settings, names, {"Number", "X", "Y", "Z", "Code"}, {"Layer"});
    preview.CollectGeometry();
    std::string error;
    try {
        if (!PreviewDrawing(argv[1], config.settings, names, host, {}, preview)) {
            std::fprintf(stderr, "cannot open %s\n", argv[1]);
            return 1;
        }
    } catch (const std::exception& e) {
        error = e.what();
    }
    const DrawingGeometry& g = preview.Geometry();
    for (std::size_t i = 0; i < g.Polylines(); ++i) {
        std::printf("P %d %zu\n", static_cast<int>(g.types[i]), g.End(i) - g.Start(i));
        for (std::size_t v = g.Start(i); v < g.End(i); ++v)
            std::printf("%.17g %.17g\n", g.X(i, v), g.Y(i, v));
    }
    std::vector<double> xy;
    for (std::size_t a = 0; a < g.Arcs(); ++a) {
        const GeometryArc& arc = g.arcs[a];
        xy.clear();
        arc.AppendPoints(1e-5 * std::max(std::hypot(arc.ux, arc.uy), std::hypot(arc.vx, arc.vy)),
                         xy);
        std::printf("P %d %zu\n", static_cast<int>(g.arcTypes[a]), xy.size() / 2);
        for (std::size_t v = 0; v < xy.size(); v += 2)
            std::printf("%.17g %.17g\n", xy[v], xy[v + 1]);
    }
    for (std::size_t m = 0; m < g.Marks(); ++m)
        std::printf("M %d %.17g %.17g\n", static_cast<int>(g.markTypes[m]), g.MarkX(m), g.MarkY(m));
    if (g.truncated) std::printf("truncated\n");
    if (!error.empty()) std::printf("error %s\n", error.c_str());
    return 0;
}
