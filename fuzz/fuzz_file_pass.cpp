// The file pass over arbitrary bytes, with the settings image, the options
// and both lists taken from the input (layout: fuzz_support.h).
//
// After every run: the pass has ended (a hang is the fuzzer's timeout), the
// only exception that left it is a KorvelError, the data written so far is
// whole lines each ending in CR LF, no counter is negative, the progress
// stayed within 0..100 and the report holds only the pass's own lines. The
// drawing geometry of a preview is collected from the same drawing and
// checked.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/byte_source.h"
#include "engine/file_pass.h"
#include "fuzz_support.h"
#include "settings/korvel_error.h"

namespace {

using namespace korvel;

using fuzz::Fail;

class FuzzHost final : public FixedListsHost {
  public:
    using FixedListsHost::FixedListsHost;
    FilePass* pass = nullptr;
    int stopAtPump = 0;
    int pumps = 0;

    void PumpEvents() override {
        if (++pumps == stopAtPump && pass != nullptr) pass->RequestStop();
    }
    void SetProgressPosition(int position) override {
        if (position < 0 || position > 100) Fail("progress position outside 0..100");
    }
};

bool HasLineBreakBytes(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

// Whether the settings could put CR or LF inside a line (a prefix, the
// separator or the label may hold any byte).
bool SettingsCarryLineBreaks(const ExportSettings& s) {
    for (ShortStringField f : {field::NumberPrefix, field::XPrefix, field::YPrefix, field::ZPrefix,
                               field::CodePrefix, field::CodeSeparator, field::LabelText})
        if (HasLineBreakBytes(s.Get(f))) return true;
    return false;
}

void CheckDataLines(std::string_view data, bool strict) {
    if (data.empty()) return;
    if (data.size() < 2 || data.substr(data.size() - 2) != "\r\n")
        Fail("data file does not end in CR LF");
    if (!strict) return;
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (data[i] == '\n' && (i == 0 || data[i - 1] != '\r')) Fail("LF without CR");
        if (data[i] == '\r' && (i + 1 == data.size() || data[i + 1] != '\n')) Fail("CR without LF");
    }
}

void CheckCounters(const RunCounters& c) {
    for (std::int32_t v :
         {c.Points, c.Circles, c.Arcs, c.Ellipses, c.Blocks, c.Lines, c.Polylines2D, c.Polylines3D,
          c.Splines, c.SingleTexts, c.MultilineTexts})
        if (v < 0) Fail("negative counter");
}

// The lines a pass adds: the binary note first, then at most one of the
// section and cut-off warnings, the missing-Z count and the census line.
void CheckReport(const RunReport& report) {
    if (report.size() > 4) Fail("more report lines than a pass writes");
    auto starts = [](const std::string& line, std::string_view text) {
        return line.starts_with(text) && line.ends_with(" ***");
    };
    for (std::size_t i = 0; i < report.size(); ++i) {
        const std::string& line = report[i];
        if (line == kBinaryDxfNote) {
            if (i != 0) Fail("binary note after another line");
            continue;
        }
        if (line != kNoEntitiesWarning && line != kTruncatedWarning &&
            line != kUnalignedCodesWarning && line != kNoEntityWarning &&
            !starts(line, "*** Warning, no entity of a ticked type: the drawing holds ") &&
            !(starts(line, "*** Warning, ") &&
              line.find(" the Z coordinate of a point and gave "
                        "no point or an empty Z for it") != std::string::npos))
            Fail("unexpected report line");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const NameTables names = ShippedNameTables();
    auto input =
        fuzz::DecodePassInput(std::string_view(reinterpret_cast<const char*>(data), size), names);
    if (!input) return -1;  // too short to hold the fixed part: not worth keeping

    ExportSettings settings;
    settings.image = input->image;
    FuzzHost host(input->fields, input->code);
    host.stopAtPump = input->stopAtPump;
    RunReport report;
    FilePass pass(settings, names, host, report);
    pass.options.alignGroupCodes = input->alignGroupCodes;
    host.pass = &pass;

    const int fd = fuzz::DataFileDescriptor(0);
    MemorySource source(input->drawing);
    FileSink sink;
    sink.Attach(fd);
    try {
        pass.ConvertStream(source, sink, "fuzz.dxf");
    } catch (const KorvelError&) {
        // Conversion errors are expected; the lines before one stay.
        sink.Flush();
    }
    sink.Close();

    CheckDataLines(fuzz::ReadBack(fd), !SettingsCarryLineBreaks(settings));
    CheckCounters(pass.Counters());
    CheckReport(report);
    fuzz::CheckGeometry(input->drawing);
    return 0;
}
