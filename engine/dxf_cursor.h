// The pass's place in a drawing: the current line and its kind, and the value
// lines read after group codes, for the main loop and the extractors alike.
#pragma once

#include <cstdint>
#include <string_view>

#include "engine/dxf_line_kind.h"
#include "engine/line_reader.h"
#include "engine/record_composer.h"

namespace korvel {

class DxfCursor {
  public:
    explicit DxfCursor(LineReader& reader) : reader_(reader) {}

    // Passes over everything up to the line "ENTITIES"; false when there is none.
    bool SkipToEntities() {
        while (!reader_.AtEnd())
            if (reader_.Next() == "ENTITIES") return true;
        return false;
    }

    // Looks at the group code lines among the next `lines` lines: codes
    // written another way than right-aligned are worth a warning.
    void ProbeAlignment(int lines) {
        probeLines_ = lines;
        probed_ = 0;
    }
    bool CodesUnaligned() const { return unaligned_; }

    // Reads the next line as the current one. At the end of the file the line
    // is empty and the result false.
    bool Next() {
        if (reader_.AtEnd()) {
            line_ = {};
            kind_ = LineKind::Other;
            return false;
        }
        line_ = reader_.Next();
        kind_ = reader_.Kind();
        if (probeLines_ > 0) Probe(line_);
        return true;
    }
    LineKind Kind() const { return kind_; }
    // Valid until the next read or peek.
    std::string_view Line() const { return line_; }

    // The value line after the current group code line; the current line stays.
    void ReadValue(ValueText& value) {
        value.Assign(reader_.Next());
        if (probeLines_ > 0) Probe(value);
    }

    // The kind of the line after the last one read (Other at the end), and
    // its text.
    LineKind PeekKind() { return reader_.PeekKind(); }
    std::string_view PeekLine() { return reader_.PeekLine(); }
    bool AtEnd() { return reader_.AtEnd(); }

    // The number (from 1) of the line read last, in the drawing: a cursor
    // over lines kept from the drawing counts from the first of them.
    std::uint64_t LineNumber() const { return lineBase_ + reader_.LineNumber(); }
    void SetLineBase(std::uint64_t linesBefore) { lineBase_ = linesBefore; }
    std::uint64_t ConsumedBytes() const { return reader_.ConsumedBytes(); }

  private:
    // Lines after "ENTITIES" pair up as code and value, so every other one of
    // them, from the first on, is a group code.
    void Probe(std::string_view line);

    LineReader& reader_;
    std::string_view line_;
    LineKind kind_ = LineKind::Other;
    std::uint64_t lineBase_ = 0;
    int probeLines_ = 0;  // lines still to look at
    int probed_ = 0;      // lines looked at
    bool unaligned_ = false;
};

}  // namespace korvel
