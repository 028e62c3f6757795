#include "engine/entity_census.h"

#include <algorithm>

namespace korvel {

namespace {

constexpr std::array<std::string_view, 11> kKnownNames = {
    "POLYLINE", "LWPOLYLINE", "POINT",  "CIRCLE", "ARC",  "ELLIPSE",
    "LINE",     "SPLINE",     "INSERT", "TEXT",   "MTEXT"};
static_assert(static_cast<int>(LineKind::MText) - static_cast<int>(LineKind::Polyline) + 1 ==
              kKnownNames.size());

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
    const std::pair<BoolField, std::int32_t> ticked[] = {{field::ProcessPoints, c.Points},
                                                         {field::ProcessCircles, c.Circles},
                                                         {field::ProcessArcs, c.Arcs},
                                                         {field::ProcessEllipses, c.Ellipses},
                                                         {field::ProcessBlocks, c.Blocks},
                                                         {field::ProcessLines, c.Lines},
                                                         {field::Process2DPolylines, c.Polylines2D},
                                                         {field::Process3DPolylines, c.Polylines3D},
                                                         {field::ProcessSplines, c.Splines},
                                                         {field::ProcessText, c.SingleTexts},
                                                         {field::ProcessMText, c.MultilineTexts}};
    bool anyTicked = false;
    for (const auto& [flag, count] : ticked) {
        if (!s.Get(flag)) continue;
        if (count != 0) return false;
        anyTicked = true;
    }
    return anyTicked;
}

}  // namespace

void EntityCensus::Count(LineKind kind, std::string_view name) {
    if (ended_) return;
    if (IsEntityName(kind)) {
        ++known_[static_cast<std::size_t>(kind) - static_cast<std::size_t>(LineKind::Polyline)];
        return;
    }
    // Group codes, section names and the parts of a POLYLINE or INSERT are no entities.
    if (kind != LineKind::Other || name == "ATTRIB") return;
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
    const bool ticked[] = {s.Get(field::Process2DPolylines) || s.Get(field::Process3DPolylines),
                           s.Get(field::Process2DPolylines),
                           s.Get(field::ProcessPoints),
                           s.Get(field::ProcessCircles),
                           s.Get(field::ProcessArcs),
                           s.Get(field::ProcessEllipses),
                           s.Get(field::ProcessLines),
                           s.Get(field::ProcessSplines),
                           s.Get(field::ProcessBlocks),
                           s.Get(field::ProcessText),
                           s.Get(field::ProcessMText)};
    Tally tally;
    for (std::size_t i = 0; i < known_.size(); ++i)
        if (known_[i] > 0 && !ticked[i]) tally.emplace_back(kKnownNames[i], known_[i]);
    return tally;
}

std::string EntityCensus::NoTickedTypeWarning(const ExportSettings& settings,
                                              const RunCounters& counters) const {
    if (!TickedTypesAllAbsent(settings, counters)) return {};
    if (Empty()) return std::string(kNoEntityWarning);
    const Tally convertible = Unticked(settings);
    if (convertible.empty() && others_.empty()) return {};
    std::string text = "*** Warning, no entity of a ticked type: the drawing holds ";
    if (!convertible.empty()) text += ListTally(convertible) + ", whose types are not ticked";
    if (!convertible.empty() && !others_.empty()) text += ", and ";
    if (!others_.empty()) text += ListTally(others_) + ", which Korvel does not convert";
    return text + " ***";
}

}  // namespace korvel
