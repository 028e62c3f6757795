// What the ENTITIES section holds, by entity type, and the warning for a
// drawing none of whose entities is of a ticked type.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/dxf_line_kind.h"
#include "engine/entity_types.h"
#include "engine/report_lines.h"
#include "settings/export_settings.h"

namespace korvel {

// Counted from the names that follow a "  0" line in the main loop.
class EntityCensus {
  public:
    void Count(LineKind kind, std::string_view name);

    // The warning when some type is ticked and none of the ticked types gave
    // an entity: the types the drawing does hold, the ones the pass converts
    // (not ticked) apart from the others. Empty when there is nothing to say.
    std::string NoTickedTypeWarning(const ExportSettings& settings,
                                    const RunCounters& counters) const;

  private:
    using Tally = std::vector<std::pair<std::string, std::int64_t>>;
    Tally Unticked(const ExportSettings& settings) const;
    bool Empty() const;

    static constexpr std::size_t kMostTypes = 64;
    bool ended_ = false;
    std::array<std::int64_t, 11> known_{};  // POLYLINE to MTEXT
    Tally others_;
};

}  // namespace korvel
