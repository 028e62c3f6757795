// The drawing geometry of the preview's pass: the pass writes the same with it
// as without it, and a few shapes exactly. tests/geometry holds it against
// ezdxf over the corpus.
#include "engine/drawing_geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "engine/byte_source.h"
#include "engine/point_preview.h"
#include "run/drawing_conversion.h"
#include "support/test_support.h"

namespace korvel {
namespace {

// Keeps the data lines a pass hands over, and the geometry when asked for.
class Recorder final : public PointObserver {
  public:
    explicit Recorder(bool withGeometry) : withGeometry_(withGeometry) {}
    void Point(const EntityValues& /*values*/, std::string_view line,
               std::int32_t /*entityNumber*/) override {
        lines.append(line);
    }
    DrawingGeometry* GeometryTarget() override { return withGeometry_ ? &geometry : nullptr; }

    std::string lines;
    DrawingGeometry geometry;

  private:
    bool withGeometry_;
};

struct PreviewRun {
    std::string lines;
    RunReport report;
    RunCounters counters;
    std::string error;
};

PreviewRun Preview(const std::string& drawing, const ExportSettings& settings,
                   const PassOptions& options, bool withGeometry, std::size_t& polylines) {
    const NameTables names = ShippedNameTables();
    FixedListsHost host({"Number", "X", "Y", "Z", "Code"},
                        {"Entity type", "Layer", "Handle", "Block name", "Text"});
    Recorder recorder(withGeometry);
    DrawingConverter converter(settings, names, host, options);
    DrawingJob job;
    job.dxfPath = drawing;
    job.observer = &recorder;
    const DrawingOutcome outcome = converter.Convert(job);
    polylines = recorder.geometry.Polylines();
    return {recorder.lines, outcome.lines, outcome.counters, outcome.errorText};
}

// Every corpus drawing under the defaults, and with every type and the
// contents of blocks (which reads the tables through the tapped reader).
TEST(DrawingGeometry, LeavesTheLinesAndReportOfEveryCorpusDrawingAsTheyAre) {
    const auto files = test::CorpusFiles();
    if (files.empty()) GTEST_SKIP() << "corpus of real drawings not found beside the checkout";
    ExportSettings everyType = test::DefaultSettings();
    for (const auto& f : AllNamedFields())
        if (f.kind == NamedField::Kind::Bool && f.name != "ForceZ") everyType.image[f.offset] = 1;
    PassOptions blocks;
    blocks.extended.blockContents = true;
    int drawn = 0;
    for (const auto& file : files) {
        SCOPED_TRACE(file.string());
        for (const auto& [settings, options] :
             {std::pair{test::DefaultSettings(), PassOptions{}}, std::pair{everyType, blocks}}) {
            std::size_t none = 0, polylines = 0;
            const PreviewRun plain = Preview(file.string(), settings, options, false, none);
            const PreviewRun tapped = Preview(file.string(), settings, options, true, polylines);
            EXPECT_EQ(none, 0u);
            EXPECT_TRUE(tapped.lines == plain.lines);
            EXPECT_EQ(tapped.report, plain.report);
            EXPECT_EQ(tapped.counters, plain.counters);
            EXPECT_EQ(tapped.error, plain.error);
            drawn += polylines > 0 ? 1 : 0;
        }
    }
    EXPECT_GT(drawn, 200);
}

DrawingGeometry GeometryOf(const std::vector<std::string>& lines) {
    const std::string dxf = test::Dxf(lines);
    MemorySource source(dxf);
    RunReport report;
    const NameTables names = ShippedNameTables();
    FixedListsHost host({"X", "Y"}, {});
    const ExportSettings settings = test::DefaultSettings();
    FilePass pass(settings, names, host, report);
    PointPreview preview;
    preview.Compose(settings, names, {"X", "Y"}, {});
    preview.CollectGeometry();
    pass.ConvertToObserver(source, preview, "made.dxf");
    return preview.Geometry();
}

double Distance(const DrawingGeometry& g, std::size_t i, std::size_t vertex, double x, double y) {
    return std::hypot(g.X(i, vertex) - x, g.Y(i, vertex) - y);
}

// A bulge of 1 is half a circle, a closed polyline ends where it starts, a
// circle upside down (extrusion 0 0 -1) lies mirrored in X, a block is drawn
// where it is inserted, rotated and scaled about its base point, with a mark
// at the insertion point, and a line in survey coordinates beside all that
// near 0, 0 is as exact as its own size.
TEST(DrawingGeometry, FlattensBulgesClosesPolylinesAndPlacesBlocks) {
    // clang-format off
    const DrawingGeometry g = GeometryOf({
        "  0", "SECTION", "  2", "BLOCKS",
        "  0", "BLOCK", "  2", "tick", " 10", "1", " 20", "0", " 30", "0",
        "  0", "LINE", "  8", "0", " 10", "1", " 20", "0", " 30", "0", " 11", "2", " 21", "0", " 31", "0",
        "  0", "CIRCLE", "  8", "0", " 10", "1", " 20", "0", " 30", "0", " 40", "0.5",
        "  0", "ENDBLK",
        "  0", "ENDSEC",
        "  0", "SECTION", "  2", "ENTITIES",
        "  0", "LWPOLYLINE", "  8", "A", " 90", "2", " 70", "0",
        " 10", "1000", " 20", "500", " 42", "1", " 10", "1002", " 20", "500",
        "  0", "LWPOLYLINE", "  8", "A", " 90", "3", " 70", "1",
        " 10", "0", " 20", "0", " 10", "4", " 20", "0", " 10", "4", " 20", "3",
        "  0", "CIRCLE", "  8", "A", " 10", "5", " 20", "0", " 30", "0", " 40", "2",
        "210", "0", "220", "0", "230", "-1",
        "  0", "INSERT", "  8", "A", "  2", "TICK", " 10", "10", " 20", "20", " 30", "0",
        " 41", "2", " 42", "2", " 50", "90",
        "  0", "LINE", "  8", "A", " 10", "5500000.125", " 20", "6100000.25", " 30", "0",
        " 11", "5500003.125", " 21", "6100004.25", " 31", "0",
        "  0", "ENDSEC", "  0", "EOF"});
    // clang-format on
    ASSERT_EQ(g.Polylines(), 4u);
    ASSERT_EQ(g.Arcs(), 2u);
    EXPECT_FALSE(g.truncated);
    EXPECT_EQ(g.AnchorX(0), 1000);
    EXPECT_EQ(g.AnchorY(0), 500);

    // Half a circle about (1001, 500), counterclockwise from (1000, 500): below.
    EXPECT_EQ(g.types[0], EntityType::Polyline2D);
    // 25 chords keep within 1e-3 of the diameter: 1 - cos(pi / 50) < 0.002.
    ASSERT_EQ(g.End(0) - g.Start(0), 26u);
    for (std::size_t v = g.Start(0); v < g.End(0); ++v) {
        EXPECT_NEAR(Distance(g, 0, v, 1001, 500), 1, 1e-6);
        EXPECT_LE(g.Y(0, v), 500);
    }
    EXPECT_EQ(g.X(0, 0), 1000);
    EXPECT_EQ(g.X(0, 25), 1002);
    EXPECT_EQ(g.Y(0, 25), 500);
    // Half a step before the lowest point, at 3 pi / 2.
    const double half = std::numbers::pi / 50;
    EXPECT_NEAR(Distance(g, 0, 12, 1001 - std::sin(half), 500 - std::cos(half)), 0, 1e-6);

    ASSERT_EQ(g.End(1) - g.Start(1), 4u);
    EXPECT_EQ(g.X(1, g.Start(1)), g.X(1, g.End(1) - 1));
    EXPECT_EQ(g.Y(1, g.Start(1)), g.Y(1, g.End(1) - 1));
    EXPECT_EQ(g.X(1, g.Start(1) + 2), 4);
    EXPECT_EQ(g.Y(1, g.Start(1) + 2), 3);

    // The circle seen from below: its centre and first half axis mirrored.
    EXPECT_EQ(g.arcTypes[0], EntityType::Circle);
    const GeometryArc& circle = g.arcs[0];
    EXPECT_EQ(circle.x, -5);
    EXPECT_EQ(circle.y, 0);
    EXPECT_EQ(circle.ux, -2);
    EXPECT_EQ(circle.uy, 0);
    EXPECT_EQ(circle.vx, 0);
    EXPECT_EQ(circle.vy, 2);
    EXPECT_EQ(circle.start, 0);
    EXPECT_EQ(circle.sweep, 2 * std::numbers::pi);
    std::vector<double> xy;
    circle.AppendPoints(1e-3, xy);
    ASSERT_GT(xy.size(), 4u);
    for (std::size_t v = 0; v < xy.size(); v += 2)
        EXPECT_NEAR(std::hypot(xy[v] + 5, xy[v + 1]), 2, 1e-6);
    // Its chords within 1e-3: 2 (1 - cos(step / 2)) <= 1e-3.
    const double step = 2 * std::numbers::pi / static_cast<double>(xy.size() / 2 - 1);
    EXPECT_LE(2 * (1 - std::cos(step / 2)), 1e-3);

    // The block's line from its base point (1, 0) to (2, 0), and its circle
    // about the base point: at the insertion point, twice as large, turned a
    // quarter.
    EXPECT_EQ(g.types[2], EntityType::Line);
    ASSERT_EQ(g.End(2) - g.Start(2), 2u);
    EXPECT_NEAR(Distance(g, 2, g.Start(2), 10, 20), 0, 1e-9);
    EXPECT_NEAR(Distance(g, 2, g.Start(2) + 1, 10, 22), 0, 1e-6);
    EXPECT_EQ(g.arcTypes[1], EntityType::Circle);
    const GeometryArc& placed = g.arcs[1];
    EXPECT_NEAR(placed.x, 10, 1e-9);
    EXPECT_NEAR(placed.y, 20, 1e-9);
    EXPECT_NEAR(placed.ux, 0, 1e-6);
    EXPECT_NEAR(placed.uy, 1, 1e-6);
    EXPECT_NEAR(placed.vx, -1, 1e-6);
    EXPECT_NEAR(placed.vy, 0, 1e-6);
    ASSERT_EQ(g.Marks(), 1u);
    EXPECT_EQ(g.markTypes[0], EntityType::Block);
    EXPECT_EQ(g.MarkX(0), 10);
    EXPECT_EQ(g.MarkY(0), 20);

    EXPECT_EQ(g.X(3, g.Start(3)), 5500000.125);
    EXPECT_EQ(g.Y(3, g.Start(3)), 6100000.25);
    EXPECT_EQ(g.X(3, g.Start(3) + 1), 5500003.125);
    EXPECT_EQ(g.Y(3, g.Start(3) + 1), 6100004.25);

    // The circle's box is the extent's lower left.
    EXPECT_NEAR(g.extent.minX, -7, 1e-9);
    EXPECT_NEAR(g.extent.minY, -2, 1e-9);
    EXPECT_EQ(g.extent.maxX, 5500003.125);
    EXPECT_EQ(g.extent.maxY, 6100004.25);
}

// A block that inserts itself is drawn to the nesting cap, and says so.
TEST(DrawingGeometry, StopsABlockThatInsertsItself) {
    // clang-format off
    const DrawingGeometry g = GeometryOf({
        "  0", "SECTION", "  2", "BLOCKS",
        "  0", "BLOCK", "  2", "loop", " 10", "0", " 20", "0", " 30", "0",
        "  0", "LINE", " 10", "0", " 20", "0", " 30", "0", " 11", "1", " 21", "0", " 31", "0",
        "  0", "INSERT", "  2", "loop", " 10", "1", " 20", "0", " 30", "0",
        "  0", "ENDBLK",
        "  0", "ENDSEC",
        "  0", "SECTION", "  2", "ENTITIES",
        "  0", "INSERT", "  2", "loop", " 10", "0", " 20", "0", " 30", "0",
        "  0", "ENDSEC", "  0", "EOF"});
    // clang-format on
    EXPECT_TRUE(g.truncated);
    ASSERT_EQ(g.Polylines(), static_cast<std::size_t>(DrawingGeometry::kMostNesting));
    const std::size_t last = g.Polylines() - 1;
    EXPECT_EQ(g.X(last, g.End(last) - 1), DrawingGeometry::kMostNesting);
}

// An arc alone, of no angles (a whole turn), cut off with its drawing: its
// box is the extent.
TEST(DrawingGeometry, TakesTheBoxOfAnArc) {
    const DrawingGeometry g = GeometryOf({"  0", "SECTION", "  2", "ENTITIES", "  0", "ARC", " 10",
                                          "1", " 20", "2", " 30", "3", " 40", "5"});
    ASSERT_EQ(g.Arcs(), 1u);
    EXPECT_EQ(g.arcs[0].sweep, 2 * std::numbers::pi);
    EXPECT_NEAR(g.extent.minX, -4, 1e-9);
    EXPECT_NEAR(g.extent.minY, -3, 1e-9);
    EXPECT_NEAR(g.extent.maxX, 6, 1e-9);
    EXPECT_NEAR(g.extent.maxY, 7, 1e-9);
}

}  // namespace
}  // namespace korvel
