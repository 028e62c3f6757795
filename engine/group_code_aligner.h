// Reads drawings whose group codes are not right-aligned in three columns.
//
// Sits between a byte source and the line reader. It pairs lines as group
// code and value from the start of the file; a code line that is an integer
// with optional blanks around it is handed on right-aligned in three columns
// ("0" and "000" become "  0", "10" becomes " 10", four-digit codes stay four
// digits). Value lines pass unchanged, except that the value of group 0 (an
// entity or section name) loses the blanks around it. A code line that is no
// integer passes unchanged. It streams: only the current line is held.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engine/translating_source.h"

namespace korvel {

class GroupCodeAligner final : public TranslatingSource {
  public:
    explicit GroupCodeAligner(ByteSource& inner, std::size_t blockSize = std::size_t(1) << 16)
        : TranslatingSource(inner, blockSize, 0, true) {}

  private:
    // Appends the next adapted line.
    bool TranslateNext(std::string& out) override;

    bool expectCode_ = true;
    bool groupZeroValue_ = false;
};

// The integer of a group code line: the line without CRs, blanks (spaces,
// tabs) around an optional sign and at most nine digits. Empty when it is none.
std::optional<int> GroupCodeValue(std::string_view line);

// True for a code line that is an integer but not written the three-column way.
bool IsUnalignedGroupCode(std::string_view line);

}  // namespace korvel
