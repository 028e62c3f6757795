// Reads binary DXF: the group stream of a binary drawing handed on as the
// text lines an ASCII DXF of the same drawing holds, so that everything after
// it reads both forms alike.
//
// Each group becomes two lines: the code right-aligned in three columns and
// the value as text (reals in their shortest round-trip decimal form,
// integers in decimal, binary chunks in hexadecimal). It streams: only the
// group being turned into text is held.
#pragma once

#include <cstdint>
#include <string>

#include "engine/translating_source.h"

namespace korvel {

class BinaryDxfReader final : public TranslatingSource {
  public:
    // `inner` stands just after the sentinel. Reading throws KorvelError for
    // a file cut off inside a group or a text without end.
    explicit BinaryDxfReader(ByteSource& inner);

  private:
    // Appends the next group's two lines; false at the end of the input.
    bool TranslateNext(std::string& out) override;
    // The group being turned into text: its code line starts at `lineStart`
    // of `out`, and the group at byte `start` of the file.
    struct Group {
        std::string& out;
        std::size_t lineStart;
        int code;
        std::uint64_t start;
    };
    // The group code at the start of the pending input, consumed.
    int ReadCode();
    // The group's value from the pending input, as text.
    void AppendValue(const Group& group);
    // The next `n` bytes of the group, consumed; a file that ends first cuts it off.
    const char* Take(std::size_t n, const Group& group);
    [[noreturn]] static void CutOff(const Group& group);

    bool wideCodes_ = false;  // two-byte group codes (every release after R12)
    bool formKnown_ = false;
};

}  // namespace korvel
