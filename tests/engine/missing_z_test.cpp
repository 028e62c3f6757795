// A missing Z taken as 0, and what a pass tells about drawings that give
// nothing: relations over the real corpus, and the texts on a small drawing.
#include <gtest/gtest.h>

#include <iostream>
#include <sstream>

#include "engine/byte_source.h"
#include "support/test_support.h"

namespace korvel {
namespace {

PassOptions MissingZOn() {
    PassOptions options;
    options.missingZAsZero = true;
    return options;
}

PassOptions BothOn() {
    PassOptions options = MissingZOn();
    options.alignGroupCodes = true;
    return options;
}

struct Outcome {
    std::string data, error;
    RunReport report;
    RunCounters counters;
    std::vector<std::string> hints;
};

ExportSettings EveryType() {
    ExportSettings s = test::DefaultSettings();
    for (const auto& f : AllNamedFields())
        if (f.kind == NamedField::Kind::Bool && f.name != "ForceZ") s.image[f.offset] = 1;
    return s;
}

Outcome Convert(const std::string& dxf, PassOptions options,
                const ExportSettings& settings = EveryType()) {
    static const NameTables names = ShippedNameTables();
    FixedListsHost host({"Number", "X", "Y", "Z", "Code"},
                        {"Entity type", "Layer", "Handle", "Counter", "Entity number"});
    test::TempDir dir;
    Outcome o;
    ExportSettings live = settings;
    FilePass pass(live, names, host, o.report);
    pass.options = options;
    MemorySource source(dxf);
    FileSink sink;
    sink.Create(dir / "out.txt");
    try {
        pass.ConvertStream(source, sink, "d.dxf");
    } catch (const DrawingError& e) {
        o.error = e.what() + (":" + std::to_string(e.Line()));
        o.hints = e.Hints();
    } catch (const KorvelError& e) {
        o.error = e.what();
    }
    sink.Close();
    o.data = test::ReadFile(dir / "out.txt");
    o.counters = pass.Counters();
    return o;
}

bool Mentions(const Outcome& o, std::string_view text) {
    auto has = [&](const std::string& line) { return line.find(text) != std::string::npos; };
    return std::any_of(o.report.begin(), o.report.end(), has) ||
           std::any_of(o.hints.begin(), o.hints.end(), has);
}

// The drawing's lines after "ENTITIES", paired as code and value, with every
// Z group (" 30", " 31") dropped, and with `zeros` a Z group of value "0"
// right after every Y group (" 20", " 21") instead.
std::string WithZGroups(const std::string& dxf, bool zeros) {
    std::istringstream in(dxf);
    std::string out, line;
    bool inEntities = false;
    while (std::getline(in, line)) {
        if (!inEntities) {
            out += line + "\n";
            inEntities = line == "ENTITIES" || line == "ENTITIES\r";
            continue;
        }
        std::string value;
        const bool hasValue = static_cast<bool>(std::getline(in, value));
        const std::string code = line.substr(0, line.find('\r'));
        if (code == " 30" || code == " 31") continue;
        out += line + "\n";
        if (hasValue) out += value + "\n";
        if (zeros && (code == " 20" || code == " 21"))
            out += std::string(code == " 20" ? " 30" : " 31") + "\r\n0\r\n";
    }
    return out;
}

TEST(MissingZ, OnDrawingsThatCarryEveryZTheOptionChangesNothing) {
    const auto files = test::CorpusFiles();
    if (files.empty()) GTEST_SKIP() << "corpus of real drawings not found beside the checkout";
    int unchanged = 0;
    for (const auto& file : files) {
        const std::string dxf = test::ReadFile(file);
        const Outcome off = Convert(dxf, {});
        if (Mentions(off, "Take a missing Z coordinate as 0")) continue;
        const Outcome on = Convert(dxf, MissingZOn());
        EXPECT_EQ(on.data, off.data) << file;
        EXPECT_EQ(on.error, off.error) << file;
        EXPECT_TRUE(on.counters == off.counters) << file;
        ++unchanged;
    }
    EXPECT_GT(unchanged, 100);
}

TEST(MissingZ, DroppedZGroupsAreReadAsTheExplicitZerosTheyStandFor) {
    const auto files = test::CorpusFiles();
    if (files.empty()) GTEST_SKIP() << "corpus of real drawings not found beside the checkout";
    int compared = 0;
    for (const auto& file : files) {
        const std::string dxf = test::ReadFile(file);
        if (dxf.starts_with("AutoCAD Binary DXF") || Mentions(Convert(dxf, {}), "right-aligned"))
            continue;
        const Outcome zeros = Convert(WithZGroups(dxf, true), {});
        const Outcome dropped = Convert(WithZGroups(dxf, false), MissingZOn());
        EXPECT_EQ(dropped.data, zeros.data) << file;
        EXPECT_EQ(dropped.error.substr(0, dropped.error.find(':')),
                  zeros.error.substr(0, zeros.error.find(':')))
            << file;
        EXPECT_TRUE(dropped.counters == zeros.counters) << file;
        compared += zeros.data.empty() ? 0 : 1;
    }
    EXPECT_GT(compared, 100);
}

TEST(MissingZ, NearlyEveryRealDrawingGivesPointsWithBothReaderOptions) {
    const auto files = test::CorpusFiles();
    if (files.empty()) GTEST_SKIP() << "corpus of real drawings not found beside the checkout";
    int withData = 0;
    for (const auto& file : files) {
        const Outcome o = Convert(test::ReadFile(file), BothOn());
        if (!o.data.empty()) {
            ++withData;
            continue;
        }
        // Each drawing without points says why.
        std::cout << "[ no data  ] " << file.filename() << ": "
                  << (o.error.empty() ? (o.report.empty() ? "(no warning)" : o.report.front())
                                      : o.error)
                  << "\n";
        EXPECT_TRUE(!o.error.empty() || !o.report.empty()) << file;
    }
    EXPECT_GE(withData, 130) << "of " << files.size();
}

TEST(MissingZ, ZeroStandsInAtItsPlaceAndTheWarningsNameTheOption) {
    const std::string dxf = test::Dxf({"  0", "SECTION", "  2", "ENTITIES",  //
                                       "  0", "LINE",    "  8", "L",        " 10", "1",
                                       " 20", "2",       " 11", "3",        " 21", "4",  //
                                       "  0", "POINT",   " 10", "5",        " 20", "6",  //
                                       "  0", "3DFACE",  " 10", "0",        "  0", "ENDSEC"});
    const Outcome off = Convert(dxf, {});
    EXPECT_EQ(off.data, "");
    EXPECT_EQ(off.report,
              (RunReport{"*** Warning, 2 entities lack the Z coordinate of a point and gave no "
                         "point or an empty Z for it: switch on \"Take a missing Z coordinate as "
                         "0\" (korvel-cli: --missing-z) to read them ***"}));
    const Outcome on = Convert(dxf, MissingZOn());
    EXPECT_EQ(on.data,
              "1,1.000,2.000,0.000,LINE,L,,1,1\r\n2,3.000,4.000,0.000,LINE,L,,2,1\r\n"
              "3,5.000,6.000,0.000,POINT,,,3,2\r\n");
    EXPECT_TRUE(on.report.empty());

    // Nothing of a ticked type: the types the drawing does hold.
    ExportSettings pointsOnly = test::DefaultSettings();
    pointsOnly.Set(field::ProcessLines, false);
    const Outcome other =
        Convert(test::Dxf({"  0", "SECTION", "  2", "ENTITIES", "  0", "LINE", "  0", "3DFACE",
                           "  0", "HATCH", "  0", "3DFACE", "  0", "ENDSEC"}),
                {}, pointsOnly);
    EXPECT_EQ(other.report, (RunReport{"*** Warning, no entity of a ticked type: the drawing holds "
                                       "1 LINE entity, whose types are not ticked, and 2 3DFACE, "
                                       "1 HATCH entities, which Korvel does not convert ***"}));

    // An error tells the line of its value and the likely cause.
    const Outcome text =
        Convert(test::Dxf({"  0", "SECTION", "  2", "ENTITIES", "  0", "TEXT", " 10", "1", " 20",
                           "2", "  1", "label", "  0", "ENDSEC"}),
                {});
    EXPECT_EQ(text.error, "'' is not a valid floating point value:13");
    EXPECT_EQ(text.hints.size(), 1u);
}

}  // namespace
}  // namespace korvel
