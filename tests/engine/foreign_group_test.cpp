// A group line that an extractor does not take is consumed alone: placed
// anywhere between an entity's groups, with a value that is no code, it
// changes neither the data lines nor the counts.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace korvel {
namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

// One stretch of an entity and the group codes read within it.
struct Stretch {
    Pairs groups;
    std::set<std::string> taken;
    std::vector<std::string> closing = {};  // lines after the groups ("VERTEX", "SEQEND")
};

struct Entity {
    std::string name;
    std::vector<Stretch> stretches;
};

const std::set<std::string> kPointTakes = {"  5", "  8", " 10", " 20", " 30"};
const std::set<std::string> kLineTakes = {"  5", "  8", " 10", " 20", " 30", " 11", " 21", " 31"};
const std::set<std::string> kTextTakes = {"  5", "  8", "  1", " 10", " 20", " 30"};

const Pairs kCommon = {{"  5", "2F"}, {"  8", "WALLS"}};

Pairs With(Pairs more) {
    Pairs all = kCommon;
    all.insert(all.end(), more.begin(), more.end());
    return all;
}

std::vector<Entity> Entities() {
    const Pairs point = With({{" 10", "1.5"}, {" 20", "2.25"}, {" 30", "3"}});
    const Pairs line = With({{" 10", "1.5"},
                             {" 20", "2.25"},
                             {" 30", "3"},
                             {" 11", "4.5"},
                             {" 21", "5.75"},
                             {" 31", "6"}});
    std::vector<Entity> all;
    for (const char* name : {"POINT", "CIRCLE", "ARC", "ELLIPSE"})
        all.push_back({name, {{point, kPointTakes}}});
    all.push_back({"INSERT",
                   {{With({{"  2", "OAK"}, {" 10", "7"}, {" 20", "8"}, {" 30", "9"}}),
                     {"  5", "  8", "  2", " 10", " 20", " 30"}}}});
    all.push_back({"LINE", {{line, kLineTakes}}});
    all.push_back({"SPLINE", {{line, kLineTakes}}});
    for (const char* name : {"TEXT", "MTEXT"})
        all.push_back(
            {name,
             {{With({{" 10", "1"}, {" 20", "2"}, {" 30", "0"}, {"  1", "Tree 4"}}), kTextTakes}}});
    all.push_back(
        {"LWPOLYLINE",
         {{With({{" 38", "12.5"}, {" 10", "1"}, {" 20", "2"}, {" 10", "3"}, {" 20", "4"}}),
           {"  5", "  8", " 38", " 10", " 20"}}}});
    // POLYLINE reads its header and its vertices with different groups.
    const std::set<std::string> vertexTakes = {" 10", " 20", " 30", " 70"};
    all.push_back(
        {"POLYLINE",
         {{With({{" 70", "8"}}), {"  5", "  8", " 70"}, {"  0", "VERTEX"}},
          {{{" 10", "1"}, {" 20", "2"}, {" 30", "3"}}, vertexTakes, {"  0", "VERTEX"}},
          {{{" 10", "4"}, {" 20", "5"}, {" 70", "32"}}, vertexTakes, {"  0", "SEQEND"}}}});
    return all;
}

const std::vector<std::string> kGroupCodes = {"  1", "  2", "  5", "  8", " 10", " 11",
                                              " 20", " 21", " 30", " 31", " 38", " 40",
                                              " 43", " 70", "100", "  3"};
const std::vector<std::string> kNames = {"POINT",    "CIRCLE", "ARC",    "ELLIPSE", "LINE",
                                         "SPLINE",   "INSERT", "TEXT",   "MTEXT",   "LWPOLYLINE",
                                         "POLYLINE", "VERTEX", "SEQEND", "ENTITIES"};

// The drawing with `extra` inserted before group `at` of stretch `stretch`
// (at == size: after its last group).
std::string Drawing(const Entity& e, std::size_t stretch, std::size_t at,
                    const std::vector<std::string>& extra) {
    std::vector<std::string> lines = {"  0", "SECTION", "  2", "ENTITIES", "  0", e.name};
    for (std::size_t s = 0; s < e.stretches.size(); ++s) {
        const Stretch& st = e.stretches[s];
        for (std::size_t g = 0; g <= st.groups.size(); ++g) {
            if (s == stretch && g == at) lines.insert(lines.end(), extra.begin(), extra.end());
            if (g < st.groups.size())
                lines.insert(lines.end(), {st.groups[g].first, st.groups[g].second});
        }
        lines.insert(lines.end(), st.closing.begin(), st.closing.end());
    }
    lines.insert(lines.end(), {"  0", "ENDSEC", "  0", "EOF"});
    return test::Dxf(lines);
}

TEST(ForeignGroups, AGroupTheExtractorDoesNotTakeChangesNothing) {
    ExportSettings s = test::DefaultSettings();
    for (BoolField f : {field::ProcessPoints, field::ProcessCircles, field::ProcessArcs,
                        field::ProcessEllipses, field::ProcessBlocks, field::ProcessLines,
                        field::ProcessSplines, field::IncludeSplineFitPoints, field::ProcessText,
                        field::ProcessMText, field::Process2DPolylines, field::Process3DPolylines,
                        field::Include3DPolylineExtraPoints})
        s.Set(f, true);
    const std::vector<std::string> fields = {"Number", "X", "Y", "Z", "Code"};
    const std::vector<std::string> code = {"Entity type", "Layer", "Handle",
                                           "Block name",  "Text",  "Entity number"};
    for (const Entity& e : Entities()) {
        const test::PassResult plain = test::ConvertText(Drawing(e, 0, 0, {}), s, fields, code);
        ASSERT_NE(plain.data, "") << e.name;
        for (std::size_t st = 0; st < e.stretches.size(); ++st) {
            const Stretch& stretch = e.stretches[st];
            std::vector<std::string> foreign;
            for (const std::string& c : kGroupCodes)
                if (!stretch.taken.contains(c)) foreign.push_back(c);
            // Names end nothing inside an entity; POLYLINE's own markers do.
            for (const std::string& n : kNames)
                if (e.name != "POLYLINE" || (n != "VERTEX" && n != "SEQEND")) foreign.push_back(n);
            for (const std::string& c : foreign)
                for (std::size_t at = 0; at <= stretch.groups.size(); ++at) {
                    const test::PassResult r =
                        test::ConvertText(Drawing(e, st, at, {c, "777"}), s, fields, code);
                    EXPECT_EQ(r.data, plain.data)
                        << e.name << ": '" << c << "' before group " << at;
                    EXPECT_TRUE(r.counters == plain.counters) << e.name << ": '" << c << "'";
                }
        }
    }
}

}  // namespace
}  // namespace korvel
