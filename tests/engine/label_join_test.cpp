// Heights and numbers from labels, held against drawings made with a known
// answer (crosses and symbol blocks with their labels at known offsets,
// decoys beyond the distance, ties, labels on other layers, decimal commas,
// MTEXT formatting, a label between two crosses) and, over the real
// drawings, against the same drawings read without labels.
#include "engine/label_join.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include <random>
#include <set>

#include "engine/byte_source.h"
#include "engine/file_pass.h"
#include "engine/number_format.h"
#include "engine/point_preview.h"
#include "support/test_support.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;

TEST(LabelTexts, HeightsAndMTextFormatting) {
    const LabelOptions options;
    const struct {
        const char* text;
        const char* height;  // with numbers from labels too: "" for digits without a separator
        const char* alone;   // with heights only
    } cases[] = {
        {"12.37", "12.37", "12.37"},
        {" +12,37 ", "12.37", "12.37"},
        {"Z=12.37m", "12.37", "12.37"},
        {"h= -4.5 M", "-4.5", "-4.5"},
        {"101", "", "101"},
        {"12.3.4", "", ""},
        {"12.", "", ""},
        {"Z=", "", ""},
        {"12.37 m m", "", ""},
        {"see note", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HeightText(c.text, options, true), c.height) << c.text;
        EXPECT_EQ(HeightText(c.text, options, false), c.alone) << c.text;
    }
    EXPECT_EQ(PlainMText("{\\fArial|b1|i0;\\H0.25x;\\C1;12.37}\\P"), "12.37 ");
    EXPECT_EQ(PlainMText("\\LZ=\\l3\\~m \\\\ \\{a\\}"), "Z=3 m \\ {a}");
    EXPECT_EQ(PlainMText("\\S1^2;"), "1/2");
    EXPECT_EQ(PlainMText("12.5^J^I^ "), "12.5  ^");
}

// ---- drawings made with their answer ----

// Millimetres as the drawing's metres, "-1.005" and the like.
std::string Metres(std::int64_t mm) {
    const std::int64_t a = std::llabs(mm);
    char text[32];
    std::snprintf(text, sizeof text, "%s%lld.%03lld", mm < 0 ? "-" : "",
                  static_cast<long long>(a / 1000), static_cast<long long>(a % 1000));
    return text;
}

struct MadeSite {
    std::vector<std::vector<std::string>> entities;
    // By the handle of each point: the height and the number its labels
    // give, when they give one, and its own Z.
    std::map<std::string, std::string> height, number, ownZ;
    std::set<std::string> blocks;  // the handles of the INSERTs
    // The report's counts of the heights: pairs, points and labels left, ties.
    std::size_t paired = 0, pointsLeft = 0, labelsLeft = 0, ties = 0;
    // Texts that read as no height: besides these, the number labels.
    std::size_t noHeights = 0, numberLabels = 0;
};

// Crosses (POINT) and symbol blocks (INSERT) on a 20 m grid, each with a
// height label and a number label within 0.8 m, some without one or the
// other; decoys 1.5 to 4 m away, labels on the layer NOTES 0.1 m away, texts
// that are no numbers; off the grid a label halfway between two crosses
// (a tie) and one nearer to one of two. Everything moved by (dx, dy).
MadeSite MakeSite(std::uint64_t seed, std::int64_t dx, std::int64_t dy, int positions = 144) {
    const int columns = static_cast<int>(std::ceil(std::sqrt(positions)));
    MadeSite site;
    std::mt19937_64 random(seed);
    const auto between = [&](std::int64_t low, std::int64_t high) {
        return low +
               static_cast<std::int64_t>(random() % static_cast<std::uint64_t>(high - low + 1));
    };
    int handle = 0x100;
    const auto newHandle = [&] {
        char text[16];
        std::snprintf(text, sizeof text, "%X", handle++);
        return std::string(text);
    };
    const auto point = [&](bool insert, std::int64_t x, std::int64_t y, std::int64_t z) {
        const std::string h = newHandle();
        std::vector<std::string> lines = {"  0",  insert ? "INSERT" : "POINT", "  5", h, "  8",
                                          "SPOTS"};
        if (insert) lines.insert(lines.end(), {"  2", "SPOT"});
        lines.insert(lines.end(), {" 10", Metres(x + dx), " 20", Metres(y + dy), " 30", Metres(z)});
        site.entities.push_back(lines);
        site.ownZ[h] = Metres(z);
        if (insert) site.blocks.insert(h);
        return h;
    };
    const auto text = [&](const std::string& layer, std::int64_t x, std::int64_t y,
                          const std::string& value, const std::string& firstChunk = "") {
        std::vector<std::string> lines = {"  0", firstChunk.empty() ? "TEXT" : "MTEXT",
                                          "  5", newHandle(),
                                          "  8", layer,
                                          " 10", Metres(x + dx),
                                          " 20", Metres(y + dy),
                                          " 30", "0.0",
                                          " 40", "0.25"};
        if (!firstChunk.empty()) lines.insert(lines.end(), {"  3", firstChunk});
        lines.insert(lines.end(), {"  1", value});
        site.entities.push_back(lines);
    };
    // A place at `r` mm from (x, y) in a random direction, and the opposite one.
    const auto around = [&](std::int64_t x, std::int64_t y, std::int64_t r, double angle) {
        return std::pair{x + std::llround(r * std::cos(angle)),
                         y + std::llround(r * std::sin(angle))};
    };
    std::size_t points = 0;
    for (int k = 0; k < positions; ++k) {
        const std::int64_t x = 20000 * (k % columns) + between(-3000, 3000);
        const std::int64_t y = 20000 * (k / columns) + between(-3000, 3000);
        const std::string h = point(k % 3 == 2, x, y, between(0, 5000));
        ++points;
        const double angle = static_cast<double>(between(0, 6283)) / 1000;
        if (k % 7 != 3) {
            const std::string height = Metres(between(100000, 199999));
            const auto [lx, ly] = around(x, y, between(200, 800), angle);
            std::string written = height;
            switch (k % 6) {
                case 1:
                    written = "+" + height;
                    break;
                case 2:
                    written = (k % 12 == 2 ? "Z=" : "H= ") + height;
                    break;
                case 3:
                    written = height + " m";
                    break;
                case 4:
                    std::replace(written.begin(), written.end(), '.', ',');
                    break;
                default:
                    break;
            }
            if (k % 6 == 5)
                text("SPOT-H", lx, ly, height + "}", "{\\fArial|b0;\\H0.2x;");
            else
                text("SPOT-H", lx, ly, written);
            site.height[h] = height;
            ++site.paired;
        }
        if (k % 5 != 1) {
            const std::string number =
                k % 2 == 0 ? std::to_string(5000 + k) : "S-" + std::to_string(k);
            const auto [lx, ly] = around(x, y, between(200, 800), angle + std::numbers::pi);
            text("SPOT-N", lx, ly, number);
            site.number[h] = number;
            ++site.numberLabels;
        }
        if (k % 4 == 0) {  // a decoy, too far away
            const auto [lx, ly] = around(x, y, between(1500, 4000), angle + std::numbers::pi / 2);
            text("SPOT-H", lx, ly, Metres(between(100000, 199999)));
            ++site.labelsLeft;
        }
        if (k % 6 == 5) {  // nearer than its label, but on a layer that holds no labels
            const auto [lx, ly] = around(x, y, 100, angle - std::numbers::pi / 2);
            text("NOTES", lx, ly, Metres(between(100000, 199999)));
        }
        if (k % 10 == 1) {  // beside a point without a number label: no number either
            const auto [lx, ly] = around(x, y, between(200, 800), angle - std::numbers::pi / 2);
            text("SPOT-H", lx, ly, "see note");
            ++site.noHeights;
        }
    }
    // A label halfway between two crosses is a tie: neither takes it.
    point(false, 0, -50000, 1000);
    point(false, 1200, -50000, 2000);
    text("SPOT-H", 600, -50000, "150.000");
    points += 2;
    ++site.ties;
    // A label between two crosses goes to the nearer one; the other takes its own.
    const std::string nearer = point(true, 40000, -50000, 0);
    const std::string farther = point(true, 41500, -50000, 0);
    text("SPOT-H", 40500, -50000, "160.000");
    text("SPOT-H", 41500, -49100, "170.000");
    site.height[nearer] = "160.000";
    site.height[farther] = "170.000";
    points += 2;
    site.paired += 2;
    ++site.labelsLeft;  // the tie's
    site.pointsLeft = points - site.paired;
    return site;
}

std::vector<std::string> SiteDrawing(const MadeSite& site, std::uint64_t shuffle = 0) {
    std::vector<std::vector<std::string>> entities = site.entities;
    if (shuffle != 0) std::shuffle(entities.begin(), entities.end(), std::mt19937_64(shuffle));
    std::vector<std::string> lines = {
        "  0", "SECTION", "  2", "BLOCKS", "  0", "BLOCK",   "  8", "0",       "  2", "SPOT",
        " 70", "0",       " 10", "0.0",    " 20", "0.0",     " 30", "0.0",     "  0", "CIRCLE",
        "  8", "0",       " 10", "0.0",    " 20", "0.0",     " 30", "0.0",     " 40", "0.2",
        "  0", "ENDBLK",  "  0", "ENDSEC", "  0", "SECTION", "  2", "ENTITIES"};
    for (const auto& entity : entities) lines.insert(lines.end(), entity.begin(), entity.end());
    lines.insert(lines.end(), {"  0", "ENDSEC", "  0", "EOF"});
    return lines;
}

struct Joined {
    std::vector<std::vector<std::string>> lines;  // the fields of each data line
    RunReport report;
    std::string error;
    std::vector<LabelJoin::Pair> pairs;
    std::vector<double> labelX, labelY;  // of each pair's label
    PointPreview preview;
};

std::vector<std::vector<std::string>> Fields(const std::string& data) {
    std::vector<std::vector<std::string>> lines;
    for (std::size_t start = 0, end; (end = data.find("\r\n", start)) != std::string::npos;
         start = end + 2) {
        std::vector<std::string> fields;
        for (std::size_t f = start, comma;; f = comma + 1) {
            comma = data.find(',', f);
            if (comma == std::string::npos || comma > end) comma = end;
            fields.push_back(data.substr(f, comma - f));
            if (comma == end) break;
        }
        lines.push_back(fields);
    }
    return lines;
}

Joined Join(const std::string& dxf, const ExportSettings& settings, const LabelOptions& labels,
            const std::vector<std::string>& fields, const std::vector<std::string>& code) {
    const NameTables names = ShippedNameTables();
    FixedListsHost host(fields, code);
    Joined joined;
    FilePass pass(settings, names, host, joined.report);
    pass.options.extended.labels = labels;
    MemorySource source(dxf);
    const test::TempDir dir;
    FileSink sink;
    sink.Create(dir / "out.txt");
    try {
        pass.ConvertStream(source, sink, "site.dxf");
    } catch (const KorvelError& e) {
        joined.error = e.what();
    }
    sink.Close();
    joined.lines = Fields(test::ReadFile(dir / "out.txt"));
    if (const LabelJoin* join = pass.Labels()) {
        joined.pairs = join->Pairs();
        for (const LabelJoin::Pair& pair : joined.pairs) {
            joined.labelX.push_back(join->LabelX(pair.label));
            joined.labelY.push_back(join->LabelY(pair.label));
        }
    }
    // The preview takes the same lines and every pair.
    RunReport previewReport;
    FilePass previewPass(settings, names, host, previewReport);
    previewPass.options = pass.options;
    MemorySource again(dxf);
    joined.preview.Compose(settings, names, fields, code);
    try {
        previewPass.ConvertToObserver(again, joined.preview, "site.dxf");
    } catch (const KorvelError&) {
        return joined;  // a preview shows the error alone
    }
    EXPECT_EQ(Fields(joined.preview.Lines()), joined.lines);
    EXPECT_EQ(joined.preview.Pairs().size(), joined.pairs.size());
    return joined;
}

ExportSettings SiteSettings() {
    ExportSettings settings = test::DefaultSettings();
    settings.Set(field::ProcessPoints, true);
    settings.Set(field::ProcessBlocks, true);
    settings.Set(field::ProcessText, false);
    settings.Set(field::ProcessMText, false);
    return settings;
}

LabelOptions SiteLabels(bool numbers) {
    LabelOptions labels;
    labels.heightsWithin = 1;
    labels.numbersWithin = numbers ? 1 : 0;
    labels.layers = numbers ? "SPOT-?" : "spot-h";
    return labels;
}

// Each point's line by its handle: the height and the number its labels
// gave, its own Z, or the running number of its line.
void ExpectTheMadeAnswer(const MadeSite& site, const Joined& joined, bool numbers) {
    ASSERT_EQ(joined.error, "");
    ASSERT_EQ(joined.lines.size(), site.ownZ.size());
    const std::int32_t start = test::DefaultSettings().Get(field::StartNumber);
    for (std::size_t i = 0; i < joined.lines.size(); ++i) {
        const auto& fields = joined.lines[i];  // Number, X, Y, Z, Handle
        ASSERT_EQ(fields.size(), 5u);
        const std::string& h = fields[4];
        SCOPED_TRACE("point " + h);
        const auto height = site.height.find(h);
        EXPECT_EQ(fields[3], height != site.height.end() ? height->second : site.ownZ.at(h));
        const auto number = site.number.find(h);
        EXPECT_EQ(fields[0], numbers && number != site.number.end()
                                 ? number->second
                                 : std::to_string(start + static_cast<std::int32_t>(i)));
    }
    const std::string note =
        "*** Note, heights from labels within 1: " + std::to_string(site.paired) +
        " points paired, " + std::to_string(site.pointsLeft) + " without a label, " +
        std::to_string(site.labelsLeft) + " labels without a point, " + std::to_string(site.ties) +
        " tie left unpaired, " +
        std::to_string(site.noHeights + (numbers ? site.numberLabels : 0)) +
        " texts read as no height ***";
    EXPECT_NE(std::find(joined.report.begin(), joined.report.end(), note), joined.report.end())
        << note;
    for (std::size_t k = 0; k < joined.pairs.size(); ++k) EXPECT_LE(joined.pairs[k].distance, 1);
}

const std::vector<std::string> kSiteFields = {"Number", "X", "Y", "Z", "Code"};

TEST(LabelJoin, GivesTheMadeAnswerInAnyOrderAndPlace) {
    const MadeSite site = MakeSite(23, 0, 0);
    const ExportSettings settings = SiteSettings();
    for (const bool numbers : {true, false}) {
        SCOPED_TRACE(numbers ? "heights and numbers" : "heights");
        const Joined joined = Join(test::Dxf(SiteDrawing(site)), settings, SiteLabels(numbers),
                                   kSiteFields, {"Handle"});
        ExpectTheMadeAnswer(site, joined, numbers);
        // The order of the entities changes no pair.
        for (const std::uint64_t shuffle : {1, 2}) {
            const Joined shuffled = Join(test::Dxf(SiteDrawing(site, shuffle)), settings,
                                         SiteLabels(numbers), kSiteFields, {"Handle"});
            ExpectTheMadeAnswer(site, shuffled, numbers);
        }
    }
    // A site large enough for two threads to search it.
    const MadeSite large = MakeSite(5, 0, 0, 22500);
    ExpectTheMadeAnswer(
        large,
        Join(test::Dxf(SiteDrawing(large)), settings, SiteLabels(true), kSiteFields, {"Handle"}),
        true);
    // Moved by one vector, every point moves by it and takes what it took.
    const std::int64_t dx = 512345678, dy = -6100000123;
    const MadeSite moved = MakeSite(23, dx, dy);
    const Joined here =
        Join(test::Dxf(SiteDrawing(site)), settings, SiteLabels(true), kSiteFields, {"Handle"});
    const Joined there =
        Join(test::Dxf(SiteDrawing(moved)), settings, SiteLabels(true), kSiteFields, {"Handle"});
    ASSERT_EQ(there.lines.size(), here.lines.size());
    const auto mm = [](const std::string& metres) {
        return std::llround(*NumberValue(metres) * 1000);
    };
    for (std::size_t i = 0; i < here.lines.size(); ++i) {
        std::vector<std::string> back = there.lines[i];
        back[1] = Metres(mm(back[1]) - dx);
        back[2] = Metres(mm(back[2]) - dy);
        EXPECT_EQ(back, here.lines[i]);
    }
    EXPECT_EQ(there.report, here.report);
}

TEST(LabelJoin, AddsTheOffsetAndLeavesLabelsOfOtherTypesAlone) {
    const MadeSite site = MakeSite(7, 0, 0);
    LabelOptions labels = SiteLabels(false);
    labels.heightOffset = -100;
    const Joined joined =
        Join(test::Dxf(SiteDrawing(site)), SiteSettings(), labels, kSiteFields, {"Handle"});
    ASSERT_EQ(joined.error, "");
    for (const auto& fields : joined.lines) {
        const auto height = site.height.find(fields[4]);
        if (height != site.height.end()) {
            EXPECT_EQ(fields[3],
                      Metres(std::llround(*NumberValue(height->second) * 1000) - 100000));
        }
    }
    // Only the blocks take labels now: the crosses keep their own Z.
    labels.heightOffset = 0;
    labels.pointTypes = {"Blocks"};
    const Joined blocks =
        Join(test::Dxf(SiteDrawing(site)), SiteSettings(), labels, kSiteFields, {"Handle"});
    for (const auto& fields : blocks.lines) {
        const auto height = site.height.find(fields[4]);
        EXPECT_EQ(fields[3], site.blocks.count(fields[4]) != 0 && height != site.height.end()
                                 ? height->second
                                 : site.ownZ.at(fields[4]));
    }
}

// ---- the real drawings ----

// With labels joined, every line of a real drawing is the line it is
// without, but for the Z or the Number its label gave; no pair is farther
// apart than the distance, and no point or label is in two pairs of a kind.
void HoldLabelsAcrossTheCorpus(const std::string& configuration,
                               const std::vector<std::string>& code) {
    const fs::path corpus = test::CorpusDir();
    if (corpus.empty()) GTEST_SKIP() << "corpus of real drawings not found beside the checkout";
    Configuration config;
    config.SetDefaultSettings();
    if (!configuration.empty())
        config.LoadConfigurationFile(corpus.parent_path() / "expected" / configuration);
    const std::vector<std::string> fields = {"Number", "X", "Y", "Z", "Code"};
    LabelOptions labels;
    labels.heightsWithin = 5;
    labels.numbersWithin = 5;
    labels.pointTypes = {"POINT", "INSERT", "CIRCLE", "LINE"};
    std::size_t drawings = 0, pairs = 0;
    for (const fs::path& file : test::CorpusFiles()) {
        SCOPED_TRACE(file.string());
        const std::string dxf = test::ReadFile(file);
        const Joined plain = Join(dxf, config.settings, {}, fields, code);
        const Joined joined = Join(dxf, config.settings, labels, fields, code);
        EXPECT_EQ(joined.error, plain.error);
        ASSERT_EQ(joined.lines.size(), plain.lines.size());
        std::vector<std::vector<std::string>> expected = plain.lines;
        std::set<std::pair<LabelJoin::Kind, std::size_t>> points, labelsUsed;
        for (const LabelJoin::Pair& pair : joined.pairs) {
            EXPECT_LE(pair.distance, 5);
            EXPECT_TRUE(points.insert({pair.kind, pair.point}).second);
            EXPECT_TRUE(labelsUsed.insert({pair.kind, pair.label}).second);
        }
        // The lines that took something, by the preview's pairs (data line order).
        for (const PreviewPair& pair : joined.preview.Pairs()) {
            const std::size_t field = pair.height ? 3 : 0;
            expected[pair.point][field] = joined.lines[pair.point][field];
        }
        EXPECT_TRUE(joined.lines == expected);
        // The report says the same, and a note for each kind besides.
        RunReport notes;
        for (const std::string& line : joined.report)
            if (line.find("from labels within") == std::string::npos) notes.push_back(line);
        EXPECT_EQ(notes, plain.report);
        // None for a drawing that ends before its entities.
        EXPECT_TRUE(joined.report.size() == notes.size() + 2 || joined.report == notes);
        pairs += joined.pairs.size();
        ++drawings;
    }
    std::printf("[ corpus   ] %zu drawings, %zu pairs\n", drawings, pairs);
}

TEST(LabelJoin, ChangesOnlyWhatLabelsGiveUnderTheDefaults) {
    HoldLabelsAcrossTheCorpus("", {"Layer"});
}

TEST(LabelJoin, ChangesOnlyWhatLabelsGiveWithEveryType) {
    HoldLabelsAcrossTheCorpus("every-type.krv",
                              {"Entity type", "Layer", "Handle", "Block name", "Text", "Label"});
}

}  // namespace
}  // namespace korvel
