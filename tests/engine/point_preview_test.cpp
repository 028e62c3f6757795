// The preview's points against the data files of the same settings, and its SVG form.
#include "engine/point_preview.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <sstream>

#include "engine/preview_svg.h"
#include "run/drawing_conversion.h"
#include "support/test_support.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> NamesOfMask(std::int32_t mask, const std::vector<std::string>& table) {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < table.size(); ++i)
        if (mask & (1 << i)) names.push_back(table[i]);
    return names;
}

// Every drawing of the expected-data folder: the preview holds exactly the
// data file's lines, and a drawing whose run ends in an error ends the
// preview with the same error.
void HoldPreviewAgainst(const std::string& profile, const std::string& configuration,
                        const std::string& extension) {
    const fs::path corpus = test::CorpusDir();
    const fs::path expected = corpus.parent_path() / "expected" / profile;
    if (corpus.empty() || !fs::exists(expected / "results.tsv"))
        GTEST_SKIP() << "expected corpus data not found beside the checkout";
    Configuration config;
    config.SetDefaultSettings();
    if (!configuration.empty())
        config.LoadConfigurationFile(corpus.parent_path() / "expected" / configuration);
    const NameTables names = ShippedNameTables();
    const auto fields =
        NamesOfMask(config.settings.Get(field::DataFieldMask), names.dataFieldNames);
    FixedListsHost host(
        fields, NamesOfMask(config.settings.Get(field::CodeElementMask), names.codeElementNames));

    std::istringstream rows(test::ReadFile(expected / "results.tsv"));
    std::string row;
    std::getline(rows, row);                                    // header
    std::vector<std::pair<std::string, std::string>> drawings;  // drawing, error
    std::map<std::string, std::string> lastWriter;  // data files that share a name keep the last
    while (std::getline(rows, row)) {
        std::istringstream cells(row);
        std::string drawing, outcome, error;
        std::getline(cells, drawing, '\t');
        std::getline(cells, outcome, '\t');
        std::getline(cells, error, '\t');
        if (drawing.empty()) continue;
        const fs::path p(drawing);
        const std::string name = p.filename().string();
        const std::string data =
            (p.parent_path() / (name.substr(0, name.find('.')) + "." + extension)).string();
        lastWriter[data] = drawing;
        drawings.emplace_back(drawing, outcome == "ok" ? "" : error);
    }
    ASSERT_GT(drawings.size(), 100u);
    int compared = 0;
    for (const auto& [drawing, error] : drawings) {
        SCOPED_TRACE(profile + ": " + drawing);
        PointPreview preview;
        preview.Compose(config.settings, names, fields, host.CodeSequence());
        preview.CollectGeometry();
        try {
            ASSERT_TRUE(PreviewDrawing((corpus / drawing).string(), config.settings, names, host,
                                       {}, preview));
            EXPECT_EQ(error, "");
        } catch (const KorvelError& e) {
            EXPECT_EQ(e.what(), error);
            continue;
        }
        const fs::path p(drawing);
        const std::string name = p.filename().string();
        const std::string data =
            (p.parent_path() / (name.substr(0, name.find('.')) + "." + extension)).string();
        if (lastWriter[data] == drawing) {
            EXPECT_TRUE(preview.Lines() == test::ReadFile(expected / data)) << "lines differ";
            ++compared;
        }
        std::int64_t counted = 0;
        for (const PreviewType& type : preview.Types()) counted += type.count;
        EXPECT_EQ(counted, static_cast<std::int64_t>(preview.Points().size()));
        // The points at the place of another, as a plain count of places finds them.
        std::map<std::pair<double, double>, std::size_t> places;
        for (const PreviewPoint& q : preview.Points())
            ++places[{q.x == 0 ? 0 : q.x, q.y == 0 ? 0 : q.y}];
        std::size_t coincident = 0;
        for (const auto& place : places)
            if (place.second > 1) coincident += place.second;
        EXPECT_EQ(preview.CountCoincident(), coincident);
        // The picture with the drawing behind the points stays small.
        EXPECT_LE(PreviewSvg(preview, name).size(), kSvgGeometryBytes + 1'000'000);
    }
    EXPECT_GT(compared, 100) << profile;
}

TEST(PointPreview, HoldsTheDataLinesOfEveryCorpusDrawing) {
    HoldPreviewAgainst("defaults", "", "txt");
    HoldPreviewAgainst("every-type", "every-type.krv", "csv");
}

// Two points of two types, a Code with XML's own characters and a Latin-1 byte.
TEST(PointPreview, SvgHasOneMarkerPerPointLabelsLegendAndExtent) {
    const std::string dxf = test::Dxf(
        {"  0", "SECTION", "  2",  "ENTITIES", "  0",    "POINT", "  8",  "A&B\xE9", " 10",
         "1.5", " 20",     "2",    " 30",      "3",      "  0",   "LINE", "  8",     "0",
         " 10", "-1",      " 20",  "0",        " 30",    "0",     " 11",  "4",       " 21",
         "6",   " 31",     "0.25", "  0",      "ENDSEC", "  0",   "EOF"});
    test::TempDir dir;
    test::WriteFile(dir / "two.dxf", dxf);
    const NameTables names = ShippedNameTables();
    const std::vector<std::string> fields = {"Number", "X", "Y", "Z", "Code"};
    FixedListsHost host(fields, {"Layer"});
    PointPreview preview;
    preview.Compose(test::DefaultSettings(), names, fields, {"Layer"});
    ASSERT_TRUE(PreviewDrawing((dir / "two.dxf").string(), test::DefaultSettings(), names, host, {},
                               preview));
    ASSERT_EQ(preview.Points().size(), 3u);
    EXPECT_EQ(preview.Label(0), "1 A&B\xE9");
    EXPECT_EQ(preview.Label(2, false), "3");
    EXPECT_EQ(preview.Summary(), "3 points  X -1.000 .. 4.000  Y 0.000 .. 6.000  Z 0.000 .. 3.000");

    const std::string svg = PreviewSvg(preview, "two.dxf");
    std::size_t circles = 0;
    for (std::size_t at = svg.find("<circle"); at != std::string::npos;
         at = svg.find("<circle", at + 1))
        ++circles;
    EXPECT_EQ(circles, 3u);
    // Latin-1 read as such, escaped for XML.
    EXPECT_NE(svg.find(">1 A&amp;B\xC3\xA9</text>"), std::string::npos);
    EXPECT_NE(svg.find(">Points  1 point</text>"), std::string::npos);
    EXPECT_NE(svg.find(">Lines  2 points</text>"), std::string::npos);
    // One scale: X spans 5, Y 6, so Y fills the 790 high inner plot.
    EXPECT_NE(svg.find("<circle cx=\"140.83\" cy=\"860.00\""), std::string::npos);  // -1, 0
    EXPECT_NE(svg.find("<circle cx=\"799.17\" cy=\"70.00\""), std::string::npos) << svg;

    // A real renderer refuses a malformed file.
    if (std::system("command -v rsvg-convert >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "rsvg-convert (Debian librsvg2-bin) not installed: SVG not rendered";
    test::WriteFile(dir / "two.svg", svg);
    const std::string render =
        "rsvg-convert -o " + (dir / "two.png").string() + " " + (dir / "two.svg").string();
    EXPECT_EQ(std::system(render.c_str()), 0);
    EXPECT_GT(fs::file_size(dir / "two.png"), 0u);
}

// Crowded points: no label of the picture overprints another or leaves the
// plot for the legend. Many points: a density layer, small, said in the legend.
TEST(PointPreview, SvgLabelsStayApartAndManyPointsBecomeADensityLayer) {
    const auto drawing = [](int count, double spacing) {
        std::vector<std::string> lines{"  0", "SECTION", "  2", "ENTITIES"};
        for (int i = 0; i < count; ++i) {
            const double x = (i % 40) * spacing + (i % 7) * 0.01, y = (i / 40) * spacing;
            for (const std::string& line :
                 {std::string("  0"), std::string("POINT"), std::string("  8"),
                  "LAYER-WITH-A-LONG-NAME-" + std::to_string(i % 5), std::string(" 10"),
                  std::to_string(x), std::string(" 20"), std::to_string(y), std::string(" 30"),
                  std::string("0")})
                lines.push_back(line);
        }
        for (const char* end : {"  0", "ENDSEC", "  0", "EOF"}) lines.emplace_back(end);
        return test::Dxf(lines);
    };
    const NameTables names = ShippedNameTables();
    const std::vector<std::string> fields = {"Number", "X", "Y", "Z", "Code"};
    test::TempDir dir;
    const auto svgOf = [&](int count, double spacing) {
        test::WriteFile(dir / "d.dxf", drawing(count, spacing));
        FixedListsHost host(fields, {"Layer"});
        PointPreview preview;
        preview.Compose(test::DefaultSettings(), names, fields, {"Layer"});
        EXPECT_TRUE(PreviewDrawing((dir / "d.dxf").string(), test::DefaultSettings(), names, host,
                                   {}, preview));
        return PreviewSvg(preview, "d.dxf");
    };

    const std::string crowded = svgOf(400, 1.0);
    struct Box {
        double left, top, right, bottom;
    };
    std::vector<Box> boxes;
    const std::string open = "<text x=\"";
    for (std::size_t at = crowded.find(open); at != std::string::npos;
         at = crowded.find(open, at + 1)) {
        const double x = std::stod(crowded.substr(at + open.size()));
        const std::size_t yAt = crowded.find("y=\"", at) + 3;
        const double y = std::stod(crowded.substr(yAt));
        const std::size_t textAt = crowded.find('>', at) + 1;
        const std::string text = crowded.substr(textAt, crowded.find("</text>", textAt) - textAt);
        if (text.find("A-LONG-NAME") == std::string::npos) continue;  // the title and legend
        // 9-unit sans-serif: a character at most 0.62 of the size wide, the box
        // from the line above the baseline to below it.
        boxes.push_back({x, y - 9, x + static_cast<double>(text.size()) * 9 * 0.62, y + 2});
    }
    ASSERT_GT(boxes.size(), 20u);
    EXPECT_LT(boxes.size(), 400u);  // not every label finds room
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        EXPECT_GE(boxes[i].left, 30);
        EXPECT_LE(boxes[i].right, 30 + 1200 - 260 - 60);  // clear of the legend
        for (std::size_t j = i + 1; j < boxes.size(); ++j)
            EXPECT_FALSE(boxes[i].left < boxes[j].right && boxes[j].left < boxes[i].right &&
                         boxes[i].top < boxes[j].bottom && boxes[j].top < boxes[i].bottom)
                << i << " " << j;
    }

    const std::string dense = svgOf(25000, 1.0);
    EXPECT_EQ(dense.find("<circle"), std::string::npos);
    EXPECT_NE(dense.find(">Over 20000 points: a square</text>"), std::string::npos);
    EXPECT_LT(dense.size(), 1'000'000u);
}

// The drawing's geometry lies under the points it gave: a line's path runs
// between the markers of its two ends; a drawing of many lines is drawn as
// the cells they cross, within its share of the picture.
TEST(PointPreview, SvgDrawsTheDrawingUnderItsPoints) {
    const NameTables names = ShippedNameTables();
    const std::vector<std::string> fields = {"Number", "X", "Y", "Z"};
    test::TempDir dir;
    const auto svgOf = [&](const std::vector<std::string>& entities) {
        std::vector<std::string> lines = {"  0", "SECTION", "  2", "ENTITIES"};
        lines.insert(lines.end(), entities.begin(), entities.end());
        for (const char* end : {"  0", "ENDSEC", "  0", "EOF"}) lines.emplace_back(end);
        test::WriteFile(dir / "d.dxf", test::Dxf(lines));
        FixedListsHost host(fields, {});
        PointPreview preview;
        preview.Compose(test::DefaultSettings(), names, fields, {});
        preview.CollectGeometry();
        EXPECT_TRUE(PreviewDrawing((dir / "d.dxf").string(), test::DefaultSettings(), names, host,
                                   {}, preview));
        return PreviewSvg(preview, "d.dxf");
    };
    const auto line = [](double x1, double y1, double x2, double y2) {
        return std::vector<std::string>{"  0", "LINE",
                                        "  8", "0",
                                        " 10", std::to_string(x1),
                                        " 20", std::to_string(y1),
                                        " 30", "0",
                                        " 11", std::to_string(x2),
                                        " 21", std::to_string(y2),
                                        " 31", "0"};
    };
    std::vector<std::string> one = line(500, 200, 520, 210);
    const std::vector<std::string> circle = {"  0", "CIRCLE", "  8", "0", " 10", "510",
                                             " 20", "200",    " 30", "0", " 40", "3"};
    one.insert(one.end(), circle.begin(), circle.end());
    const std::string svg = svgOf(one);
    std::vector<std::string> ends;
    for (std::size_t at = svg.find("<circle cx=\""); at != std::string::npos;
         at = svg.find("<circle cx=\"", at + 1)) {
        const double cx = std::stod(svg.substr(at + 12));
        const double cy = std::stod(svg.substr(svg.find("cy=\"", at) + 4));
        ends.push_back(FixedDecimal(cx, 1) + " " + FixedDecimal(cy, 1));
    }
    ASSERT_EQ(ends.size(), 2u);
    EXPECT_NE(svg.find("M" + ends[0] + "L" + ends[1]), std::string::npos) << svg;
    EXPECT_NE(svg.find(">1 lines, 1 curves,</text>"), std::string::npos);
    EXPECT_EQ(svg.find("in cells of"), std::string::npos);

    // 80,000 short lines at random: more than the picture gives to lines.
    std::vector<std::string> many;
    std::srand(7);
    for (int i = 0; i < 80000; ++i) {
        const double x = std::rand() % 100000 / 10.0, y = std::rand() % 100000 / 10.0;
        const std::vector<std::string> l = line(x, y, x + 3, y + 1);
        many.insert(many.end(), l.begin(), l.end());
    }
    const std::string cells = svgOf(many);
    EXPECT_NE(cells.find(">in cells of 1.5 units</text>"), std::string::npos);
    EXPECT_LT(cells.size(), kSvgGeometryBytes + 1'000'000);
}

}  // namespace
}  // namespace korvel
