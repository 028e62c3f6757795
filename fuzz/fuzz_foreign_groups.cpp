// A group line that an extractor does not take is consumed alone. From the
// input bytes a drawing of entities is built twice: once plain, once with
// pairs of such group lines (a code the entity does not take, or an entity
// name, and a plain value) inserted between its groups. Both conversions
// must give the same data lines, counts, report and error.
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "engine/byte_source.h"
#include "engine/file_pass.h"
#include "fuzz_support.h"
#include "settings/korvel_error.h"

namespace {

using namespace korvel;

class Bytes {
  public:
    explicit Bytes(std::string_view b) : b_(b) {}
    bool More() const { return pos_ < b_.size(); }
    unsigned Next() { return More() ? static_cast<unsigned char>(b_[pos_++]) : 0u; }
    template <typename T>
    const T& Pick(const std::vector<T>& from) {
        return from[Next() % from.size()];
    }

  private:
    std::string_view b_;
    std::size_t pos_ = 0;
};

using Codes = std::vector<std::string>;

// The groups one stretch of an entity reads.
struct Stretch {
    Codes takes;
};

struct Kind {
    std::string name;
    Stretch groups;
};

const Codes kPointTakes = {"  5", "  8", " 10", " 20", " 30"};
const Codes kLineTakes = {"  5", "  8", " 10", " 20", " 30", " 11", " 21", " 31"};
const Codes kTextTakes = {"  5", "  8", "  1", " 10", " 20", " 30"};
const std::vector<Kind> kKinds = {
    {"POINT", {kPointTakes}},
    {"CIRCLE", {kPointTakes}},
    {"ARC", {kPointTakes}},
    {"ELLIPSE", {kPointTakes}},
    {"INSERT", {{"  5", "  8", "  2", " 10", " 20", " 30"}}},
    {"LINE", {kLineTakes}},
    {"SPLINE", {kLineTakes}},
    {"TEXT", {kTextTakes}},
    {"MTEXT", {kTextTakes}},
    {"LWPOLYLINE", {{"  5", "  8", " 38", " 10", " 20"}}},
    {"POLYLINE", {{"  5", "  8", " 70"}}},
};
const Stretch kVertex = {{" 10", " 20", " 30", " 70"}};

const Codes kAllCodes = {"  1", "  2", "  3", "  5", "  8", " 10", " 11", " 20", " 21",
                         " 30", " 31", " 38", " 40", " 43", " 70", "100", "330", "  6"};
const Codes kNames = {"POINT",  "CIRCLE", "ARC",   "ELLIPSE",    "LINE",     "SPLINE",
                      "INSERT", "TEXT",   "MTEXT", "LWPOLYLINE", "POLYLINE", "ENTITIES"};

// Value texts: none of them is a group code or a name.
const Codes kNumbers = {"0", "1.5", "-2.25", "1e3", "12345.678", "3", ".5", "777", "-0"};
const Codes kFlags = {"0", "1", "8", "9", "32", "16"};
const Codes kTexts = {"WALLS", "1F", "Tree 4", "A,B", "OAK", "x"};

std::string ValueFor(const std::string& code, Bytes& in) {
    if (code == " 70") return in.Pick(kFlags);
    if (code == "  5" || code == "  8" || code == "  1" || code == "  2") return in.Pick(kTexts);
    return in.Pick(kNumbers);
}

// Group lines a stretch does not take; POLYLINE's own markers end stretches.
Codes Foreign(const Stretch& stretch) {
    Codes foreign;
    const std::set<std::string> taken(stretch.takes.begin(), stretch.takes.end());
    for (const std::string& c : kAllCodes)
        if (!taken.contains(c)) foreign.push_back(c);
    foreign.insert(foreign.end(), kNames.begin(), kNames.end());
    return foreign;
}

struct Drawings {
    std::string plain, mixed;
    void Line(const std::string& line, bool onlyMixed = false) {
        if (!onlyMixed) plain += line + "\r\n";
        mixed += line + "\r\n";
    }
};

// Up to 15 groups of `stretch`, a foreign pair before any of them and at the end.
void Groups(const Stretch& stretch, Bytes& in, Drawings& out) {
    const Codes foreign = Foreign(stretch);
    const unsigned count = in.Next() % 16;
    for (unsigned i = 0; i <= count; ++i) {
        const unsigned choice = in.Next();
        if ((choice & 0x80) != 0) {
            const std::string& code = in.Pick(foreign);
            out.Line(code, true);
            out.Line(in.Pick(kNumbers), true);
        }
        if (i == count) break;
        const std::string& code = stretch.takes[choice % stretch.takes.size()];
        out.Line(code);
        out.Line(ValueFor(code, in));
    }
}

Drawings Build(Bytes& in) {
    Drawings d;
    d.Line("  0");
    d.Line("SECTION");
    d.Line("  2");
    d.Line("ENTITIES");
    while (in.More()) {
        const Kind& kind = in.Pick(kKinds);
        d.Line("  0");
        d.Line(kind.name);
        Groups(kind.groups, in, d);
        if (kind.name != "POLYLINE") continue;
        // A POLYLINE without a VERTEX reads on into the entities after it,
        // which are then no entities of their own: at least one vertex.
        for (unsigned v = 1 + in.Next() % 3; v > 0; --v) {
            d.Line("  0");
            d.Line("VERTEX");
            Groups(kVertex, in, d);
        }
        d.Line("  0");
        d.Line("SEQEND");
    }
    d.Line("  0");
    d.Line("ENDSEC");
    d.Line("  0");
    d.Line("EOF");
    return d;
}

struct Result {
    std::string data, error;
    RunCounters counters;
    RunReport report;
};

Result Convert(const std::string& drawing, int slot) {
    static const NameTables names = ShippedNameTables();
    static const ExportSettings settings = [] {
        ExportSettings s;
        s.image = DefaultSettingsImage();
        for (const NamedField& f : AllNamedFields())
            if (f.kind == NamedField::Kind::Bool && f.name != "ForceZ") s.image[f.offset] = 1;
        return s;
    }();
    ExportSettings live = settings;
    FixedListsHost host(
        {"Number", "X", "Y", "Z", "Code"},
        {"Entity type", "Layer", "Handle", "Block name", "Text", "Counter", "Entity number"});
    Result r;
    FilePass pass(live, names, host, r.report);
    const int fd = fuzz::DataFileDescriptor(slot);
    MemorySource source(drawing);
    FileSink sink;
    sink.Attach(fd);
    try {
        pass.ConvertStream(source, sink, "fuzz.dxf");
    } catch (const KorvelError& e) {
        r.error = e.what();
        sink.Flush();
    }
    sink.Close();
    r.data = fuzz::ReadBack(fd);
    r.counters = pass.Counters();
    return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Bytes in(std::string_view(reinterpret_cast<const char*>(data), size));
    const Drawings d = Build(in);
    if (const char* dump = std::getenv("KORVEL_FUZZ_DUMP")) {
        // To look at a finding: both drawings as files.
        std::ofstream(std::string(dump) + ".plain.dxf", std::ios::binary) << d.plain;
        std::ofstream(std::string(dump) + ".mixed.dxf", std::ios::binary) << d.mixed;
    }
    const Result plain = Convert(d.plain, 0);
    const Result mixed = Convert(d.mixed, 1);
    if (plain.data != mixed.data) fuzz::Fail("foreign groups changed the data lines");
    if (!(plain.counters == mixed.counters)) fuzz::Fail("foreign groups changed the counts");
    if (plain.report != mixed.report) fuzz::Fail("foreign groups changed the report");
    if (plain.error != mixed.error) fuzz::Fail("foreign groups changed the error");
    return 0;
}
