// Byte-exact data lines for every entity type, driven through a whole pass.
#include "engine/file_pass.h"

#include <gtest/gtest.h>

#include "engine/byte_source.h"
#include "support/test_support.h"

namespace korvel {
namespace {

using test::ConvertText;
using test::DefaultSettings;
using test::Dxf;

std::string Entities(const std::vector<std::string>& body) {
    std::vector<std::string> lines = {"  0", "SECTION", "  2", "ENTITIES"};
    lines.insert(lines.end(), body.begin(), body.end());
    lines.insert(lines.end(), {"  0", "ENDSEC", "  0", "EOF"});
    return Dxf(lines);
}

const std::vector<std::string> kLine = {"  0", "LINE",  "  5", "1F",      "  8", "WALLS",
                                        " 10", "1.5",   " 20", "2",       " 30", "0",
                                        " 11", "10.25", " 21", "-3.1416", " 31", "0"};

TEST(FilePass, LineGivesStartAndEndPoint) {
    auto r = ConvertText(Entities(kLine), DefaultSettings());
    EXPECT_EQ(r.data, "1,1.500,2.000,0.000,WALLS\r\n2,10.250,-3.142,0.000,WALLS\r\n");
    EXPECT_EQ(r.counters.Lines, 1);
    EXPECT_EQ(r.numbers.EntityNumber, 2);
    EXPECT_TRUE(r.report.empty());
}

TEST(FilePass, PointCircleArcEllipseGiveOnePointEach) {
    auto s = DefaultSettings();
    s.Set(field::ProcessCircles, true);
    s.Set(field::ProcessArcs, true);
    s.Set(field::ProcessEllipses, true);
    auto body = std::vector<std::string>{
        "  0", "POINT", "  8", "P", " 10", "1", " 20", "2", " 30", "3",   "  0", "CIRCLE",
        "  8", "C",     " 10", "4", " 20", "5", " 30", "6", " 40", "9.5", "  0", "ARC",
        "  8", "A",     " 10", "7", " 20", "8", " 30", "9", " 50", "0",   "  0", "ELLIPSE",
        "  8", "E",     " 10", "1", " 20", "1", " 30", "1", " 11", "5"};
    auto r = ConvertText(Entities(body), s, {"Number", "Code"}, {"Entity type", "Layer"});
    EXPECT_EQ(r.data, "1,POINT,P\r\n2,CIRCLE,C\r\n3,ARC,A\r\n4,ELLIPSE,E\r\n");
    EXPECT_EQ(r.counters.Points, 1);
    EXPECT_EQ(r.counters.Circles, 1);
    EXPECT_EQ(r.counters.Arcs, 1);
    EXPECT_EQ(r.counters.Ellipses, 1);
}

TEST(FilePass, EntityWithoutZGivesNoPointButCounts) {
    auto r = ConvertText(Entities({"  0", "POINT", " 10", "1", " 20", "2"}), DefaultSettings(),
                         {"X"}, {});
    EXPECT_EQ(r.data, "");
    EXPECT_EQ(r.counters.Points, 1);
    EXPECT_EQ(r.numbers.EntityNumber, 2);
}

TEST(FilePass, InsertGivesBlockNameAndType) {
    auto s = DefaultSettings();
    s.Set(field::ProcessBlocks, true);
    auto r = ConvertText(Entities({"  0", "INSERT", "  5", "2A", "  8", "TREES", "  2", "OAK",
                                   " 10", "100", " 20", "200", " 30", "1.25", " 41", "1"}),
                         s, {"X", "Code"}, {"Entity type", "Block name", "Handle"});
    EXPECT_EQ(r.data, "100.000,BLOCK,OAK,2A\r\n");
    EXPECT_EQ(r.counters.Blocks, 1);
}

TEST(FilePass, TextPointsAndCounts) {
    auto s = DefaultSettings();
    s.Set(field::ProcessText, true);
    s.Set(field::ProcessMText, true);
    auto body = std::vector<std::string>{"  0", "TEXT",      "  8", "T",    " 10", "1",
                                         " 20", "2",         " 30", "0",    "  1", "Well, 3 \"a\"",
                                         "  0", "MTEXT",     "  8", "M",    " 10", "3",
                                         " 20", "4",         " 30", "0",    "  3", "first part",
                                         "  1", "last part", "  0", "TEXT", " 10", "5",
                                         " 20", "6"};
    auto r = ConvertText(Entities(body), s, {"X", "Code"}, {"Text", "Layer"});
    EXPECT_EQ(r.data, "1.000,Well, 3 \"a\",T\r\n3.000,last part,M\r\n5.000,,\r\n");
    EXPECT_EQ(r.counters.SingleTexts, 2);
    EXPECT_EQ(r.counters.MultilineTexts, 1);
}

TEST(FilePass, LwPolylineTakesZFromElevation) {
    auto body = std::vector<std::string>{
        "  0", "LWPOLYLINE", "  8", "CONTOUR",    " 90", "3", " 38", "125.5", " 43", "0.35",
        " 10", "1",          " 20", "2",          " 10", "3", " 20", "4",     " 10", "5",
        " 20", "6",          "  0", "LWPOLYLINE", " 10", "7", " 20", "8"};
    auto r = ConvertText(Entities(body), DefaultSettings(), {"X", "Y", "Z"}, {});
    EXPECT_EQ(r.data,
              "1.000,2.000,125.500\r\n3.000,4.000,125.500\r\n5.000,6.000,125.500\r\n"
              "7.000,8.000,0.000\r\n");
    EXPECT_EQ(r.counters.Polylines2D, 2);
}

std::vector<std::string> Polyline(const std::string& headerFlags,
                                  const std::vector<std::string>& vertexFlags) {
    std::vector<std::string> l = {"  0", "POLYLINE", "  5", "AB", "  8", "ROAD", " 66", "1"};
    if (!headerFlags.empty()) l.insert(l.end(), {" 70", headerFlags});
    int i = 1;
    for (const auto& f : vertexFlags) {
        l.insert(l.end(), {"  0", "VERTEX", "  5", "V" + std::to_string(i), "  8", "OTHER", " 10",
                           std::to_string(i), " 20", "0", " 30", std::to_string(i * 10)});
        if (!f.empty()) l.insert(l.end(), {" 70", f});
        ++i;
    }
    l.insert(l.end(), {"  0", "SEQEND", "  8", "ROAD"});
    return l;
}

TEST(FilePass, Polyline3DSkipsFittedVerticesUnlessIncluded) {
    auto s = DefaultSettings();
    s.Set(field::Include3DPolylineExtraPoints, false);
    auto dxf = Entities(Polyline("8", {"32", "8", "32", "1"}));
    auto r = ConvertText(dxf, s, {"Number", "X", "Z", "Code"}, {"Handle", "Layer", "Entity type"});
    EXPECT_EQ(r.data, "1,1.000,10.000,AB,ROAD,POLYLINE\r\n2,3.000,30.000,AB,ROAD,POLYLINE\r\n");
    EXPECT_EQ(r.counters.Polylines3D, 1);
    EXPECT_EQ(r.numbers.EntityNumber, 2);

    s.Set(field::Include3DPolylineExtraPoints, true);
    EXPECT_EQ(ConvertText(dxf, s, {"X"}, {}).data, "1.000\r\n2.000\r\n3.000\r\n4.000\r\n");

    s.Set(field::Process3DPolylines, false);
    r = ConvertText(dxf, s, {"X"}, {});
    EXPECT_EQ(r.data, "");
    EXPECT_EQ(r.counters.Polylines3D, 0);
    EXPECT_EQ(r.numbers.EntityNumber, 1);
}

TEST(FilePass, PolylineWithoutFlagsIs2DAndVerticesInheritFlags) {
    auto s = DefaultSettings();
    s.Set(field::Include2DPolylineExtraPoints, false);
    // No 70 anywhere: a 2D polyline, every vertex written.
    auto r = ConvertText(Entities(Polyline("", {"", "", ""})), s, {"X"}, {});
    EXPECT_EQ(r.data, "1.000\r\n2.000\r\n3.000\r\n");
    EXPECT_EQ(r.counters.Polylines2D, 1);
    // A vertex without 70 is judged by the flags of the vertex before it.
    r = ConvertText(Entities(Polyline("0", {"0", "1", "", "0"})), s, {"X"}, {});
    EXPECT_EQ(r.data, "1.000\r\n4.000\r\n");
}

TEST(FilePass, PolylineFlagsThatAreNoInteger) {
    test::ExpectKorvelError([] { ConvertText(Entities(Polyline("8x", {"0"})), DefaultSettings()); },
                            "'8x' is not a valid integer value");
}

TEST(FilePass, SplineControlAndFitPoints) {
    auto s = DefaultSettings();
    s.Set(field::ProcessSplines, true);
    auto dxf = Entities({"  0", "SPLINE", " 10", "1", " 20", "1", " 30", "0", " 10", "2",
                         " 20", "2",      " 30", "0", " 11", "9", " 21", "9", " 31", "0"});
    EXPECT_EQ(ConvertText(dxf, s, {"X"}, {}).data, "1.000\r\n2.000\r\n");
    s.Set(field::IncludeSplineFitPoints, true);
    auto r = ConvertText(dxf, s, {"X"}, {});
    EXPECT_EQ(r.data, "1.000\r\n2.000\r\n9.000\r\n");
    EXPECT_EQ(r.counters.Splines, 1);
}

TEST(FilePass, ValueLineNamingAnEnabledEntityStartsIt) {
    // TEXT off, LINE on: the text value "LINE" starts the line extractor there.
    auto r = ConvertText(Entities({"  0", "TEXT", "  8", "T", "  1", "LINE", " 10", "5", " 20", "6",
                                   " 30", "7", "  0", "POINT"}),
                         DefaultSettings(), {"X", "Code"}, {"Entity type"});
    EXPECT_EQ(r.data, "5.000,LINE\r\n");
    EXPECT_EQ(r.counters.Lines, 1);
}

TEST(FilePass, BlockDefinitionsAndUnalignedCodesGiveNothing) {
    std::string dxf = Dxf({"  0", "SECTION", "  2", "BLOCKS", "  0", "POINT", " 10", "1", " 20",
                           "1", " 30", "1", "  0", "ENDSEC"}) +
                      Entities({"0", "POINT", "10", "1", "20", "2", "30", "3"});
    auto r = ConvertText(dxf, DefaultSettings());
    EXPECT_EQ(r.data, "");
    EXPECT_EQ(r.counters.Points, 1);  // the name matched, none of its codes did
}

TEST(FilePass, WarningsForMissingSectionAndCutOffEntity) {
    auto r =
        ConvertText(Dxf({"  0", "SECTION", "  2", "HEADER", "  0", "ENDSEC"}), DefaultSettings());
    EXPECT_EQ(r.data, "");
    EXPECT_EQ(r.report, RunReport{std::string(kNoEntitiesWarning)});

    r = ConvertText(Dxf({"ENTITIES", "  0", "LINE", " 10", "1", " 20", "2", " 30", "3", " 11"}),
                    DefaultSettings(), {"X"}, {});
    EXPECT_EQ(r.data, "1.000\r\n");
    EXPECT_EQ(r.report, RunReport{std::string(kTruncatedWarning)});
    EXPECT_EQ(r.counters.Lines, 1);
}

TEST(FilePass, ConversionErrorKeepsEarlierLines) {
    test::TempDir dir;
    test::WriteFile(dir / "a.dxf",
                    Entities({"  0", "POINT", " 10", "1", " 20", "2", " 30", "3", "  0", "POINT",
                              " 10", "1,5", " 20", "2", " 30", "3"}));
    auto settings = DefaultSettings();
    NameTables names = ShippedNameTables();
    FixedListsHost host({"X"}, {});
    RunReport report;
    FilePass pass(settings, names, host, report);
    test::ExpectKorvelError([&] { pass.ConvertDxfFile(dir / "a.dxf", dir / "a.txt"); },
                            "'1,5' is not a valid floating point value");
    EXPECT_EQ(test::ReadFile(dir / "a.txt"), "1.000\r\n");
}

// Counts pumps and asks for a stop after a given number of them.
class StoppingHost : public FixedListsHost {
  public:
    StoppingHost(FilePass*& pass, int stopAfter)
        : FixedListsHost({"X"}, {}), pass_(pass), stopAfter_(stopAfter) {}
    void PumpEvents() override {
        if (++pumps == stopAfter_) pass_->RequestStop();
    }
    void SetProgressCaption(std::string_view caption) override { captions.emplace_back(caption); }
    void SetProgressPosition(int position) override { positions.push_back(position); }
    int pumps = 0;
    std::vector<std::string> captions;
    std::vector<int> positions;

  private:
    FilePass*& pass_;
    int stopAfter_;
};

TEST(FilePass, StopEndsThePassAfterTheCurrentEntity) {
    test::TempDir dir;
    std::vector<std::string> body;
    for (int i = 1; i <= 50; ++i)
        body.insert(body.end(), {"  0", "POINT", " 10", std::to_string(i), " 20", "0", " 30", "0"});
    test::WriteFile(dir / "p.dxf", Entities(body));
    auto settings = DefaultSettings();
    NameTables names = ShippedNameTables();
    FilePass* passPtr = nullptr;
    StoppingHost host(passPtr, 2);  // asked during the pump before the first "POINT"
    RunReport report;
    FilePass pass(settings, names, host, report);
    passPtr = &pass;
    pass.ConvertDxfFile(dir / "p.dxf", dir / "p.txt");
    EXPECT_EQ(test::ReadFile(dir / "p.txt"), "1.000\r\n");
    EXPECT_TRUE(pass.StopRequested());
    EXPECT_EQ(host.captions, std::vector<std::string>{"Processing p.dxf"});

    // The next pass starts afresh and reads everything; progress ends at 100.
    host.pumps = -1000;
    pass.ConvertDxfFile(dir / "p.dxf", dir / "p.txt");
    EXPECT_EQ(pass.Counters().Points, 50);
    ASSERT_FALSE(host.positions.empty());
    EXPECT_EQ(host.positions.back(), 100);
}

TEST(FilePass, OpenFailureIsReportedAndCreatesNothing) {
    test::TempDir dir;
    auto settings = DefaultSettings();
    NameTables names = ShippedNameTables();
    FixedListsHost host({"X"}, {});
    RunReport report;
    FilePass pass(settings, names, host, report);
    pass.ConvertDxfFile(dir / "missing.dxf", dir / "missing.txt");
    EXPECT_TRUE(pass.OpenFailed());
    EXPECT_EQ(report, RunReport{std::string(kOpenErrorLine)});
    EXPECT_FALSE(std::filesystem::exists(dir / "missing.txt"));
    // A folder named like a drawing cannot be opened either.
    std::filesystem::create_directory(dir / "folder.dxf");
    pass.ConvertDxfFile(dir / "folder.dxf", dir / "folder.txt");
    EXPECT_TRUE(pass.OpenFailed());
}

TEST(FilePass, NeverWritesOverADrawing) {
    test::TempDir dir;
    const std::string drawing = Entities(kLine);
    test::WriteFile(dir / "site.dxf", drawing);
    test::WriteFile(dir / "other.DXF", "keep me");
    auto settings = DefaultSettings();
    NameTables names = ShippedNameTables();
    FixedListsHost host({"X"}, {});
    RunReport report;
    FilePass pass(settings, names, host, report);
    test::ExpectKorvelError([&] { pass.ConvertDxfFile(dir / "site.dxf", dir / "site.dxf"); },
                            "File access denied");
    test::ExpectKorvelError([&] { pass.ConvertDxfFile(dir / "site.dxf", dir / "other.DXF"); },
                            "File access denied");
    EXPECT_EQ(test::ReadFile(dir / "site.dxf"), drawing);
    EXPECT_EQ(test::ReadFile(dir / "other.DXF"), "keep me");
    // A missing destination folder is a bad file name.
    test::ExpectKorvelError([&] { pass.ConvertDxfFile(dir / "site.dxf", dir / "no" / "x.txt"); },
                            "Invalid filename");
}

TEST(FilePass, ProgressOfTinyFileIsComplete) {
    FilePass* passPtr = nullptr;
    StoppingHost host(passPtr, -1);
    auto settings = DefaultSettings();
    NameTables names = ShippedNameTables();
    RunReport report;
    FilePass pass(settings, names, host, report);
    test::TempDir dir;
    test::WriteFile(dir / "t.dxf", "ENTITIES\r\n  0\r\nEOF\r\n");
    pass.ConvertDxfFile(dir / "t.dxf", dir / "t.txt");
    EXPECT_EQ(host.positions, std::vector<int>{100});
}

}  // namespace
}  // namespace korvel

namespace korvel {
namespace {

// Settings the window never writes but a configuration file may hold.
TEST(FilePass, StoredSettingsTheLinesDoNotFollow) {
    const std::string drawing =
        Entities({"  0", "POLYLINE", " 70", "0",      "  0", "VERTEX", " 10", "1", " 20", "1",
                  " 30", "0",        "  0", "VERTEX", " 70", "1",      " 10", "2", " 20", "2",
                  " 30", "0",        "  0", "SEQEND", "  0", "SPLINE", " 10", "3", " 20", "3",
                  " 30", "0",        " 11", "4",      " 21", "4",      " 31", "0"});
    ExportSettings plain = DefaultSettings();
    plain.Set(field::ProcessSplines, true);
    plain.Set(field::Include2DPolylineExtraPoints, false);
    const std::string lines = ConvertText(drawing, plain).data;

    // Fields are joined by a comma whatever the separator setting holds.
    ExportSettings semicolon = plain;
    semicolon.Set(field::FieldSeparator, ";");
    EXPECT_EQ(ConvertText(drawing, semicolon).data, lines);

    // A flag byte of 2 ticks an entity type, but leaves an include option off.
    ExportSettings twos = plain;
    for (BoolField f : {field::Process2DPolylines, field::ProcessSplines,
                        field::Include2DPolylineExtraPoints, field::IncludeSplineFitPoints})
        twos.image[f.offset] = 2;
    EXPECT_EQ(ConvertText(drawing, twos).data, lines);
    for (BoolField f : {field::Include2DPolylineExtraPoints, field::IncludeSplineFitPoints}) {
        ExportSettings one = plain;
        one.Set(f, true);
        EXPECT_NE(ConvertText(drawing, one).data, lines);  // the include options act at 1
    }
}

// A progress display that records every position shown.
class RecordingHost : public FixedListsHost {
  public:
    RecordingHost() : FixedListsHost({"X"}, {}) {}
    void SetProgressPosition(int position) override { positions.push_back(position); }
    std::vector<int> positions;
};

TEST(FilePass, ProgressShowsEveryPositionOnceInOrderThroughTheDrawing) {
    // 1000 blocks of 128 bytes: each block read moves the figure by a tenth.
    std::string drawing = "ENTITIES\r\n";
    while (drawing.size() < 127000)
        drawing += "  0\r\nPOINT\r\n 10\r\n1.5\r\n 20\r\n2.5\r\n 30\r\n3.5\r\n";
    drawing += "999\r\n";  // a comment, long enough to fill the last block
    drawing += std::string(128000 - drawing.size() - 12, 'x') + "\r\n  0\r\nEOF\r\n";
    ASSERT_EQ(drawing.size(), 128000u);
    test::TempDir dir;
    test::WriteFile(dir / "p.dxf", drawing);
    RecordingHost host;
    const ExportSettings settings = DefaultSettings();
    const NameTables names = ShippedNameTables();
    RunReport report;
    FilePass pass(settings, names, host, report);
    pass.ConvertDxfFile(dir / "p.dxf", dir / "p.txt");
    std::vector<int> everyPosition(101);
    for (int i = 0; i <= 100; ++i) everyPosition[static_cast<std::size_t>(i)] = i;
    EXPECT_EQ(host.positions, everyPosition);
}

}  // namespace
}  // namespace korvel
