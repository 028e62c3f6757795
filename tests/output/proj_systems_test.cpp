// The coordinate systems through PROJ: the points agree with cs2cs, an
// independent reader of the same operations, and come back when moved there
// and back; the errors name what failed.
#include "output/proj_systems.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <sstream>
#include <thread>

#include "support/test_support.h"

namespace korvel::test {
namespace {

struct Point {
    double x = 0, y = 0, z = 0;
};

// Boxes over Germany: longitude/latitude and ellipsoidal height,
// Gauss-Krueger zone 3, UTM zone 32.
const Point kLonLatLow{6, 47.5, 0}, kLonLatHigh{12, 54.8, 1000};
const Point kGkLow{3420000, 5280000, 0}, kGkHigh{3580000, 6050000, 500};
const Point kUtmLow{300000, 5250000, 0}, kUtmHigh{800000, 6100000, 500};

// Points spread evenly at random over a box (same seed every run).
std::vector<Point> Spread(std::size_t count, Point low, Point high) {
    std::mt19937 random(20240611);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<Point> points(count);
    for (Point& p : points) {
        p.x = low.x + (high.x - low.x) * unit(random);
        p.y = low.y + (high.y - low.y) * unit(random);
        p.z = low.z + (high.z - low.z) * unit(random);
    }
    return points;
}

// `points` moved by one transformation per thread, half each: the objects
// are made at the same time.
std::vector<Point> Moved(const CoordinateSystems& systems, std::vector<Point> points) {
    const std::size_t half = points.size() / 2;
    auto move = [&](std::size_t begin, std::size_t end) {
        const std::unique_ptr<CoordinateTransform> transform = systems.CreateTransform();
        for (std::size_t i = begin; i < end; ++i)
            transform->Transform(points[i].x, points[i].y, points[i].z);
    };
    std::thread other(move, half, points.size());
    move(0, half);
    other.join();
    return points;
}

// `points` through one cs2cs process with `arguments`. cs2cs takes and
// writes the systems' own axis order; -r and -s turn it to easting first.
std::vector<Point> ByCs2cs(const std::vector<Point>& points, const std::string& arguments,
                           bool withZ) {
    TempDir dir;
    std::ostringstream in;
    in.precision(17);
    for (const Point& p : points) {
        in << p.x << ' ' << p.y;
        if (withZ) in << ' ' << p.z;
        in << '\n';
    }
    WriteFile(dir / "in.txt", in.str());
    const std::string command =
        "cs2cs -f %.7f " + arguments + " < '" + (dir / "in.txt").string() + "'";
    FILE* pipe = popen(command.c_str(), "r");
    EXPECT_NE(pipe, nullptr);
    if (!pipe) return {};
    std::vector<Point> out;
    Point p;
    while (std::fscanf(pipe, "%lf %lf %lf", &p.x, &p.y, &p.z) == 3) out.push_back(p);
    EXPECT_EQ(pclose(pipe), 0) << command;
    return out;
}

TEST(ProjSystems, AgreesWithCs2cs) {
    if (std::system("command -v cs2cs >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "cs2cs (proj-bin) is not installed";
    }
    struct Case {
        std::string source, target, flip;
        bool threeD;
        Point low, high;
    };
    const std::array<Case, 4> cases{{
        // WGS 84 taken as ETRS89; Gauss-Krueger through the BETA2007 grid;
        // a target whose own order is northing first; ellipsoidal heights
        // into EGM96 heights through the geoid grid.
        {"EPSG:4326", "EPSG:25832", "-r", false, kLonLatLow, kLonLatHigh},
        {"EPSG:31467", "EPSG:25832", "-r", false, kGkLow, kGkHigh},
        {"EPSG:25832", "EPSG:3035", "-s", false, kUtmLow, kUtmHigh},
        {"EPSG:4979", "EPSG:32632+5773", "-r", true, kLonLatLow, kLonLatHigh},
    }};
    double most = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source + " -> " + c.target);
        const std::vector<Point> points = Spread(1000, c.low, c.high);
        const std::vector<Point> ours = Moved(CoordinateSystems(c.source, c.target), points);
        const std::vector<Point> theirs =
            ByCs2cs(points, c.flip + " " + c.source + " " + c.target, c.threeD);
        ASSERT_EQ(theirs.size(), points.size());
        for (std::size_t i = 0; i < points.size(); ++i) {
            most = std::max(
                {most, std::abs(ours[i].x - theirs[i].x), std::abs(ours[i].y - theirs[i].y)});
            if (c.threeD) {
                most = std::max(most, std::abs(ours[i].z - theirs[i].z));
            } else {
                EXPECT_EQ(ours[i].z, points[i].z);
            }
        }
        EXPECT_EQ(ours[0].z != points[0].z, c.threeD);
    }
    EXPECT_LT(most, 1e-7);  // the decimals cs2cs writes
}

TEST(ProjSystems, ThereAndBack) {
    struct Case {
        std::string a, b;
        Point low, high;
        double tolerance;  // 1e-6 m; in degrees about 1e-11
    };
    const std::array<Case, 2> cases{{
        {"EPSG:31467", "EPSG:25832", kGkLow, kGkHigh, 1e-6},
        {"EPSG:4979", "EPSG:32632+5773", kLonLatLow, kLonLatHigh, 1e-11},
    }};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.a + " <-> " + c.b);
        const std::vector<Point> start = Spread(500, c.low, c.high);
        const std::vector<Point> back =
            Moved(CoordinateSystems(c.b, c.a), Moved(CoordinateSystems(c.a, c.b), start));
        for (std::size_t i = 0; i < start.size(); ++i) {
            EXPECT_NEAR(back[i].x, start[i].x, c.tolerance);
            EXPECT_NEAR(back[i].y, start[i].y, c.tolerance);
            EXPECT_NEAR(back[i].z, start[i].z, 1e-6);
        }
    }
}

TEST(ProjSystems, ReportNamesSystemsAndOperation) {
    EXPECT_EQ(CoordinateSystems("EPSG:31467", " EPSG:25832 ").ReportLines(),
              (std::vector<std::string>{
                  "Source coordinate system: EPSG:31467 (DHDN / 3-degree Gauss-Kruger zone 3)",
                  "Target coordinate system: EPSG:25832 (ETRS89 / UTM zone 32N)",
                  "Transformation: Inverse of 3-degree Gauss-Kruger zone 3 + DHDN to ETRS89 (8) "
                  "+ UTM zone 32N, accuracy 0.9 m"}));
    EXPECT_EQ(CoordinateSystems("+proj=utm +zone=32 +ellps=intl", "EPSG:25832").ReportLines(),
              (std::vector<std::string>{
                  "Source coordinate system: +proj=utm +zone=32 +ellps=intl",
                  "Target coordinate system: EPSG:25832 (ETRS89 / UTM zone 32N)",
                  "Transformation: Inverse of UTM zone 32N + Ballpark geographic offset from "
                  "unknown to ETRS89 + UTM zone 32N, accuracy unknown"}));
    EXPECT_EQ(CoordinateSystemName("EPSG:4326+5773"), "EPSG:4326+5773 (WGS 84 + EGM96 height)");
}

TEST(ProjSystems, ErrorTexts) {
    ExpectKorvelError([] { CoordinateSystems("EPSG:999999", "EPSG:25832"); },
                      "Unknown source coordinate system: EPSG:999999");
    ExpectKorvelError([] { CoordinateSystems("EPSG:25832", "no such system"); },
                      "Unknown target coordinate system: no such system");
    ExpectKorvelError([] { CoordinateSystems("EPSG:25832", " "); },
                      "No target coordinate system given");
    const std::string ellipsoid = "urn:ogc:def:ellipsoid:EPSG::7030";
    ExpectKorvelError(
        [&] { CoordinateSystems(ellipsoid, "EPSG:25832"); },
        ellipsoid + ", given as the source coordinate system, is not a coordinate system");
    ExpectKorvelError([] { CoordinateSystems("EPSG:5773", "EPSG:25832"); },
                      "No transformation is known from EPSG:5773 to EPSG:25832");
    // The best operation from Austria Lambert needs a grid proj-data lacks;
    // a less accurate one with parameters alone must not stand in for it.
    ExpectKorvelError(
        [] { CoordinateSystems("EPSG:31287", "EPSG:25833"); },
        "The transformation 'Inverse of Austria Lambert + MGI to ETRS89 (8) + UTM zone 33N' "
        "needs the grid file at_bev_AT_GIS_GRID_2021_09_28.tif "
        "(https://cdn.proj.org/at_bev_AT_GIS_GRID_2021_09_28.tif), which is not installed");
    // Beyond the BETA2007 grid.
    const std::unique_ptr<CoordinateTransform> transform =
        CoordinateSystems("EPSG:31467", "EPSG:25832").CreateTransform();
    double x = 3500000, y = 1000000.5, z = 0;
    ExpectKorvelError([&] { transform->Transform(x, y, z); },
                      "Cannot move the point (3500000, 1000000.5) into EPSG:25832: "
                      "Coordinate to transform falls outside grid");
}

}  // namespace
}  // namespace korvel::test
