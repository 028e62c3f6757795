// LandXML files read back by pugixml, a reader of its own, not the writer's.
#include "output/landxml_writer.h"

#include <gtest/gtest.h>

#include <pugixml.hpp>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "point_records.h"
#include "support/test_support.h"

namespace korvel {
namespace {

using test::Point;
using test::Write;

// Checks the frame of the document and returns its CgPoints.
pugi::xml_node CgPointsOf(const pugi::xml_document& doc) {
    const pugi::xml_node root = doc.child("LandXML");
    EXPECT_STREQ(root.attribute("xmlns").value(), "http://www.landxml.org/schema/LandXML-1.2");
    EXPECT_STREQ(root.attribute("version").value(), "1.2");
    EXPECT_TRUE(std::regex_match(root.attribute("date").value(),
                                 std::regex("20[0-9]{2}-[01][0-9]-[0-3][0-9]")));
    EXPECT_TRUE(std::regex_match(root.attribute("time").value(),
                                 std::regex("[0-2][0-9]:[0-5][0-9]:[0-6][0-9]")));
    const pugi::xml_node units = root.first_child();
    EXPECT_STREQ(units.name(), "Units");
    EXPECT_STREQ(units.child("Metric").attribute("linearUnit").value(), "meter");
    EXPECT_STREQ(units.next_sibling().attribute("name").value(), "Korvel");
    EXPECT_STREQ(root.last_child().name(), "CgPoints");
    return root.last_child();
}

TEST(LandXmlWriter, PugixmlReadsBackEveryPoint) {
    const std::vector<Point> points = {
        {"1", "A&B<C>\"D'E", true, true, "512345.678", "5402345.123", "123.456"},
        {"P\xC3\xA4-\xC3\xBC", "Baum \xC3\x98 30 \xE2\x82\xAC", true, true, "-0.50", "1.25", "-3"},
        {"", "X", false, true, "1", "2", "3"},
        {"77", "", true, false, "1.2345678E+15", "0.000001", "0"},
        {"", "", true, true, "4", "5", "6"},
        {"M\xFC\x6C", "it's \"q\"", true, true, "7", "8", "9"},
    };
    // The names and codes the file must give back ("-" for none); bytes that
    // are no UTF-8 are read as Latin-1.
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"1", "A&B<C>\"D'E"}, {"P\xC3\xA4-\xC3\xBC", "Baum \xC3\x98 30 \xE2\x82\xAC"},
        {"-", "X"},           {"77", "-"},
        {"-", "-"},           {"M\xC3\xBC\x6C", "it's \"q\""},
    };
    test::TempDir dir;
    auto sink = CreateLandXmlSink(dir / "points.xml");
    for (const Point& p : points) Write(*sink, p);
    sink->Close();
    const std::string text = test::ReadFile(dir / "points.xml");
    EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<LandXML ", 0), 0u) << text;

    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(text.c_str())) << text;
    std::size_t i = 0;
    for (const pugi::xml_node cg : CgPointsOf(doc).children()) {
        ASSERT_LT(i, points.size());
        EXPECT_STREQ(cg.name(), "CgPoint");
        EXPECT_EQ(cg.attribute("name").as_string("-"), expected[i].first);
        EXPECT_EQ(cg.attribute("code").as_string("-"), expected[i].second);
        EXPECT_EQ(cg.child_value(), points[i].y + " " + points[i].x + " " + points[i].z);
        ++i;
    }
    EXPECT_EQ(i, points.size());
}

TEST(LandXmlWriter, AbandonedFileIsAWholeDocument) {
    test::TempDir dir;
    auto sink = CreateLandXmlSink(dir / "points.xml");
    Write(*sink, {"1", "K", true, true, "1", "2", "3"});
    const auto expectError = [&](const Point& p, const std::string& text) {
        try {
            Write(*sink, p);
            ADD_FAILURE() << "expected the error \"" << text << "\"";
        } catch (const PointRecordError& e) {
            EXPECT_EQ(e.what(), text);
        }
    };
    expectError({"2", "A\x01", true, true, "1", "2", "3"},
                "The code of point \"2\" holds the control character 0x01, which a LandXML file "
                "cannot hold");
    expectError({"P\t1", "", true, false, "1", "2", "3"},
                "A point number holds the control character 0x09, which a LandXML file cannot "
                "hold");
    sink->Abandon();

    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file((dir / "points.xml").c_str()));
    const pugi::xml_node cgPoints = CgPointsOf(doc);
    ASSERT_EQ(std::distance(cgPoints.begin(), cgPoints.end()), 1);
    EXPECT_STREQ(cgPoints.first_child().attribute("name").value(), "1");
    EXPECT_STREQ(cgPoints.first_child().child_value(), "2 1 3");
}

}  // namespace
}  // namespace korvel
