#include "engine/entity_census.h"

#include <algorithm>
#include <tuple>

namespace korvel {

namespace {

constexpr std::size_t KnownIndex(LineKind kind) {
    return static_cast<std::size_t>(kind) - static_cast<std::size_t>(LineKind::Polyline);
}

// "12 3DFACE, 4 HATCH entities", most frequent first.
std::string ListTally(std::vector<std::pair<std::string, std::int64_t>> tally) {
    std::stable_sort(tally.begin(), tally.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    std::string text;
    std::int64_t total = 0;
    for (const auto& [type, count] : tally) {
        if (!text.empty()) text += ", ";
        text += std::to_string(count) + " " + type;
        total += count;
    }
    return text + (total == 1 ? " entity" : " entities");
}

// Whether some type is ticked, and none of the ticked types gave an entity.
bool TickedTypesAllAbsent(const ExportSettings& s, const RunCounters& c) {
    bool anyTicked = false;
    for (const EntityTypeInfo& type : kEntityTypes) {
        if (!s.Get(type.flag)) continue;
        if (c[type.type] != 0) return false;
        anyTicked = true;
    }
    return anyTicked;
}

}  // namespace

void EntityCensus::Count(LineKind kind, std::string_view name) {
    if (ended_) return;
    if (IsEntityName(kind)) {
        ++known_[KnownIndex(kind)];
        return;
    }
    // Group codes, section names and the parts of a POLYLINE or INSERT are no entities.
    if ((kind != LineKind::Other && !IsOptionGroup(kind)) || name == "ATTRIB") return;
    if (name == "ENDSEC") {
        ended_ = true;
        return;
    }
    for (auto& [type, count] : others_)
        if (type == name) {
            ++count;
            return;
        }
    if (others_.size() < kMostTypes) others_.emplace_back(name, 1);
}

bool EntityCensus::Empty() const {
    return others_.empty() &&
           std::all_of(known_.begin(), known_.end(), [](std::int64_t n) { return n == 0; });
}

EntityCensus::Tally EntityCensus::Unticked(const ExportSettings& s) const {
    // An entity is ticked when a type it can give is (a POLYLINE: 2D or 3D).
    std::array<bool, std::tuple_size_v<decltype(known_)>> ticked{};
    for (const EntityTypeInfo& type : kEntityTypes)
        for (LineKind kind : type.drawingKinds)
            if (kind != LineKind::Other && s.Get(type.flag)) ticked[KnownIndex(kind)] = true;
    Tally tally;
    for (std::size_t i = 0; i < known_.size(); ++i)
        if (known_[i] > 0 && !ticked[i])
            tally.emplace_back(
                EntityName(static_cast<LineKind>(i + static_cast<std::size_t>(LineKind::Polyline))),
                known_[i]);
    return tally;
}

std::string EntityCensus::NoTickedTypeWarning(const ExportSettings& settings,
                                              const RunCounters& counters) const {
    if (!TickedTypesAllAbsent(settings, counters)) return {};
    if (Empty()) return std::string(kNoEntityWarning);
    const Tally convertible = Unticked(settings);
    if (convertible.empty() && others_.empty()) return {};
    return korvel::NoTickedTypeWarning(convertible.empty() ? "" : ListTally(convertible),
                                       others_.empty() ? "" : ListTally(others_));
}

}  // namespace korvel
