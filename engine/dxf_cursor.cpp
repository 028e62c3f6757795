#include "engine/dxf_cursor.h"

#include "engine/group_code_aligner.h"

namespace korvel {

void DxfCursor::Probe(std::string_view line) {
    if ((--probeLines_ & 1) != 0 && IsUnalignedGroupCode(line)) unaligned_ = true;
}

}  // namespace korvel
