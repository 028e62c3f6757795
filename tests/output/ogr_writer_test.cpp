// The GIS forms written through GDAL and read back by ogrinfo, a reader of
// its own; the coordinates moved into WGS 84 held against cs2cs.
#include "output/ogr_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace korvel {
namespace {

using test::ExpectKorvelError;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

#define SKIP_WITHOUT(program)                                       \
    if (std::system("command -v " program " >/dev/null 2>&1") != 0) \
        GTEST_SKIP() << program " is not on PATH";

// The standard output of a shell command.
std::string Shell(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return out;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    pclose(pipe);
    return out;
}

std::string Quoted(const std::filesystem::path& path) {
    return "'" + path.string() + "'";
}

// The features as ogrinfo -al shows them: "name=value" for each field and
// the geometry's WKT, joined by "|".
std::vector<std::string> ReadFeatures(const std::filesystem::path& file) {
    std::stringstream out(Shell("ogrinfo -ro -al " + Quoted(file)));
    std::vector<std::string> features;
    for (std::string line; std::getline(out, line);) {
        if (line.rfind("OGRFeature(", 0) == 0) {
            features.emplace_back();
            continue;
        }
        if (features.empty() || line.rfind("  ", 0) != 0) continue;
        line.erase(0, 2);
        const auto type = line.find(" (String) = ");
        std::string& feature = features.back();
        if (!feature.empty()) feature += "|";
        feature +=
            type == std::string::npos ? line : line.substr(0, type) + "=" + line.substr(type + 12);
    }
    return features;
}

// The text of the error of type E that `fn` throws.
template <typename E>
std::string ErrorText(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const E& e) {
        return e.what();
    }
    return "no error";
}

// A record; an empty number or code is one not exported.
PointRecord Point(std::string_view number, std::string_view code, std::string_view x,
                  std::string_view y, std::string_view z, std::string_view entity,
                  std::string_view layer, std::string_view handle) {
    PointRecord r;
    r.number = number;
    r.code = code;
    r.hasNumber = !number.empty();
    r.hasCode = !code.empty();
    r.x = x;
    r.y = y;
    r.z = z;
    r.entityType = entity;
    r.layer = layer;
    r.handle = handle;
    return r;
}

const std::vector<PointRecord> kPoints{
    Point("7,\"5\"", "TREE", "500123.456", "5712345.678", "12.345", "POINT", "Höhen", "1A"),
    Point("", "", "-12.5", "-0.001", "-3", "LWPOLYLINE", "0", "2F"),
    // The layer in Latin-1, as drawings before R2007 write it.
    Point("1002", "Höhe; Baum", "499999.999", "5712000.000", "0.000", "INSERT", "Gr\xFCn", "3B0"),
};

// What ogrinfo shows for kPoints.
const std::vector<std::string> kFeatures{
    "number=7,\"5\"|code=TREE|entity=POINT|layer=Höhen|handle=1A|"
    "POINT Z (500123.456 5712345.678 12.345)",
    "number=(null)|code=(null)|entity=LWPOLYLINE|layer=0|handle=2F|POINT Z (-12.5 -0.001 -3)",
    "number=1002|code=Höhe; Baum|entity=INSERT|layer=Grün|handle=3B0|"
    "POINT Z (499999.999 5712000.0 0)",
};

void Write(RecordSink& sink, const std::vector<PointRecord>& points) {
    for (const PointRecord& point : points) sink.Record(point);
}

void WriteFileOf(const std::filesystem::path& path, OgrForm form, const std::string& crs,
                 const std::vector<PointRecord>& points = kPoints) {
    auto sink = CreateOgrSink(path, form, crs);
    Write(*sink, points);
    sink->Close();
}

// Every form, the three written at the same time on threads of their own.
TEST(OgrWriter, EveryFormReadsBackAsWritten) {
    SKIP_WITHOUT("ogrinfo");
    TempDir dir;
    const std::vector<std::pair<OgrForm, std::filesystem::path>> files{
        {OgrForm::GeoJson, dir / "punkte.geojson"},
        {OgrForm::GeoPackage, dir / "punkte.gpkg"},
        {OgrForm::Shapefile, dir / "punkte.shp"}};
    std::vector<std::future<void>> writers;
    for (const auto& file : files)
        writers.push_back(
            std::async(std::launch::async, [file] { WriteFileOf(file.second, file.first, ""); }));
    for (auto& writer : writers) writer.get();

    for (const auto& [form, path] : files) {
        SCOPED_TRACE(path.string());
        EXPECT_EQ(ReadFeatures(path), kFeatures);
        const std::string summary = Shell("ogrinfo -ro -so -al " + Quoted(path));
        EXPECT_NE(summary.find("Layer name: punkte\n"), std::string::npos) << summary;
        EXPECT_NE(summary.find("Geometry: 3D Point\n"), std::string::npos) << summary;
        // A GeoJSON file names no system; its readers take it as WGS 84.
        if (form == OgrForm::GeoJson) continue;
        const std::string none = form == OgrForm::GeoPackage
                                     ? "Layer SRS WKT:\nENGCRS[\"Undefined Cartesian SRS\""
                                     : "Layer SRS WKT:\n(unknown)";
        EXPECT_NE(summary.find(none), std::string::npos) << summary;
    }
    // The texts as written, no digits added and no system named.
    const std::string json = ReadFile(dir / "punkte.geojson");
    EXPECT_NE(json.find("[ 500123.456, 5712345.678, 12.345 ]"), std::string::npos) << json;
    EXPECT_EQ(json.find("\"crs\""), std::string::npos) << json;
    EXPECT_EQ(ReadFile(dir / "punkte.cpg"), "UTF-8");
    EXPECT_FALSE(std::filesystem::exists(dir / "punkte.prj"));
}

// RFC 7946: longitude and latitude in WGS 84, as cs2cs moves the points.
TEST(OgrWriter, GeoJsonWithSystemIsWgs84LongitudeLatitude) {
    SKIP_WITHOUT("ogrinfo");
    SKIP_WITHOUT("cs2cs");
    TempDir dir;
    WriteFileOf(dir / "utm.geojson", OgrForm::GeoJson, "EPSG:25832");
    EXPECT_EQ(ReadFile(dir / "utm.geojson").find("\"crs\""), std::string::npos);

    const std::vector<std::string> features = ReadFeatures(dir / "utm.geojson");
    ASSERT_EQ(features.size(), kPoints.size());
    for (size_t i = 0; i < kPoints.size(); ++i) {
        const PointRecord& p = kPoints[i];
        // cs2cs gives EPSG:4326 as latitude, longitude, height.
        std::stringstream expected(Shell("echo '" + std::string(p.x) + " " + std::string(p.y) +
                                         "' | cs2cs -f %.10f EPSG:25832 EPSG:4326"));
        double lat = 0, lon = 0;
        ASSERT_TRUE(expected >> lat >> lon);
        const auto wkt = features[i].find("POINT Z (");
        ASSERT_NE(wkt, std::string::npos) << features[i];
        std::stringstream written(features[i].substr(wkt + 9));
        double x = 0, y = 0, z = 0;
        ASSERT_TRUE(written >> x >> y >> z) << features[i];
        EXPECT_NEAR(x, lon, 1e-7) << features[i];
        EXPECT_NEAR(y, lat, 1e-7) << features[i];
        EXPECT_EQ(z, std::stod(std::string(p.z))) << features[i];
        EXPECT_EQ(features[i].substr(0, wkt), kFeatures[i].substr(0, wkt)) << features[i];
    }

    // A point that cannot be moved is named; the file takes the next ones.
    auto sink = CreateOgrSink(dir / "far.geojson", OgrForm::GeoJson, "EPSG:25832");
    PointRecord far = kPoints[0];
    far.x = "1e12";
    EXPECT_EQ(ErrorText<PointRecordError>([&] {
                  sink->Record(far);
              }).rfind("Point \"7,\"5\"\" at 1e12 5712345.678 cannot be moved into WGS 84: ", 0),
              0u);
    sink->Record(kPoints[1]);
    sink->Close();
    EXPECT_EQ(ReadFeatures(dir / "far.geojson").size(), 1u);

    // X is the longitude also in a system whose first axis is the latitude.
    PointRecord geographic = kPoints[1];
    geographic.x = "9.5";
    geographic.y = "51.25";
    WriteFileOf(dir / "wgs84.geojson", OgrForm::GeoJson, "EPSG:4326", {geographic});
    EXPECT_EQ(ReadFeatures(dir / "wgs84.geojson"),
              std::vector<std::string>{"number=(null)|code=(null)|entity=LWPOLYLINE|layer=0|"
                                       "handle=2F|POINT Z (9.5 51.25 -3)"});
}

// GeoPackage and shapefile keep the coordinates and name their system.
TEST(OgrWriter, GeoPackageAndShapefileNameTheirSystem) {
    SKIP_WITHOUT("ogrinfo");
    TempDir dir;
    WriteFileOf(dir / "utm.gpkg", OgrForm::GeoPackage, "EPSG:25832");
    WriteFileOf(dir / "utm.shp", OgrForm::Shapefile, "EPSG:25832");
    EXPECT_EQ(ReadFeatures(dir / "utm.gpkg"), kFeatures);
    EXPECT_EQ(ReadFeatures(dir / "utm.shp"), kFeatures);
    const std::string gpkg = Shell("ogrinfo -ro -so -al " + Quoted(dir / "utm.gpkg"));
    EXPECT_NE(gpkg.find("PROJCRS[\"ETRS89 / UTM zone 32N\""), std::string::npos) << gpkg;
    EXPECT_NE(gpkg.find("ID[\"EPSG\",25832]]"), std::string::npos) << gpkg;
    EXPECT_NE(ReadFile(dir / "utm.prj").find("UTM_Zone_32N"), std::string::npos);
}

// A file is replaced with its sidecars; an abandoned or dropped sink leaves a
// file holding the points recorded so far.
TEST(OgrWriter, ReplacesOldFilesAndCompletesAbandonedOnes) {
    SKIP_WITHOUT("ogrinfo");
    TempDir dir;
    for (OgrForm form : {OgrForm::GeoJson, OgrForm::GeoPackage, OgrForm::Shapefile}) {
        const std::string extension = form == OgrForm::GeoJson      ? ".geojson"
                                      : form == OgrForm::GeoPackage ? ".gpkg"
                                                                    : ".shp";
        const std::filesystem::path path = dir / ("old" + extension);
        SCOPED_TRACE(path.string());
        WriteFileOf(path, form, "EPSG:25832");
        if (form == OgrForm::GeoPackage) WriteFile(dir / "old.gpkg-journal", "stale");

        auto abandoned = CreateOgrSink(path, form, "");
        Write(*abandoned, {kPoints[1]});
        abandoned->Abandon();
        abandoned->Abandon();
        EXPECT_EQ(ReadFeatures(path), std::vector<std::string>{kFeatures[1]});
        EXPECT_FALSE(std::filesystem::exists(dir / "old.prj"));

        auto dropped = CreateOgrSink(path, form, "");
        Write(*dropped, {kPoints[2], kPoints[0]});
        dropped.reset();
        EXPECT_EQ(ReadFeatures(path), (std::vector<std::string>{kFeatures[2], kFeatures[0]}));
    }
}

TEST(OgrWriter, ErrorsNameTheFile) {
    SKIP_WITHOUT("ogrinfo");
    TempDir dir;
    const std::filesystem::path path = dir / "a.gpkg";
    ExpectKorvelError([&] { CreateOgrSink(path, OgrForm::GeoPackage, "EPSG:99999999"); },
                      "Cannot create file \"" + path.string() +
                          "\". \"EPSG:99999999\" is no coordinate system GDAL knows");
    EXPECT_FALSE(std::filesystem::exists(path));
    ExpectKorvelError([&] { CreateOgrSink(dir / "a.txt", OgrForm::Shapefile, ""); },
                      "Cannot create file \"" + (dir / "a.txt").string() +
                          "\". The name of a shapefile must end in .shp");

    // GDAL's own reason follows.
    const std::filesystem::path missing = dir / "no-folder" / "a.geojson";
    const std::string text =
        ErrorText<KorvelError>([&] { CreateOgrSink(missing, OgrForm::GeoJson, ""); });
    const std::string prefix = "Cannot create file \"" + missing.string() + "\". ";
    EXPECT_EQ(text.rfind(prefix, 0), 0u) << text;
    EXPECT_GT(text.size(), prefix.size() + 10) << text;

    // Points a form cannot hold; the file takes the next ones.
    auto sink = CreateOgrSink(dir / "b.shp", OgrForm::Shapefile, "");
    PointRecord bad = kPoints[0];
    const auto record = [&] { sink->Record(bad); };
    bad.y = "12,5";
    EXPECT_EQ(ErrorText<PointRecordError>(record), "'12,5' is not a valid floating point value");
    bad.y = "1E400";
    EXPECT_EQ(ErrorText<PointRecordError>(record),
              "The Y coordinate 1E400 of point \"7,\"5\"\" does not fit a shapefile");
    bad = kPoints[0];
    const std::string layer = std::string(250, 'L') + "Höhe";
    bad.layer = layer;
    EXPECT_EQ(ErrorText<PointRecordError>(record),
              "The layer name \"" + layer +
                  "\" of point \"7,\"5\"\" has 255 bytes; a shapefile holds 254");
    sink->Record(kPoints[1]);
    sink->Close();
    EXPECT_EQ(ReadFeatures(dir / "b.shp"), std::vector<std::string>{kFeatures[1]});
}

}  // namespace
}  // namespace korvel
