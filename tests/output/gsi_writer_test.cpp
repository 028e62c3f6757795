// GSI-16 files read back by Total Open Station's reader of Leica GSI, a
// reader of its own, not ours.
#include "output/gsi_writer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "point_records.h"
#include "support/test_support.h"

namespace korvel {
namespace {

using test::Point;
using test::Write;

// The python3 that has Total Open Station, or empty.
std::string PythonWithReader() {
    for (const std::string python : {"/usr/bin/python3", "python3"}) {
        const std::string probe =
            python + " -c \"import totalopenstation.formats.leica_gsi\" >/dev/null 2>&1";
        if (std::system(probe.c_str()) == 0) return python;
    }
    return {};
}

// What the reader takes from the file, a line per point:
// "block number|point name|x|y|z|remarks".
std::vector<std::string> ReadBack(const std::string& python, const test::TempDir& dir) {
    test::WriteFile(dir / "read.py",
                    "import sys\n"
                    "from totalopenstation.formats.leica_gsi import FormatParser\n"
                    "parser = FormatParser(open(sys.argv[1]).read())\n"
                    "for p, r in zip(parser.points, parser.raw_line):\n"
                    "    g = p.geometry\n"
                    "    print(p.id, p.point_name, repr(g.x), repr(g.y), repr(g.z),\n"
                    "          ','.join(r.properties['attrib']), sep='|')\n");
    const std::string command = python + " " + (dir / "read.py").string() + " " +
                                (dir / "points.gsi").string() + " >" + (dir / "read.txt").string() +
                                " 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << test::ReadFile(dir / "read.txt");
    std::vector<std::string> lines;
    std::istringstream in(test::ReadFile(dir / "read.txt"));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The reader divides a word's integer by its unit; below 2^53 that is the
// double nearest to the metres, as reading their text gives it.
double Value(const std::string& text) {
    return std::strtod(text.c_str(), nullptr);
}

TEST(GsiWriter, TotalOpenStationReadsBackEveryPoint) {
    const std::string python = PythonWithReader();
    if (python.empty()) GTEST_SKIP() << "python3 with totalopenstation is not installed";

    std::vector<Point> points = {
        {"1", "TREE", true, true, "512345.678", "5402345.123", "123.456"},
        {"P17A", "KERB-2", true, true, "-1234.56", "-0.5", "0.00"},
        {"", "", false, false, "700000.1234", "6543210.9876", "-12.3456"},
        {"ABCDEFGHIJKLMNOP", "X+Y/Z.1", true, true, "12.34567", "98.76543", "1.5"},
        {"9999999999999999", "", true, true, "1.1234567", "-2.0000049", "3.123455"},
        {"E5", "CODE_16_CHARS_OK", true, true, "8999999999999.999", "-8999999999999.999", "0"},
        {"a#b%c&d", "~!?", true, true, "1e3", "25.5E-1", "-0.0004"},
    };
    // The metres the reader must see where they differ from the texts: more
    // than 5 decimals are rounded to 5.
    const std::vector<std::string> rounded = {"1.12346", "-2", "3.12346"};
    // Block numbers go from 9999 on to 0000.
    while (points.size() < 10001) points.push_back({"", "C", false, true, "1", "2", "3"});

    test::TempDir dir;
    auto sink = CreateGsiSink(dir / "points.gsi");
    FileSink stream;
    stream.Create(dir / "stream.gsi");
    auto streamSink = CreateGsiStreamSink(stream);
    for (const Point& p : points) {
        Write(*sink, p);
        Write(*streamSink, p);
    }
    sink->Close();
    streamSink->Close();
    stream.Close();
    const std::string gsi = test::ReadFile(dir / "points.gsi");
    EXPECT_EQ(test::ReadFile(dir / "stream.gsi"), gsi);
    // The first blocks as they stand, 1 + 5 * 24 + 2 bytes each.
    EXPECT_EQ(gsi.substr(0, 2 * 123),
              "*110001+0000000000000001 71....+000000000000TREE 81..10+0000000512345678 "
              "82..10+0000005402345123 83..10+0000000000123456 \r\n"
              "*110002+000000000000P17A 71....+0000000000KERB-2 81..10-0000000001234560 "
              "82..10-0000000000000500 83..10+0000000000000000 \r\n");

    const std::vector<std::string> read = ReadBack(python, dir);
    ASSERT_EQ(read.size(), points.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        SCOPED_TRACE(read[i]);
        std::vector<std::string> got;
        std::istringstream line(read[i] + "|");
        for (std::string part; std::getline(line, part, '|');) got.push_back(part);
        ASSERT_EQ(got.size(), 6u);
        const Point& p = points[i];
        EXPECT_EQ(got[0], std::to_string((i + 1) % 10000));
        EXPECT_EQ(got[1], p.hasNumber ? p.number : std::to_string(i + 1));
        EXPECT_EQ(Value(got[2]), Value(i == 4 ? rounded[0] : p.x));
        EXPECT_EQ(Value(got[3]), Value(i == 4 ? rounded[1] : p.y));
        EXPECT_EQ(Value(got[4]), Value(i == 4 ? rounded[2] : p.z));
        EXPECT_EQ(got[5], p.code);
    }
}

TEST(GsiWriter, ValuesNoWordHoldsNameThePoint) {
    test::TempDir dir;
    auto sink = CreateGsiSink(dir / "points.gsi");
    const auto expectError = [&](const Point& p, const std::string& text) {
        try {
            Write(*sink, p);
            ADD_FAILURE() << "expected the error \"" << text << "\"";
        } catch (const PointRecordError& e) {
            EXPECT_EQ(e.what(), text);
        }
    };
    const std::string x = "1.000", y = "2.000", z = "3.000";
    expectError({"ABCDEFGHIJKLMNOPQ", "", true, false, x, y, z},
                "The point number \"ABCDEFGHIJKLMNOPQ\" has 17 characters; a GSI-16 word holds 16");
    const std::string unheld = " holds \"\xC3\xA4\", which a GSI-16 word cannot hold";
    expectError({"P\xC3\xA4\x31", "", true, false, x, y, z},
                "The point number \"P\xC3\xA4\x31\"" + unheld);
    // A byte that is no UTF-8 is read as Latin-1.
    expectError({"P\xE4\x31", "", true, false, x, y, z},
                "The point number \"P\xC3\xA4\x31\"" + unheld);
    expectError({"P 1", "", true, false, x, y, z},
                "The point number \"P 1\" holds \" \", which a GSI-16 word cannot hold");
    expectError({"12", "ABCDEFGHIJKLMNOPQ", true, true, x, y, z},
                "The code \"ABCDEFGHIJKLMNOPQ\" of point \"12\" has 17 characters; a GSI-16 word "
                "holds 16");
    expectError({"12", "A*B", true, true, x, y, z},
                "The code \"A*B\" of point \"12\" holds \"*\", which a GSI-16 word cannot hold");
    expectError({"12", "A\tB", true, true, x, y, z},
                "The code of point \"12\" holds the control character 0x09, which a GSI-16 word "
                "cannot hold");
    expectError({"12", "", true, false, "12345678901234.567", y, z},
                "The easting 12345678901234.567 of point \"12\" does not fit a GSI-16 word");
    // 17 digits in 1/100 mm, the unit the northing's 5 decimals give the block.
    expectError({"", "", false, false, x, "1.12345", "123456789012.5"},
                "The height 123456789012.5 of point \"9\" does not fit a GSI-16 word");
    // A point that fails leaves nothing; what was written is completed.
    Write(*sink, {"13", "", true, false, x, y, z});
    sink->Abandon();
    EXPECT_EQ(test::ReadFile(dir / "points.gsi"),
              "*110010+0000000000000013 81..10+0000000000001000 82..10+0000000000002000 "
              "83..10+0000000000003000 \r\n");
}

}  // namespace
}  // namespace korvel
