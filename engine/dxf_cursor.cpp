#include "engine/dxf_cursor.h"

#include "engine/group_code_aligner.h"

namespace korvel {

void DxfCursor::Probe(std::string_view line) {
    --probeLines_;
    if (probed_++ % 2 == 0 && IsUnalignedGroupCode(line)) unaligned_ = true;
}

}  // namespace korvel
