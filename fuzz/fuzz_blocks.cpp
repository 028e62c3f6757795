// The reading of blocks, attributes and layers (the options beyond the
// record) over drawings built from the input: block definitions that insert
// one another (nested, in cycles, undefined, scaled by anything, MINSERT
// grids of any count), INSERTs with and without attributes, layers and
// paper space, TEXT and MTEXT labels, and every option on or off as the
// input says.
//
// After every run: the pass has ended (a hang is the fuzzer's timeout), the
// only exception that left it is a KorvelError, and the data written so far
// is whole lines each ending in CR LF. The drawing geometry of a preview is
// collected from the same drawing and checked.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/byte_source.h"
#include "engine/file_pass.h"
#include "fuzz_support.h"
#include "settings/korvel_error.h"

namespace {

using namespace korvel;

// The input, a byte at a time; zeros once it is used up.
class Bytes {
  public:
    Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t Next() { return at_ < size_ ? data_[at_++] : 0; }
    bool More() const { return at_ < size_; }
    // A value for a number group: small integers, fractions, zero, negatives.
    std::string Number() {
        static const char* const kValues[] = {"0", "1", "-1",    "2", "0.5",  "-3.25", "90", "1e3",
                                              "",  "x", "1E400", "7", "12.5", "-0",    "45", "3"};
        return kValues[Next() % 16];
    }
    std::string Name() {
        static const char* const kNames[] = {"A", "b", "B", "C", "*U1", "GONE", "a", "D"};
        return kNames[Next() % 8];
    }
    std::string Layer() {
        static const char* const kLayers[] = {"0", "PTS", "pts", "OFF", "FROZEN", "", "W[1]", "0"};
        return kLayers[Next() % 8];
    }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

void Group(std::string& dxf, int code, const std::string& value) {
    std::string c = std::to_string(code);
    if (c.size() < 3) c.insert(0, 3 - c.size(), ' ');
    dxf += c + "\r\n" + value + "\r\n";
}

// One entity, an INSERT more often than not; with `attributes`, an INSERT's
// ATTRIBs and SEQEND follow it.
void Entity(std::string& dxf, Bytes& in, bool attributes) {
    const std::uint8_t kind = in.Next();
    if (kind % 7 == 6) {  // a label: a height, a number, or neither
        static const char* const kTexts[] = {
            "12.5", "+1,5",      "Z=3m",    "101",     "x",   "",    " ",         "1,5,5",
            "\\",   "H= -0.5 M", "{\\H1;7", "\\S1^2;", "12.", "1 2", "\\P9.9\\P", "\\"};
        const bool mtext = (kind & 8) != 0;
        Group(dxf, 0, mtext ? "MTEXT" : "TEXT");
        Group(dxf, 8, in.Layer());
        for (int code : {10, 20, 30}) Group(dxf, code, in.Number());
        if (mtext && (in.Next() & 1)) Group(dxf, 3, kTexts[in.Next() % 16]);
        Group(dxf, 1, kTexts[in.Next() % 16]);
        return;
    }
    const bool insert = kind % 3 != 0;
    Group(dxf, 0, insert ? "INSERT" : (kind & 8) ? "LINE" : "POINT");
    Group(dxf, 8, in.Layer());
    if (in.Next() & 1) Group(dxf, 67, in.Number());
    if (insert) {
        const bool follow = attributes && (in.Next() & 1);
        if (follow) Group(dxf, 66, "1");
        Group(dxf, 2, in.Name());
        for (int code : {10, 20, 30}) Group(dxf, code, in.Number());
        const std::uint8_t extras = in.Next();
        if (extras & 1) Group(dxf, 41, in.Number());
        if (extras & 2) Group(dxf, 43, in.Number());
        if (extras & 4) Group(dxf, 50, in.Number());
        if (extras & 8) Group(dxf, 70, std::to_string(in.Next() % 5));
        if (extras & 16) Group(dxf, 71, std::to_string(static_cast<int>(in.Next() % 5) - 1));
        if (extras & 32) Group(dxf, 44, in.Number());
        if (extras & 64)
            for (int code : {210, 220, 230}) Group(dxf, code, in.Number());
        if (!follow) return;
        for (int n = in.Next() % 3; n > 0; --n) {
            Group(dxf, 0, "ATTRIB");
            Group(dxf, 2, (in.Next() & 1) ? "PNT" : "ELEV");
            Group(dxf, 1, in.Number());
        }
        Group(dxf, 0, "SEQEND");
        return;
    }
    for (int code : {10, 20, 30}) Group(dxf, code, in.Number());
    if (kind & 8)
        for (int code : {11, 21, 31}) Group(dxf, code, in.Number());
}

std::string Drawing(Bytes& in) {
    std::string dxf;
    Group(dxf, 0, "SECTION");
    Group(dxf, 2, "TABLES");
    for (const char* layer : {"OFF", "FROZEN"}) {
        Group(dxf, 0, "LAYER");
        Group(dxf, 2, layer);
        Group(dxf, 62, layer[0] == 'O' ? "-1" : "1");
        Group(dxf, 70, layer[0] == 'F' ? "1" : "0");
    }
    Group(dxf, 0, "ENDSEC");
    Group(dxf, 0, "SECTION");
    Group(dxf, 2, "BLOCKS");
    for (int b = in.Next() % 5; b > 0; --b) {
        Group(dxf, 0, "BLOCK");
        Group(dxf, 2, in.Name());
        for (int code : {10, 20, 30}) Group(dxf, code, in.Number());
        for (int e = in.Next() % 4; e > 0; --e) Entity(dxf, in, false);
        if (in.Next() & 1) {
            Group(dxf, 0, "ATTDEF");
            Group(dxf, 2, "PNT");
            Group(dxf, 1, in.Number());
            Group(dxf, 70, "2");
        }
        Group(dxf, 0, "ENDBLK");
    }
    Group(dxf, 0, "ENDSEC");
    Group(dxf, 0, "SECTION");
    Group(dxf, 2, "ENTITIES");
    while (in.More()) Entity(dxf, in, true);
    Group(dxf, 0, "ENDSEC");
    Group(dxf, 0, "EOF");
    return dxf;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Bytes in(data, size);
    const std::uint8_t switches = in.Next();
    PassOptions options;
    options.missingZAsZero = (switches & 1) != 0;
    options.extended.layers.include = (switches & 2) ? "P*,0" : "";
    options.extended.layers.exclude = (switches & 4) ? "[!p]*" : "";
    options.extended.layers.visibleOnly = (switches & 8) != 0;
    options.extended.layers.modelSpaceOnly = (switches & 16) != 0;
    if (switches & 32) options.extended.attributes = {"PNT", "ELEV", "pnt"};
    options.extended.blockContents = (switches & 64) != 0;
    options.mostBlockReads = 2000;
    // Heights and numbers from labels, as the next byte says.
    const std::uint8_t labels = in.Next();
    if (labels & 1) options.extended.labels.heightsWithin = (labels & 4) ? 0.5 : 100;
    if (labels & 2) options.extended.labels.numbersWithin = (labels & 8) ? 1e-9 : 2;
    if (labels & 16) options.extended.labels.layers = "P*";
    if (labels & 32) options.extended.labels.pointTypes = {"Blocks", "LINE", "Points"};
    if (labels & 64) options.extended.labels.heightOffset = -1e300;
    const std::string drawing = Drawing(in);

    ExportSettings settings{kDefaultSettingsImage};
    settings.Set(field::ProcessBlocks, (switches & 128) != 0);
    const NameTables names = ShippedNameTables();
    FixedListsHost host({"Number", "X", "Y", "Z", "Code"}, {"Layer", "Block name", "Text"});
    RunReport report;
    FilePass pass(settings, names, host, report);
    pass.options = options;
    MemorySource source(drawing);
    const int fd = fuzz::DataFileDescriptor(0);
    FileSink sink;
    sink.Attach(fd);
    try {
        pass.ConvertStream(source, sink, "blocks.dxf");
    } catch (const KorvelError&) {
        sink.Flush();
    }
    sink.Close();
    const std::string written = fuzz::ReadBack(fd);
    if (!written.empty() && written.substr(written.size() - 2) != "\r\n")
        fuzz::Fail("data file does not end in CR LF");
    fuzz::CheckGeometry(drawing);
    return 0;
}
