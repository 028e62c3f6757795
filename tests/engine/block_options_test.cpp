// Block attributes and the entities of inserted blocks, byte for byte on
// small drawings, with the report's warnings and the errors of bad input.
#include <gtest/gtest.h>

#include "engine/byte_source.h"
#include "engine/file_pass.h"
#include "support/test_support.h"

namespace korvel {
namespace {

using test::Dxf;

struct Outcome {
    std::string data;
    RunReport report;
    std::string error;
    std::uint64_t errorLine = 0;
};

Outcome Convert(const std::vector<std::string>& lines, const ExtendedOptions& extended,
                const std::vector<std::string>& fields, const std::vector<std::string>& code,
                bool blocksTicked = true) {
    ExportSettings settings = test::DefaultSettings();
    settings.Set(field::ProcessBlocks, blocksTicked);
    settings.Set(field::ProcessCircles, true);
    settings.Set(field::NumberPrefix, "P");
    const NameTables names = ShippedNameTables();
    FixedListsHost host(fields, code);
    Outcome outcome;
    FilePass pass(settings, names, host, outcome.report);
    pass.options.extended = extended;
    const std::string dxf = Dxf(lines);
    MemorySource source(dxf);
    const test::TempDir dir;
    FileSink sink;
    sink.Create(dir / "out.txt");
    try {
        pass.ConvertStream(source, sink, "site.dxf");
    } catch (const DrawingError& e) {
        outcome.error = e.what();
        outcome.errorLine = e.Line();
    }
    sink.Close();
    outcome.data = test::ReadFile(dir / "out.txt");
    return outcome;
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::vector<std::string> kBlocks = {
    "  0", "SECTION", "  2", "BLOCKS",
    // A survey symbol: a circle, the point number and height to be given,
    // the kind constant.
    "  0", "BLOCK", "  8", "0", "  2", "STN", " 70", "2", " 10", "0", " 20", "0", " 30", "0", "  0",
    "CIRCLE", "  8", "0", " 10", "0", " 20", "0", " 30", "0", " 40", "0.5", "  0", "ATTDEF", "  8",
    "0", "  2", "KIND", "  1", "STATION", " 70", "2", "  0", "ENDBLK",
    // A frame that holds a POINT on its own layer and inserts itself.
    "  0", "BLOCK", "  2", "LOOP", " 10", "1", " 20", "1", " 30", "0", "  0", "POINT", "  8",
    "MARKS", " 10", "2", " 20", "3", " 30", "0", "  0", "INSERT", "  8", "0", "  2", "LOOP", " 10",
    "0", " 20", "0", " 30", "0", "  0", "ENDBLK", "  0", "ENDSEC"};

std::vector<std::string> Insert(const std::string& handle, const std::string& block,
                                const std::string& x, const std::vector<std::string>& attributes,
                                const std::vector<std::string>& more = {}) {
    std::vector<std::string> lines = {"  0", "INSERT", "  5", handle, "  8", "PTS"};
    if (!attributes.empty()) lines = lines + std::vector<std::string>{" 66", "1"};
    lines = lines + std::vector<std::string>{"  2", block, " 10", x, " 20", "5", " 30", "0"} + more;
    for (std::size_t i = 0; i + 1 < attributes.size(); i += 2)
        lines = lines + std::vector<std::string>{
                            "  0", "ATTRIB",      "  8", "PTS", " 10", x,
                            " 20", "5",           " 30", "0",   "  1", attributes[i + 1],
                            "  2", attributes[i], " 70", "0"};
    if (!attributes.empty())
        lines = lines + std::vector<std::string>{"  0", "SEQEND", "  8", "PTS"};
    return lines;
}

std::vector<std::string> Drawing(const std::vector<std::string>& entities) {
    return kBlocks + std::vector<std::string>{"  0", "SECTION", "  2", "ENTITIES"} + entities +
           std::vector<std::string>{"  0", "ENDSEC", "  0", "EOF"};
}

TEST(BlockAttributes, GiveNumberZAndTextAndTheReportCountsWhatIsMissing) {
    ExtendedOptions options;
    options.attributes = {"PNT", "ELEV", "KIND"};
    const Outcome o =
        Convert(Drawing(Insert("A1", "STN", "10", {"PNT", "101", "ELEV", " 12.5 "}) +
                        Insert("A2", "STN", "20", {"PNT", " ", "ELEV", "n/a"}) +
                        Insert("A3", "STN", "30", {"ELEV", "7"}) +
                        // Value lines that read like entity names stay attribute values.
                        Insert("A4", "STN", "40", {"PNT", "TEXT", "ELEV", "8"})),
                options, {"Number", "X", "Z", "Code"}, {"Handle", "Text"});
    EXPECT_EQ(o.error, "");
    EXPECT_EQ(o.data,
              "P101,10.000,12.500,A1,STATION\r\n"
              // The running number counts every point, numbered or not.
              "P2,20.000,0.000,A2,STATION\r\n"
              "P3,30.000,7.000,A3,STATION\r\n"
              "PTEXT,40.000,8.000,A4,STATION\r\n");
    EXPECT_EQ(o.report,
              (RunReport{"*** Warning, 2 of 4 blocks lack the attribute \"PNT\" (Number) ***",
                         "*** Warning, 1 block holds an attribute \"ELEV\" that is not a "
                         "number: its Z is the insertion point's ***"}));
    // A tag no block has is a warning about every one, never an error.
    options.attributes = {"NOPE", "", ""};
    EXPECT_EQ(
        Convert(Drawing(Insert("A1", "STN", "10", {"PNT", "101"})), options, {"Number"}, {}).report,
        RunReport{"*** Warning, 1 of 1 block lacks the attribute \"NOPE\" (Number) ***"});
}

TEST(BlockContents, PlacedWithTheLayerAndNameOfTheirInsertAndBadReferencesReported) {
    ExtendedOptions options;
    options.blockContents = true;
    const std::vector<std::string> fields = {"X", "Y", "Code"};
    const std::vector<std::string> code = {"Entity type", "Layer", "Block name"};
    // Rotated by 90 degrees, scaled by 2: the circle at the base point lands
    // on the insertion point.
    const Outcome turned =
        Convert(Drawing(Insert("B1", "STN", "10", {}, {" 41", "2", " 42", "2", " 50", "90"})),
                options, fields, code);
    EXPECT_EQ(turned.data, "10.000,5.000,BLOCK,PTS,STN\r\n10.000,5.000,CIRCLE,PTS,STN\r\n");
    // Without the Blocks switch the INSERT's own point goes, its contents stay.
    EXPECT_EQ(Convert(Drawing(Insert("B1", "STN", "10", {})), options, fields, code, false).data,
              "10.000,5.000,CIRCLE,PTS,STN\r\n");

    // A MINSERT of no row, and a block nobody defined: warnings.
    const Outcome bad = Convert(
        Drawing(Insert("B2", "STN", "10", {}, {" 71", "0"}) + Insert("B3", "GONE", "20", {})),
        options, fields, code);
    EXPECT_EQ(bad.error, "");
    EXPECT_EQ(bad.report,
              (RunReport{"*** Warning, 1 INSERT entity refers to \"GONE\", a block the drawing "
                         "does not define ***",
                         "*** Warning, 1 INSERT entity has no column or no row: the entities "
                         "of its block are left out ***"}));

    // A block inserted in itself: an error naming the chain and the line of
    // the INSERT's block name in the block definition.
    const Outcome loop = Convert(Drawing(Insert("B4", "LOOP", "0", {})), options, fields, code);
    EXPECT_EQ(loop.error, "Block \"LOOP\" is inserted in itself: \"LOOP\" > \"LOOP\"");
    EXPECT_EQ(loop.errorLine, 68u);
}

}  // namespace
}  // namespace korvel
