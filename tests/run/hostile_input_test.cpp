// Drawings from hostile sources (tests/data/hostile, written by
// make_hostile.py there): each one's whole outcome through a run, that is the
// data file bytes, the counters as the report prints them, the report lines
// the pass adds, and the error that ends the run where there is one. The
// drawing itself must come out of every run untouched.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "run/file_list_run.h"
#include "run/reliability_support.h"
#include "run/run_report.h"
#include "support/test_support.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;
using test::ExpectedFileLines;
using test::ReadFile;
using test::TempDir;

using namespace std::string_literals;

const std::string kTruncated(kTruncatedWarning);
const std::string kNoEntities(kNoEntitiesWarning);
const std::string kUnaligned(kUnalignedCodesWarning);

fs::path HostileFolder() {
    return fs::path(KORVEL_TEST_DATA) / "hostile";
}

// Every entity type and every include option on, so that nothing in a
// drawing goes unread; the Code field shows type, layer, handle and text.
ExportSettings EverythingOn() {
    ExportSettings s = test::DefaultSettings();
    for (const NamedField& f : AllNamedFields())
        if (f.kind == NamedField::Kind::Bool && f.name != "ForceZ") s.image[f.offset] = 1;
    s.Set(field::CodeSeparator, "|");
    return s;
}

struct Outcome {
    std::string data;
    RunReport fileLines;  // the report after the path and its empty line
    std::string error;    // empty when the run ended normally
};

// One run over `name` from `folder` into a fresh destination.
Outcome RunOne(const fs::path& folder, const std::string& name, ExportSettings settings,
               PassOptions options = {}) {
    TempDir out;
    test::ListOfFiles list({name});
    test::ScriptedRunHost host;
    host.code = {"Entity type", "Layer", "Handle", "Text"};
    NameTables names = ShippedNameTables();
    RunReport report;
    FileListRunRequest request;
    request.sourceFolder = folder.string();
    request.destinationFolder = out.path().string();
    request.passOptions = options;

    const std::string drawing = ReadFile(folder / name);
    const int descriptors = test::OpenDescriptorCount();
    Outcome outcome;
    try {
        CreateDataFiles(request, list, settings, names, host, report, std::tm{});
    } catch (const KorvelError& e) {
        outcome.error = e.what();
    }
    EXPECT_EQ(test::OpenDescriptorCount(), descriptors) << name << ": a file was left open";
    EXPECT_EQ(ReadFile(folder / name), drawing) << name << ": the drawing was changed";
    EXPECT_EQ(report.at(2), (folder / name).string());
    EXPECT_EQ(report.at(3), "");
    outcome.fileLines.assign(report.begin() + 4, report.end());
    outcome.data = ReadFile(out / DataFileName(name, "txt"));
    return outcome;
}

struct HostileCase {
    const char* file;
    std::string data;
    RunCounters counters;  // as printed in the report
    std::vector<std::string> warnings;
    std::string error;  // when set, the run ends there and no count lines follow
    void (*adjust)(ExportSettings&) = nullptr;
};

const std::vector<HostileCase>& Cases() {
    static const std::vector<HostileCase> cases = {
        {"empty.dxf", "", {}, {kNoEntities}, ""},
        {"only-entities.dxf", "", {}, {std::string(kNoEntityWarning)}, ""},
        // Read as binary: its POINT has an X only, and its last group is cut off.
        {"binary-header.dxf",
         "",
         {},
         {std::string(kBinaryDxfNote)},
         "The binary DXF file ends inside group 0 (byte 62)"},
        // NUL bytes are ordinary bytes: kept in a layer name, and a name or
        // code with one is no name or code.
        {"nul-bytes.dxf", "1,1.000,2.000,3.000,POINT|LAY\0ER||\r\n"s, {.Points = 1}, {}, ""},
        {"ctrl-z-mid-entity.dxf",
         "1,1.000,2.000,3.000,LINE|L||\r\n",
         {.Lines = 1},
         {kTruncated},
         ""},
        {"lone-cr-inside-lines.dxf", "1,1.500,2.000,3.000,POINT|AB||\r\n", {.Points = 1}, {}, ""},
        // CR alone ends no line: the whole file is one line without "ENTITIES".
        {"cr-line-ends.dxf", "", {}, {kNoEntities}, ""},
        // "POINT" still starts its extractor, which then finds none of its
        // codes and reads to the end of the file.
        {"unpadded-group-codes.dxf", "", {.Points = 1}, {kUnaligned}, ""},
        {"ends-inside-point.dxf",
         "1,1.000,2.000,3.000,POINT|P|A1|\r\n",
         {.Points = 1},
         {kTruncated},
         ""},
        {"ends-inside-circle.dxf",
         "1,1.000,2.000,3.000,CIRCLE|C||\r\n",
         {.Circles = 1},
         {kTruncated},
         ""},
        {"ends-inside-arc.dxf", "1,1.000,2.000,3.000,ARC|A||\r\n", {.Arcs = 1}, {kTruncated}, ""},
        {"ends-inside-ellipse.dxf",
         "1,1.000,2.000,3.000,ELLIPSE|E||\r\n",
         {.Ellipses = 1},
         {kTruncated},
         ""},
        {"ends-inside-line.dxf",
         "1,1.000,2.000,3.000,LINE|L||\r\n",
         {.Lines = 1},
         {kTruncated},
         ""},
        {"ends-inside-spline.dxf",
         "1,1.000,2.000,3.000,SPLINE|S||\r\n",
         {.Splines = 1},
         {kTruncated},
         ""},
        {"ends-inside-insert.dxf",
         "1,1.000,2.000,3.000,BLOCK|I||\r\n",
         {.Blocks = 1},
         {kTruncated},
         ""},
        // A text's point is written at its closing line, which never comes.
        {"ends-inside-text.dxf", "", {.SingleTexts = 1}, {kTruncated}, ""},
        {"ends-inside-mtext.dxf", "", {.MultilineTexts = 1}, {kTruncated}, ""},
        {"ends-inside-lwpolyline.dxf",
         "1,1.000,2.000,0.000,LWPOLYLINE|W||\r\n",
         {.Polylines2D = 1},
         {kTruncated},
         ""},
        // Cut before the first vertex: the kind is never decided, nothing counts.
        {"ends-inside-polyline-header.dxf", "", {}, {kTruncated}, ""},
        {"ends-inside-polyline-vertex.dxf",
         "1,1.000,2.000,3.000,POLYLINE|V||\r\n",
         {.Polylines3D = 1},
         {kTruncated},
         ""},
        // The next entity's "  0" lines end vertices and its 10/20/30 become theirs.
        {"polyline-without-seqend.dxf",
         "1,1.000,2.000,3.000,POLYLINE|R||\r\n2,7.000,8.000,9.000,POLYLINE|R||\r\n"
         "3,7.000,8.000,9.000,POLYLINE|R||\r\n",
         {.Polylines2D = 1},
         {kTruncated},
         ""},
        {"non-numeric-coordinate.dxf",
         "1,1.000,2.000,3.000,POINT|||\r\n",
         {},
         {},
         "'12 m' is not a valid floating point value"},
        {"decimal-comma.dxf",
         "1,1.500,2.000,3.000,POINT|||\r\n",
         {},
         {},
         "'1,5' is not a valid floating point value"},
        // Below the smallest extended value reads as zero, far above it is no number.
        {"exponent-beyond-range.dxf",
         "1,0.000,1E4000,0.000,POINT|||\r\n",
         {},
         {},
         "'1E5000' is not a valid floating point value"},
        {"header-flags-not-integer.dxf", "", {}, {}, "'8.0' is not a valid integer value"},
        // Vertex flags are converted only when fitted vertices are left out.
        {"vertex-flags-not-integer.dxf",
         "1,1.000,2.000,3.000,POLYLINE|F||\r\n",
         {},
         {},
         "'0x20' is not a valid integer value",
         [](ExportSettings& s) { s.Set(field::Include3DPolylineExtraPoints, false); }},
        {"vertex-flags-not-integer.dxf",
         "1,1.000,2.000,3.000,POLYLINE|F||\r\n2,4.000,5.000,6.000,POLYLINE|F||\r\n",
         {.Polylines3D = 1},
         {},
         ""},
        // One polyline whose header runs on over 999 more headers: the last
        // handle and flags (8) count, nothing nests.
        {"nested-polyline-headers.dxf",
         "1,1.000,2.000,3.000,POLYLINE||H999|\r\n2,4.000,5.000,6.000,POLYLINE||H999|\r\n",
         {.Polylines3D = 1},
         {},
         ""},
        {"odd-handles-and-layers.dxf",
         "1,1.000,2.000,3.000,POINT|Wall, \"north\"|1,F|\r\n"
         "2,4.000,5.000,6.000,TEXT|Stra\xdf"
         "e \xe9t\xe9 \xff\x80|'q'|a,b;\"c\"\r\n",
         {.Points = 1, .SingleTexts = 1},
         {},
         ""},
    };
    return cases;
}

TEST(HostileInput, EveryDrawingHasItsDocumentedOutcome) {
    for (const HostileCase& c : Cases()) {
        SCOPED_TRACE(c.file);
        ExportSettings settings = EverythingOn();
        if (c.adjust) c.adjust(settings);
        const Outcome got = RunOne(HostileFolder(), c.file, settings);
        EXPECT_EQ(got.data, c.data);
        EXPECT_EQ(got.error, c.error);
        if (c.error.empty())
            EXPECT_EQ(got.fileLines, ExpectedFileLines(c.warnings, settings, c.counters));
        else
            EXPECT_EQ(got.fileLines, RunReport(c.warnings.begin(), c.warnings.end()));
    }
}

TEST(HostileInput, EveryDrawingOfTheFolderHasACase) {
    std::vector<std::string> covered;
    for (const HostileCase& c : Cases()) covered.emplace_back(c.file);
    for (const auto& e : fs::directory_iterator(HostileFolder())) {
        if (e.path().extension() != ".dxf") continue;
        const std::string name = e.path().filename().string();
        EXPECT_NE(std::find(covered.begin(), covered.end(), name), covered.end())
            << name << " has no expected outcome";
    }
}

TEST(HostileInput, UnpaddedCodesAreReadWhenAligningIsOn) {
    PassOptions align;
    align.alignGroupCodes = true;
    const Outcome got = RunOne(HostileFolder(), "unpadded-group-codes.dxf", EverythingOn(), align);
    EXPECT_EQ(got.data,
              "1,1.000,2.000,3.000,POINT|P||\r\n2,0.000,0.000,0.000,LINE|L||\r\n"
              "3,5.000,5.000,5.000,LINE|L||\r\n");
    EXPECT_EQ(got.fileLines, ExpectedFileLines({}, EverythingOn(), {.Points = 1, .Lines = 1}));
}

// 10 MB lines, made here rather than kept in the repository: one before the
// ENTITIES section (passed over), one as a text value (written whole), one as
// an ignored group's value and one as a coordinate (a tiny number read as 0).
TEST(HostileInput, TenMegabyteLinesAreReadWhole) {
    TempDir dir;
    const std::string huge(10 * 1000 * 1000, 'A');
    const std::string tiny = "0." + std::string(10 * 1000 * 1000 - 3, '0') + "1";
    test::WriteFile(dir / "long-line.dxf",
                    test::Dxf({"999", huge, "  0", "SECTION", "  2", "ENTITIES", "  0", "TEXT",
                               "  8", "T",  "  1", huge,      " 10", "1",        " 20", "2",
                               " 30", "3",  "  0", "POINT",   " 40", huge,       " 10", tiny,
                               " 20", "5",  " 30", "6",       "  0", "ENDSEC"}));
    ExportSettings settings = EverythingOn();
    const Outcome got = RunOne(dir.path(), "long-line.dxf", settings);
    EXPECT_EQ(got.error, "");
    const std::string expected =
        "1,1.000,2.000,3.000,TEXT|T||" + huge + "\r\n2,0.000,5.000,6.000,POINT|||\r\n";
    EXPECT_EQ(got.data.size(), expected.size());
    EXPECT_TRUE(got.data == expected);  // not printed: 10 MB
    EXPECT_EQ(got.fileLines, ExpectedFileLines({}, settings, {.Points = 1, .SingleTexts = 1}));
}

}  // namespace
}  // namespace korvel
