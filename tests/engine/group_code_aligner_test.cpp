#include "engine/group_code_aligner.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "engine/file_pass.h"
#include "support/test_support.h"

namespace korvel {
namespace {

std::string Adapt(const std::string& in, std::size_t block = 16) {
    MemorySource source(in);
    GroupCodeAligner aligner(source, block);
    std::string out;
    char buf[7];  // small reads on purpose
    while (std::size_t n = aligner.Read(buf, sizeof buf)) out.append(buf, n);
    return out;
}

TEST(GroupCodeAligner, CodesBecomeRightAligned) {
    EXPECT_EQ(Adapt("0\r\nLINE\r\n10\r\n1.5\r\n"), "  0\nLINE\n 10\n1.5\r\n");
    EXPECT_EQ(Adapt("000\n0\n  010\n 7 \n\t8\tX\n1001\nv"), "  0\n0\n 10\n 7 \n\t8\tX\n1001\nv");
    // Four columns, a tab in front, LF only, a last line without its line end.
    EXPECT_EQ(Adapt("   0\nPOINT\n\t20\n-4"), "  0\nPOINT\n 20\n-4");
    EXPECT_EQ(Adapt("-1\nx\n"), " -1\nx\n");
}

TEST(GroupCodeAligner, GroupZeroValuesLoseBlanksOthersPassUnchanged) {
    EXPECT_EQ(Adapt("0\n  LINE \t\r\n8\n  layer \r\n"), "  0\nLINE\n  8\n  layer \r\n");
    // A code line that is no integer passes unchanged (and pairing goes on).
    EXPECT_EQ(Adapt("x1\nLINE \n0\n POINT\n"), "x1\nLINE \n  0\nPOINT\n");
    // Aligned input comes out the way the reader sees it.
    EXPECT_EQ(Adapt("  0\r\nLINE\r\n 10\r\n1\r\n"), "  0\nLINE\n 10\n1\r\n");
}

TEST(GroupCodeAligner, LongLinesAndCtrlZ) {
    std::string big(100, 'v');
    EXPECT_EQ(Adapt("1\n" + big +
                        "\n0\nEOF\x1a"
                        "0\nmore\n",
                    16),
              "  1\n" + big + "\n  0\nEOF");
}

TEST(GroupCodeAligner, UnalignedFileReadWithTheOption) {
    std::string dxf = test::Dxf({"0",  "SECTION", "2",  "ENTITIES", "0",  "LINE",   "8",  "L1",
                                 "10", "1",       "20", "2",        "30", "3",      "11", "4",
                                 "21", "5",       "31", "6",        "0",  "ENDSEC", "0",  "EOF"});
    auto off = test::ConvertText(dxf, test::DefaultSettings());
    EXPECT_EQ(off.data, "");
    EXPECT_EQ(off.report, RunReport{std::string(kUnalignedCodesWarning)});

    test::TempDir dir;
    test::WriteFile(dir / "u.dxf", dxf);
    auto settings = test::DefaultSettings();
    NameTables names = ShippedNameTables();
    FixedListsHost host({"Number", "X", "Y", "Z", "Code"}, {"Layer"});
    RunReport report;
    FilePass pass(settings, names, host, report);
    pass.options.alignGroupCodes = true;
    pass.ConvertDxfFile(dir / "u.dxf", dir / "u.txt");
    EXPECT_EQ(test::ReadFile(dir / "u.txt"),
              "1,1.000,2.000,3.000,L1\r\n2,4.000,5.000,6.000,L1\r\n");
    EXPECT_TRUE(report.empty());
}

// True when a line after "ENTITIES" names one of the entity types read.
bool HoldsKnownEntities(const std::string& bytes) {
    static const std::set<std::string> kNames = {"POINT",  "LINE",    "LWPOLYLINE", "POLYLINE",
                                                 "INSERT", "TEXT",    "MTEXT",      "CIRCLE",
                                                 "ARC",    "ELLIPSE", "SPLINE"};
    std::istringstream in(bytes);
    std::string line;
    bool inEntities = false;
    while (std::getline(in, line)) {
        std::erase_if(line, [](char c) { return c == '\r' || c == ' ' || c == '\t'; });
        if (line == "ENTITIES") inEntities = true;
        if (line == "ENDSEC") inEntities = false;
        if (inEntities && kNames.count(line)) return true;
    }
    return false;
}

struct CorpusOutcome {
    std::string data;
    RunReport report;
    bool failed = false;
};

CorpusOutcome ConvertFile(const std::filesystem::path& file, bool align,
                          const std::filesystem::path& out) {
    ExportSettings settings = test::DefaultSettings();
    for (const auto& f : AllNamedFields())
        if (f.kind == NamedField::Kind::Bool && f.name != "ForceZ") settings.image[f.offset] = 1;
    NameTables names = ShippedNameTables();
    FixedListsHost host({"Number", "X", "Y", "Z", "Code"}, {"Entity type", "Layer"});
    CorpusOutcome outcome;
    FilePass pass(settings, names, host, outcome.report);
    pass.options.alignGroupCodes = align;
    try {
        pass.ConvertDxfFile(file, out);
    } catch (const KorvelError&) {
        outcome.failed = true;
    }
    outcome.data = test::ReadFile(out);
    return outcome;
}

TEST(GroupCodeAligner, CorpusAlignedFilesUnchangedUnalignedFilesRead) {
    auto files = test::CorpusFiles();
    if (files.empty()) GTEST_SKIP() << "corpus of real drawings not found beside the checkout";
    test::TempDir dir;
    int unaligned = 0, readWithOption = 0;
    for (const auto& file : files) {
        CorpusOutcome off = ConvertFile(file, false, dir / "off.txt");
        CorpusOutcome on = ConvertFile(file, true, dir / "on.txt");
        bool warned = std::find(off.report.begin(), off.report.end(),
                                std::string(kUnalignedCodesWarning)) != off.report.end();
        if (!warned) {
            EXPECT_EQ(on.data, off.data) << file;
            EXPECT_EQ(on.failed, off.failed) << file;
        } else {
            ++unaligned;
            if (!on.data.empty()) ++readWithOption;
        }
        // Every drawing with entities of a known type gives data with the option,
        // unless a value cannot be converted (decimal commas and the like).
        if (HoldsKnownEntities(test::ReadFile(file)) && on.data.empty())
            std::cout << "[ no data  ] " << file.filename() << (on.failed ? " (error)" : "")
                      << "\n";
    }
    std::cout << "[ corpus   ] " << files.size() << " drawings, " << unaligned
              << " with unaligned group codes, " << readWithOption
              << " of them give data lines with the option\n";
}

}  // namespace
}  // namespace korvel
