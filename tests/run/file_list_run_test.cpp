// The window's run over a fake file list and a fake host: naming, report
// lines, the order of reads during a run, stop and error endings.
#include "run/file_list_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>

#include "run/reliability_support.h"
#include "run/run_report.h"
#include "support/test_support.h"

namespace korvel {
namespace {

using test::DefaultSettings;
using test::Dxf;
using test::ExpectKorvelError;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

namespace fs = std::filesystem;

// A list box whose items may change while the run pumps events.
class FakeFileList : public FileListView {
  public:
    struct Item {
        std::string text;
        bool selected = true;
    };
    std::vector<Item> items;
    mutable int textReads = 0;

    std::size_t Count() const override { return items.size(); }
    bool IsSelected(std::size_t i) const override { return items[i].selected; }
    std::string Text(std::size_t i) const override {
        ++textReads;
        return items[i].text;
    }
};

using FakeRunHost = test::ScriptedRunHost;

// A drawing of `count` POINTs on layer `layer`, x = 1, 2, ...
std::string PointsDrawing(int count, const std::string& layer = "PTS") {
    std::vector<std::string> lines = {"  0", "SECTION", "  2", "ENTITIES"};
    for (int i = 1; i <= count; ++i) {
        std::string x = std::to_string(i);
        lines.insert(lines.end(),
                     {"  0", "POINT", "  8", layer, " 10", x, " 20", "2.5", " 30", "0"});
    }
    lines.insert(lines.end(), {"  0", "LINE", "  8", "L", " 10", "0", " 20", "0", " 30", "0", " 11",
                               "1", " 21", "1", " 31", "1"});
    lines.insert(lines.end(), {"  0", "ENDSEC", "  0", "EOF"});
    return Dxf(lines);
}

std::tm Time(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
}

class BatchRun : public ::testing::Test {
  protected:
    TempDir dir;
    ExportSettings settings = DefaultSettings();
    NameTables names = ShippedNameTables();
    FakeFileList list;
    FakeRunHost host;
    RunReport report;
    std::tm start = Time(2024, 3, 5, 14, 7, 9);

    std::string Folder() const { return dir.path().string(); }
    // A name in the folder as a run spells its path.
    std::string InFolder(const std::string& name) const {
        return Folder() + kFolderSeparator + name;
    }
    void AddFile(const std::string& name, const std::string& content, bool selected = true) {
        WriteFile(dir / name, content);
        list.items.push_back({name, selected});
    }
    RunSummary Run(std::string destination = {}) {
        FileListRunRequest request;
        request.sourceFolder = Folder();
        request.destinationFolder = destination.empty() ? Folder() : destination;
        return CreateDataFiles(request, list, settings, names, host, report, start);
    }
};

// ---- naming and separators ----

TEST(DataFileNaming, CutsAtTheFirstDotAndAppendsTheExtensionAsStored) {
    EXPECT_EQ(DataFileName("Site.dxf", "txt"), "Site.txt");
    EXPECT_EQ(DataFileName("Site.Plan.dxf", "txt"), "Site.txt");
    EXPECT_EQ(DataFileName(".dxf", "txt"), ".txt");
    EXPECT_EQ(DataFileName("Site.", "csv"), "Site.csv");
    EXPECT_EQ(DataFileName("SITE.DXF", " TXT"), "SITE. TXT");
    EXPECT_EQ(DataFileName("Site.dxf", ""), "Site.");
}

TEST(DataFileNaming, NameWithoutDotGivesTheExtensionAlone) {
    EXPECT_EQ(DataFileName("Site", "txt"), "txt");
    EXPECT_EQ(DataFileName("", "txt"), "txt");
}

TEST(DataFileNaming, SeparatorIsAddedOnlyWhereMissing) {
    const std::string separator(1, kFolderSeparator);
    EXPECT_EQ(WithTrailingSeparator("/home/ann/survey"), "/home/ann/survey" + separator);
    EXPECT_EQ(WithTrailingSeparator("/home/ann/survey/"), "/home/ann/survey/");
    EXPECT_EQ(WithTrailingSeparator("/"), "/");
    EXPECT_EQ(WithTrailingSeparator(""), separator);  // an empty destination text
}

// ---- report lines ----

TEST(ReportLines, DateTimeLineLeavesOutTheTimeOnlyAtMidnightToTheSecond) {
    // The tests run in the "C" locale: %x is MM/DD/YY, %X is HH:MM:SS.
    EXPECT_EQ(ReportDateTimeLine(Time(2024, 3, 5, 14, 7, 9)), "03/05/24 14:07:09");
    EXPECT_EQ(ReportDateTimeLine(Time(2024, 3, 5, 0, 0, 0)), "03/05/24");
    EXPECT_EQ(ReportDateTimeLine(Time(2024, 3, 5, 0, 0, 1)), "03/05/24 00:00:01");
    EXPECT_EQ(ReportDateTimeLine(Time(2024, 3, 5, 0, 1, 0)), "03/05/24 00:01:00");
    EXPECT_EQ(ReportDateTimeLine(Time(2024, 12, 31, 12, 0, 0)), "12/31/24 12:00:00");
}

TEST(ReportLines, CountLinesInTableOrderWithEighteenCharacterLabels) {
    ExportSettings s;  // every flag off
    for (BoolField f :
         {field::ProcessPoints, field::Process2DPolylines, field::Process3DPolylines,
          field::ProcessLines, field::ProcessSplines, field::ProcessCircles, field::ProcessArcs,
          field::ProcessEllipses, field::ProcessBlocks, field::ProcessText, field::ProcessMText})
        s.Set(f, true);
    RunCounters c{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 2147483647};
    RunReport r;
    AppendFileCounts(r, s, c);
    EXPECT_EQ(r, (RunReport{"Points          : 1", "Circles         : 2", "Arcs            : 3",
                            "Ellipses        : 4", "Blocks          : 5", "Lines           : 6",
                            "2D Polylines    : 7", "3D Polylines    : 8", "Splines         : 9",
                            "Single texts    : 10", "Multiline texts : 2147483647", ""}));
}

TEST(ReportLines, OnlyTickedTypesAndIncludeFlagsHaveNoLine) {
    ExportSettings s;
    s.Set(field::ProcessLines, true);
    s.Set(field::ProcessMText, true);
    s.Set(field::Include2DPolylineExtraPoints, true);
    s.Set(field::Include3DPolylineExtraPoints, true);
    s.Set(field::IncludeSplineFitPoints, true);
    RunCounters c;
    c.Lines = 12;
    c.Points = -3;  // not ticked: not shown
    RunReport r;
    AppendFileCounts(r, s, c);
    EXPECT_EQ(r, (RunReport{"Lines           : 12", "Multiline texts : 0", ""}));

    RunReport none;
    AppendFileCounts(none, ExportSettings{}, c);
    EXPECT_EQ(none, RunReport{""});
}

TEST(ReportFile, EveryLineEndsInCrLfTheLastOneToo) {
    TempDir d;
    WriteFile(d / "KorvelLog.txt", "an earlier, longer report that must disappear\r\n");
    WriteRunReport({"03/05/24", "", "/a/b.dxf", "", "Points          : 1", ""},
                   d / "KorvelLog.txt");
    EXPECT_EQ(ReadFile(d / "KorvelLog.txt"),
              "03/05/24\r\n\r\n/a/b.dxf\r\n\r\nPoints          : 1\r\n\r\n");
    WriteRunReport({}, d / "empty.txt");
    EXPECT_EQ(ReadFile(d / "empty.txt"), "");
}

TEST(ReportFile, UncreatableFileGivesTheCannotCreateText) {
    TempDir d;
    fs::path path = d / "missing" / "KorvelLog.txt";
    ExpectKorvelError([&] { WriteRunReport({"x"}, path); },
                      "Cannot create file \"" + path.string() + "\". No such file or directory");
}

// ---- whole runs ----

TEST_F(BatchRun, SecondFileUnopenableGivesTheTenReportLines) {
    settings = ExportSettings{};
    settings.image = DefaultSettingsImage();
    settings.Set(field::Process2DPolylines, false);
    settings.Set(field::Process3DPolylines, false);
    AddFile("A.dxf", PointsDrawing(2));
    list.items.push_back({"Gone.dxf", true});  // listed, then deleted

    RunSummary summary = Run();

    const std::string a = InFolder("A.dxf");
    const std::string gone = InFolder("Gone.dxf");
    EXPECT_EQ(report, (RunReport{"03/05/24 14:07:09", "", a, "", "Points          : 2",
                                 "Lines           : 1", "", gone, "",
                                 "*** Error, file is used by another application ***"}));
    EXPECT_EQ(ReadFile(dir / "A.txt"),
              "1,1.000,2.500,0.000,PTS\r\n2,2.000,2.500,0.000,PTS\r\n"
              "3,0.000,0.000,0.000,L\r\n4,1.000,1.000,1.000,L\r\n");
    EXPECT_FALSE(fs::exists(dir / "Gone.txt"));
    EXPECT_EQ(summary.filesPassed, 2u);
    EXPECT_EQ(summary.filesNotOpened, 1u);
    EXPECT_EQ(host.events,
              (std::vector<std::string>{"show", "start " + a, "end", "start " + gone, "end"}));
    EXPECT_EQ(host.captions, (std::vector<std::string>{"Processing A.dxf", "Processing Gone.dxf"}));
}

TEST_F(BatchRun, NoFileSelectedGivesTwoLinesAndNoDataFile) {
    AddFile("A.dxf", PointsDrawing(1), false);
    AddFile("B.dxf", PointsDrawing(1), false);
    RunSummary summary = Run();
    EXPECT_EQ(report, (RunReport{"03/05/24 14:07:09", ""}));
    EXPECT_FALSE(fs::exists(dir / "A.txt"));
    EXPECT_FALSE(fs::exists(dir / "B.txt"));
    EXPECT_EQ(summary.filesPassed, 0u);
    EXPECT_EQ(host.events, std::vector<std::string>{"show"});  // the caller hides it
}

TEST_F(BatchRun, EveryFlagOffGivesPathAndTwoEmptyLines) {
    settings = ExportSettings{};
    settings.Set(field::FileExtension, "txt");
    AddFile("A.dxf", PointsDrawing(3));
    Run();
    EXPECT_EQ(report, (RunReport{"03/05/24 14:07:09", "", InFolder("A.dxf"), "", ""}));
    EXPECT_EQ(ReadFile(dir / "A.txt"), "");  // created, empty
}

TEST_F(BatchRun, ReportReplacesTheLinesOfAnEarlierRun) {
    report = {"old", "lines"};
    Run();
    EXPECT_EQ(report, (RunReport{"03/05/24 14:07:09", ""}));
}

TEST_F(BatchRun, TrailingSeparatorOnDestinationIsNotDoubled) {
    fs::create_directory(dir / "out");
    AddFile("Site.Plan.dxf", PointsDrawing(1));
    Run(Folder() + "/out/");
    EXPECT_TRUE(fs::exists(dir / "out" / "Site.txt"));
    EXPECT_EQ(report[2], InFolder("Site.Plan.dxf"));
}

TEST_F(BatchRun, RootSourceFolderGivesNoDoubledSeparator) {
    list.items.push_back({"korvel-no-such-drawing.dxf", true});
    FileListRunRequest request;
    request.sourceFolder = "/";
    request.destinationFolder = Folder();
    CreateDataFiles(request, list, settings, names, host, report, start);
    EXPECT_EQ(report, (RunReport{"03/05/24 14:07:09", "", "/korvel-no-such-drawing.dxf", "",
                                 "*** Error, file is used by another application ***"}));
}

TEST_F(BatchRun, TwoDrawingsWithTheSameStemShareOneDataFileTheLaterWins) {
    AddFile("Site.Plan.dxf", PointsDrawing(1, "PLAN"));
    AddFile("Site.Survey.dxf", PointsDrawing(2, "SURVEY"));
    Run();
    std::string data = ReadFile(dir / "Site.txt");
    EXPECT_EQ(data.find("PLAN"), std::string::npos);
    EXPECT_NE(data.find("2,2.000,2.500,0.000,SURVEY"), std::string::npos);
    EXPECT_EQ(report[4], "Points          : 1");
    EXPECT_EQ(report[11], "Points          : 2");
}

TEST_F(BatchRun, SelectionIsReadWhenTheLoopReachesAnItemAndTheCountOnce) {
    AddFile("A.dxf", PointsDrawing(1));
    AddFile("B.dxf", PointsDrawing(1), false);
    AddFile("C.dxf", PointsDrawing(1));
    // During the first pass the user selects B, deselects C and adds D.
    host.onPump = [this](FakeRunHost& h) {
        if (h.passIndex != 1 || h.pumpsInPass != 1) return;
        list.items[1].selected = true;
        list.items[2].selected = false;
        list.items.push_back({"D.dxf", true});
    };
    WriteFile(dir / "D.dxf", PointsDrawing(1));
    Run();
    EXPECT_TRUE(fs::exists(dir / "A.txt"));
    EXPECT_TRUE(fs::exists(dir / "B.txt"));
    EXPECT_FALSE(fs::exists(dir / "C.txt"));
    EXPECT_FALSE(fs::exists(dir / "D.txt"));
    EXPECT_EQ(list.textReads, 2);  // unselected items are not even read
}

TEST_F(BatchRun, SettingsEditedDuringARunApplyFromThenOn) {
    AddFile("A.dxf", PointsDrawing(1));
    AddFile("B.dxf", PointsDrawing(1));
    // During the first pass: a new extension and the text flag ticked.
    host.onPump = [this](FakeRunHost& h) {
        if (h.passIndex != 1) return;
        settings.Set(field::FileExtension, "csv");
        settings.Set(field::ProcessText, true);
    };
    Run();
    EXPECT_TRUE(fs::exists(dir / "A.txt"));  // named before the pass began
    EXPECT_TRUE(fs::exists(dir / "B.csv"));
    EXPECT_EQ(report[8], "Single texts    : 0");  // the first file's counts, read after its pass
}

TEST_F(BatchRun, ErrorMidRunEndsTheRunWithEverythingClosed) {
    AddFile("A.dxf", PointsDrawing(2));
    AddFile("B.dxf",
            Dxf({"  0", "SECTION", "  2", "ENTITIES", "  0", "POINT", "  8",   "OK",  " 10",
                 "1",   " 20",     "2",   " 30",      "3",   "  0",   "POINT", "  8", "BAD",
                 " 10", "1,5",     " 20", "2",        " 30", "3",     "  0",   "EOF"}));
    AddFile("C.dxf", PointsDrawing(2));
    const int descriptors = test::OpenDescriptorCount();

    ExpectKorvelError([&] { Run(); }, "'1,5' is not a valid floating point value");

    EXPECT_EQ(test::OpenDescriptorCount(), descriptors);
    EXPECT_EQ(ReadFile(dir / "B.txt"), "1,1.000,2.000,3.000,OK\r\n");  // lines before the error
    EXPECT_FALSE(fs::exists(dir / "C.txt"));
    EXPECT_EQ(host.events.back(), "hide");
    EXPECT_EQ(host.events[host.events.size() - 2], "end");
    EXPECT_EQ(report.back(), "");  // ended after B's path: no counts for B
    EXPECT_EQ(report[report.size() - 2], InFolder("B.dxf"));
}

TEST_F(BatchRun, DataFileOverTheDrawingBeingReadIsRefused) {
    settings.Set(field::FileExtension, "dxf");
    const std::string drawing = PointsDrawing(1);
    AddFile("A.dxf", drawing);
    const int descriptors = test::OpenDescriptorCount();
    ExpectKorvelError([&] { Run(); }, "File access denied");
    EXPECT_EQ(ReadFile(dir / "A.dxf"), drawing);
    EXPECT_EQ(test::OpenDescriptorCount(), descriptors);
}

TEST_F(BatchRun, MissingDestinationFolderEndsTheRun) {
    AddFile("A.dxf", PointsDrawing(1));
    AddFile("B.dxf", PointsDrawing(1));
    ExpectKorvelError([&] { Run(Folder() + "/no-such-folder"); }, "Invalid filename");
    EXPECT_EQ(host.events,
              (std::vector<std::string>{"show", "start " + InFolder("A.dxf"), "end", "hide"}));
}

TEST_F(BatchRun, StopDuringTheSecondOfThreeFilesEndsThatFileOnly) {
    AddFile("A.dxf", PointsDrawing(5));
    AddFile("B.dxf", PointsDrawing(5));
    AddFile("C.dxf", PointsDrawing(5));
    // Each POINT takes a few main-loop lines; stop well inside the second file.
    host.onPump = [](FakeRunHost& h) {
        if (h.passIndex == 2 && h.pumpsInPass == 3) h.pass->RequestStop();
    };
    Run();

    auto lines = [](const std::string& s) { return std::count(s.begin(), s.end(), '\n'); };
    EXPECT_EQ(lines(ReadFile(dir / "A.txt")), 7);
    const std::string b = ReadFile(dir / "B.txt");
    EXPECT_GE(lines(b), 1);
    EXPECT_LT(lines(b), 5);
    EXPECT_EQ(b.rfind("1,1.000,2.500,0.000,PTS\r\n", 0), 0u);
    EXPECT_EQ(lines(ReadFile(dir / "C.txt")), 7);

    // Counts for all three, the second as far as it got.
    ASSERT_EQ(report.size(), 2u + 3u * 7u);
    EXPECT_EQ(report[4], "Points          : 5");
    EXPECT_EQ(report[11], "Points          : " + std::to_string(lines(b)));
    EXPECT_EQ(report[12], "Lines           : 0");
    EXPECT_EQ(report[18], "Points          : 5");
    EXPECT_EQ(report[19], "Lines           : 1");
}

}  // namespace
}  // namespace korvel
