#include "engine/entity_types.h"

namespace korvel {

namespace {

constexpr bool InTableOrder() {
    for (std::size_t i = 0; i < kEntityTypes.size(); ++i)
        if (static_cast<std::size_t>(kEntityTypes[i].type) != i) return false;
    return true;
}
static_assert(InTableOrder(), "kEntityTypes is indexed by EntityType");

}  // namespace

std::string ReportLabel(EntityType type) {
    std::string label(Info(type).name);
    label.resize(16, ' ');
    return label + ": ";
}

}  // namespace korvel
