// The preview window's open time (the conversion into its points and the
// drawing's geometry) and its redraw time at several zooms: after the view
// moved, with the view as it was, and with the drawing switched off.
//
//   korvel_preview_bench DRAWING RUNS
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "engine/point_preview.h"
#include "run/drawing_conversion.h"
#include "ui/platform/platform_services.h"
#include "ui/preview_window.h"

using namespace korvel;

namespace {

struct Spread {
    double median, low, high;
};

Spread Of(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const double m = v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
    return {m, v.front(), v.back()};
}

double Seconds(const QElapsedTimer& t) {
    return t.nsecsElapsed() / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s DRAWING RUNS\n", argv[0]);
        return 2;
    }
    const std::string drawing = argv[1];
    const int runs = std::max(1, atoi(argv[2]));
    const NameTables names = ShippedNameTables();
    Configuration config;
    config.SetDefaultSettings();
    const std::vector<std::string> fields = {"Number", "X", "Y", "Z", "Code"};
    FixedListsHost host(fields, {"Layer"});

    // The zooms of a redraw: the whole drawing, a district, a street, a point.
    const double zooms[] = {1, 16, 256, 65536};
    std::vector<double> open, counting;
    std::size_t coincident = 0;
    std::vector<std::vector<double>> redraw(std::size(zooms)), still(std::size(zooms)),
        bare(std::size(zooms));
    std::size_t points = 0;
    PreviewPlot plot;
    plot.resize(1000, 750);
    QImage target(plot.size(), QImage::Format_RGB32);
    for (int r = 0; r < runs; ++r) {
        // As the window refreshes: the old picture goes before the new one is made.
        plot.SetPreview(nullptr);
        ReturnFreedMemory();
        QElapsedTimer t;
        t.start();
        auto preview = std::make_shared<PointPreview>();
        preview->Compose(config.settings, names, fields, {"Layer"});
        std::error_code size;
        preview->ExpectDrawingSize(std::filesystem::file_size(drawing, size));
        preview->CollectGeometry();
        if (!PreviewDrawing(drawing, config.settings, names, host, {}, *preview)) {
            std::fprintf(stderr, "cannot open %s\n", drawing.c_str());
            return 1;
        }
        open.push_back(Seconds(t));
        // The status line's count, which the window works out after the picture.
        t.restart();
        coincident = preview->CountCoincident();
        counting.push_back(Seconds(t));
        points = preview->Points().size();
        plot.ResetView();
        plot.SetPreview(preview);
        for (std::size_t z = 0; z < std::size(zooms); ++z) {
            plot.Fit();
            plot.ZoomAt(QPointF(500, 375), zooms[z]);
            QPainter painter(&target);
            // The view moved: the drawing behind the points is traced again.
            t.restart();
            plot.render(&painter);
            redraw[z].push_back(Seconds(t));
            // The view as it was (a pick, a tooltip): the points on the kept drawing.
            t.restart();
            plot.render(&painter);
            still[z].push_back(Seconds(t));
            // The drawing switched off: the points alone.
            plot.SetGeometryShown(false);
            t.restart();
            plot.render(&painter);
            bare[z].push_back(Seconds(t));
            plot.SetGeometryShown(true);
        }
    }
    const Spread o = Of(open);
    std::printf("%s: %zu points, %d runs\n", drawing.c_str(), points, runs);
    const Spread c = Of(counting);
    std::printf("open (conversion into the preview): median %.3f s (%.3f-%.3f)\n", o.median, o.low,
                o.high);
    std::printf("then the count of %zu points at the place of another: median %.3f s (%.3f-%.3f)\n",
                coincident, c.median, c.low, c.high);
    for (std::size_t z = 0; z < std::size(zooms); ++z) {
        const Spread d = Of(redraw[z]), k = Of(still[z]), b = Of(bare[z]);
        std::printf(
            "redraw at %gx: moved %.1f ms (%.1f-%.1f), still %.1f ms (%.1f-%.1f), without the "
            "drawing %.1f ms (%.1f-%.1f)\n",
            zooms[z], d.median * 1e3, d.low * 1e3, d.high * 1e3, k.median * 1e3, k.low * 1e3,
            k.high * 1e3, b.median * 1e3, b.low * 1e3, b.high * 1e3);
    }
    return 0;
}
