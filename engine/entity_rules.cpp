#include "engine/entity_rules.h"

#include <algorithm>
#include <initializer_list>
#include <utility>

#include "engine/extended_reading.h"
#include "engine/number_format.h"
#include "settings/korvel_error.h"

namespace korvel {

namespace {

constexpr std::size_t Index(LineKind kind) {
    return static_cast<std::size_t>(kind);
}

// Whether a group writes a point after its value is read.
enum class Emission : std::uint8_t { None, Always, FitPoint };

struct GroupRule {
    Slot slot = Slot::None;
    Emission emit = Emission::None;
    // For a Y group: the Z group of its point (Other: the point has none).
    LineKind zGroup = LineKind::Other;
};

struct Take {
    LineKind code;
    Slot slot;
    Emission emit = Emission::None;
};

}  // namespace

struct EntityReader::Rules {
    LineKind name;             // the entity's name line
    EntityType counted;        // the type it is ticked and counted as
    BoolField ticked;          // the flag of that type
    std::string_view type;     // the entity type written in the Code
    std::string_view zStart;   // Z before any group sets it
    bool emitAtClose = false;  // one point when the closing "  0" is read
    bool ocs = false;          // its coordinates are in its object coordinate system
    std::array<GroupRule, kLineKindCount> groups{};
};

namespace {

using Rules = EntityReader::Rules;

constexpr Rules MakeRules(LineKind name, EntityType counted, std::string_view type,
                          std::initializer_list<Take> takes, bool emitAtClose = false,
                          std::string_view zStart = {}) {
    Rules rules{name, counted, Info(counted).flag, type, zStart, emitAtClose, false, {}};
    // CIRCLE, ARC, TEXT, LWPOLYLINE and INSERT give their points in their
    // object coordinate system; the others in world coordinates.
    rules.ocs = name == LineKind::Circle || name == LineKind::Arc || name == LineKind::Text ||
                name == LineKind::LwPolyline || name == LineKind::Insert;
    // Handle and layer are those of the entity itself, for every kind.
    rules.groups[Index(LineKind::G5)] = {Slot::Handle};
    rules.groups[Index(LineKind::G8)] = {Slot::Layer};
    for (const Take& t : takes) rules.groups[Index(t.code)] = {t.slot, t.emit};
    // A point's Z group follows its Y group.
    for (auto [y, z] :
         {std::pair{LineKind::G20, LineKind::G30}, std::pair{LineKind::G21, LineKind::G31}}) {
        GroupRule& yRule = rules.groups[Index(y)];
        if (yRule.slot == Slot::Y && rules.groups[Index(z)].slot == Slot::Z) yRule.zGroup = z;
    }
    return rules;
}

// How many groups of a table take a value: a check on the tables themselves.
constexpr int TakenGroups(const Rules& rules) {
    int taken = 0;
    for (const GroupRule& rule : rules.groups) taken += rule.slot != Slot::None ? 1 : 0;
    return taken;
}

constexpr Take kX{LineKind::G10, Slot::X}, kY{LineKind::G20, Slot::Y},
    kZPoint{LineKind::G30, Slot::Z, Emission::Always};

// POINT, CIRCLE, ARC, ELLIPSE and INSERT: a point on each Z.
constexpr Rules kPoint = MakeRules(LineKind::Point, EntityType::Point, "POINT", {kX, kY, kZPoint});
constexpr Rules kCircle =
    MakeRules(LineKind::Circle, EntityType::Circle, "CIRCLE", {kX, kY, kZPoint});
constexpr Rules kArc = MakeRules(LineKind::Arc, EntityType::Arc, "ARC", {kX, kY, kZPoint});
constexpr Rules kEllipse =
    MakeRules(LineKind::Ellipse, EntityType::Ellipse, "ELLIPSE", {kX, kY, kZPoint});
constexpr Rules kInsert = MakeRules(LineKind::Insert, EntityType::Block, "BLOCK",
                                    {{LineKind::G2, Slot::BlockName}, kX, kY, kZPoint});
// LINE: start and end point. SPLINE: control points, and fit points on
// request; both kinds share one set of coordinates.
constexpr Rules kLine = MakeRules(LineKind::Line, EntityType::Line, "LINE",
                                  {kX,
                                   kY,
                                   kZPoint,
                                   {LineKind::G11, Slot::X},
                                   {LineKind::G21, Slot::Y},
                                   {LineKind::G31, Slot::Z, Emission::Always}});
constexpr Rules kSpline = MakeRules(LineKind::Spline, EntityType::Spline, "SPLINE",
                                    {kX,
                                     kY,
                                     kZPoint,
                                     {LineKind::G11, Slot::X},
                                     {LineKind::G21, Slot::Y},
                                     {LineKind::G31, Slot::Z, Emission::FitPoint}});
// TEXT and MTEXT: one point, written when the entity's closing line is read.
constexpr Rules kText =
    MakeRules(LineKind::Text, EntityType::Text, "TEXT",
              {{LineKind::G1, Slot::Text}, kX, kY, {LineKind::G30, Slot::Z}}, true);
constexpr Rules kMText =
    MakeRules(LineKind::MText, EntityType::MText, "MTEXT",
              {{LineKind::G1, Slot::Text}, kX, kY, {LineKind::G30, Slot::Z}}, true);
// LWPOLYLINE: a point on each vertex (each Y). Z is the elevation (group 38),
// "0" when the polyline has none; group 43 is a width, not a height.
constexpr Rules kLwPolyline = MakeRules(
    LineKind::LwPolyline, EntityType::Polyline2D, "LWPOLYLINE",
    {{LineKind::G38, Slot::Z}, kX, {LineKind::G20, Slot::Y, Emission::Always}}, false, "0");

// Every entity read by a table, by its name line. POLYLINE has no table: its
// header decides whether it is a 2D or a 3D polyline.
constexpr std::size_t kEntityNames = Index(LineKind::MText) - Index(LineKind::Polyline) + 1;
constexpr std::array<const Rules*, kEntityNames> kRulesByName = [] {
    std::array<const Rules*, kEntityNames> byName{};
    for (const Rules* rules : {&kPoint, &kCircle, &kArc, &kEllipse, &kInsert, &kLine, &kSpline,
                               &kText, &kMText, &kLwPolyline})
        byName[Index(rules->name) - Index(LineKind::Polyline)] = rules;
    return byName;
}();

static_assert(TakenGroups(kPoint) == 5 && TakenGroups(kInsert) == 6 && TakenGroups(kLine) == 8 &&
              TakenGroups(kSpline) == 8 && TakenGroups(kText) == 6 &&
              TakenGroups(kLwPolyline) == 5);

// An include option counts as set at the byte value 1 only, where a process
// flag counts at any value but 0: a configuration file may hold other bytes,
// and the two kinds of flag have always read them so.
bool IncludeOptionSet(const ExportSettings& settings, BoolField option) {
    return settings.Raw(option) == 1;
}

bool Writes(Emission emission, bool fitPoints) {
    return emission == Emission::Always || (emission == Emission::FitPoint && fitPoints);
}

}  // namespace

EntityReader::EntityReader(DxfCursor& cursor, PointWriter& points, const ExportSettings& settings,
                           RunCounters& counters, bool missingZAsZero, ExtendedReading* extended,
                           const BlockScope* scope)
    : cursor_(cursor),
      points_(points),
      settings_(settings),
      counters_(counters),
      missingZAsZero_(missingZAsZero),
      extended_(extended),
      scope_(scope) {
    if (extended_ != nullptr) MakeExtendedRules();
}

EntityReader::~EntityReader() = default;

// The groups the options read besides, added to a copy of each table: paper
// space, the placement of a block reference and whether attributes follow
// it, and an entity's extrusion direction.
void EntityReader::MakeExtendedRules() {
    const ExtendedOptions& options = extended_->Options();
    for (const Rules* base : kRulesByName) {
        Rules rules = base != nullptr ? *base : Rules{};
        const auto take = [&](LineKind code, Slot slot) { rules.groups[Index(code)] = {slot}; };
        if (base != nullptr && options.layers.modelSpaceOnly) take(LineKind::G67, Slot::Space);
        if (base != nullptr && rules.name == LineKind::Insert && options.attributes.Any())
            take(LineKind::G66, Slot::AttributesFollow);
        if (base != nullptr && rules.name == LineKind::Insert && options.blockContents) {
            take(LineKind::G41, Slot::ScaleX);
            take(LineKind::G42, Slot::ScaleY);
            take(LineKind::G43, Slot::ScaleZ);
            take(LineKind::G50, Slot::Rotation);
            take(LineKind::G70, Slot::Columns);
            take(LineKind::G71, Slot::Rows);
            take(LineKind::G44, Slot::ColumnSpacing);
            take(LineKind::G45, Slot::RowSpacing);
        }
        if (base != nullptr && rules.name == LineKind::MText && options.labels.Any())
            take(LineKind::G3, Slot::TextChunk);
        if (base != nullptr && rules.ocs && options.blockContents) {
            take(LineKind::G210, Slot::ExtrusionX);
            take(LineKind::G220, Slot::ExtrusionY);
            take(LineKind::G230, Slot::ExtrusionZ);
        }
        extendedRules_.push_back(rules);
    }
}

const EntityReader::Rules& EntityReader::RulesFor(LineKind name) const {
    const std::size_t i = Index(name) - Index(LineKind::Polyline);
    return extended_ != nullptr ? extendedRules_[i] : *kRulesByName[i];
}

void EntityReader::ExtractIfTicked(LineKind name) {
    if (name == LineKind::Polyline) {
        ExtractPolyline();
    } else if (IsEntityName(name)) {
        const Rules& rules = RulesFor(name);
        if (settings_.Get(rules.ticked)) {
            Extract(rules);
        } else if (name == LineKind::Insert && extended_ != nullptr &&
                   extended_->Options().blockContents) {
            // Its block's entities are read whether or not its own point is.
            Extract(rules, false);
        } else if ((name == LineKind::Text || name == LineKind::MText) && extended_ != nullptr &&
                   extended_->Options().labels.Any()) {
            // So are the texts, for the labels of a join.
            Extract(rules, false);
        }
    }
}

void EntityReader::StartEntity(std::string_view name, EntityType type) {
    values_.X.Clear();
    values_.Y.Clear();
    values_.Z.Clear();
    values_.Handle.Clear();
    values_.Layer.Clear();
    values_.BlockName.Clear();
    values_.Text.Clear();
    values_.Number.Clear();
    values_.EntityType.Assign(name);
    values_.type = type;
    if (extended_ != nullptr) {
        for (ValueText* text :
             {&extras_.Space, &extras_.AttributesFollow, &extras_.ScaleX, &extras_.ScaleY,
              &extras_.ScaleZ, &extras_.Rotation, &extras_.Columns, &extras_.Rows,
              &extras_.ColumnSpacing, &extras_.RowSpacing, &extras_.ExtrusionX, &extras_.ExtrusionY,
              &extras_.ExtrusionZ})
            text->Clear();
        attributes_.clear();
        mtextChunks_.clear();
        holdPoints_ = true;
        judged_.reset();
    }
    // The lines of the extras are only ever read with the options.
    std::fill_n(valueLines_.begin(),
                static_cast<std::size_t>(extended_ != nullptr ? Slot::Count : Slot::Space), 0);
    entityMissesZ_ = false;
    zPending_ = {};
    queue_.clear();
}

bool EntityReader::EndEntity(bool passes) {
    // A point still waiting here was cut off with its drawing; those written
    // after it still stand.
    for (QueuedPoint& p : queue_) p.waiting = false;
    holdPoints_ = false;
    if (!passes) {
        queue_.clear();
        return false;
    }
    WriteReadyPoints();
    RunningNumbers& numbers = points_.Numbers();
    numbers.EntityNumber = Incremented(numbers.EntityNumber);
    return true;
}

// The entity's next group code line; false at the end of the file, which cuts
// the entity off.
bool EntityReader::NextGroup() {
    if (cursor_.Next()) return true;
    truncated_ = true;
    return false;
}

void EntityReader::Emit() {
    if (!ownPoints_) return;  // read for what it holds, not for its points
    if (holdPoints_) JudgeEarly();
    if (judged_ == false) return;  // the entity is left out
    if (queue_.empty() && !holdPoints_)
        points_.Write(values_, valueLines_, cursor_.LineNumber());
    else
        queue_.push_back(
            {values_, valueLines_, LineKind::Other, false, holdPoints_ ? cursor_.LineNumber() : 0});
}

// Every entity but POLYLINE: its groups are read into their texts until the
// closing "  0"; points are written as the entity's rules say.
void EntityReader::Extract(const Rules& rules, bool emitOwnPoints) {
    StartEntity(rules.type, rules.counted);
    ownPoints_ = emitOwnPoints;
    if (!rules.zStart.empty()) values_.Z.Assign(rules.zStart);
    const bool fitPoints = IncludeOptionSet(settings_, field::IncludeSplineFitPoints);
    while (NextGroup()) {
        const GroupRule& rule = rules.groups[Index(cursor_.Kind())];
        if (rule.slot == Slot::Z) ZArrived(cursor_.Kind());
        if (rule.slot == Slot::TextChunk) {
            ValueText chunk;
            cursor_.ReadValue(chunk);
            mtextChunks_.append(std::string_view(chunk));
        } else if (rule.slot != Slot::None) {
            ReadValue(rule.slot);
        }
        if (Writes(rule.emit, fitPoints)) Emit();
        if (rule.zGroup != LineKind::Other)
            AwaitZ(rule.zGroup, Writes(rules.groups[Index(rule.zGroup)].emit, fitPoints));
        if (cursor_.Kind() == LineKind::G0) {
            CloseEntityPoints();
            if (rules.emitAtClose) Emit();
            break;
        }
    }
    if (extended_ == nullptr) {
        EndEntity();
        counters_[rules.counted] = Incremented(counters_[rules.counted]);
        return;
    }
    const bool insert = rules.name == LineKind::Insert;
    if (insert) ReadAttributes();
    if (rules.name == LineKind::Text || rules.name == LineKind::MText)
        CollectLabel(rules.name == LineKind::MText);
    const bool passes = judged_ ? *judged_ : EntityPasses();
    if (passes && emitOwnPoints) {
        if (insert) ApplyAttributes();
        PlaceQueuedPoints(rules.ocs);
    }
    if (EndEntity(passes && emitOwnPoints))
        counters_[rules.counted] = Incremented(counters_[rules.counted]);
    if (passes && insert && extended_->Options().blockContents) ExpandInsert();
}

// Takes the groups every entity shares: handle and layer.
bool EntityReader::TakeCommon() {
    switch (cursor_.Kind()) {
        case LineKind::G5:
            ReadValue(Slot::Handle);
            return true;
        case LineKind::G8:
            ReadValue(Slot::Layer);
            return true;
        default:
            return false;
    }
}

std::int32_t EntityReader::Flags(const ValueText& text, std::uint64_t line) {
    try {
        return ParseFlagInteger(text);
    } catch (const KorvelError& e) {
        throw DrawingError(e.what(), line);
    }
}

// The header decides whether the polyline is read at all; its points carry
// the header's handle and layer.
void EntityReader::ExtractPolyline() {
    StartEntity("POLYLINE", EntityType::Polyline2D);
    ownPoints_ = true;
    headerFlags_.Assign("0");
    std::uint64_t headerFlagsLine = 0;
    while (NextGroup()) {
        if (TakeCommon()) {
        } else if (cursor_.Kind() == LineKind::G70) {
            cursor_.ReadValue(headerFlags_);
            headerFlagsLine = cursor_.LineNumber();
        } else if (extended_ != nullptr) {
            // The extended tables' slots of a 2D polyline: space and extrusion.
            const Slot slot = RulesFor(LineKind::LwPolyline).groups[Index(cursor_.Kind())].slot;
            if (slot >= Slot::Space) ReadValue(slot);
        }
        if (cursor_.Kind() == LineKind::Vertex) break;
    }
    if (cursor_.Kind() != LineKind::Vertex) return;  // cut off before its first vertex

    const bool is3D = (Flags(headerFlags_, headerFlagsLine) & 8) != 0;
    values_.type = is3D ? EntityType::Polyline3D : EntityType::Polyline2D;
    if (!Ticked(settings_, values_.type)) return;
    const bool passes = extended_ == nullptr || EntityPasses();
    if (!passes) {
        SkipVertices();
        EndEntity(false);
        return;
    }
    // Judged by its header: a polyline of the drawing's own writes its
    // vertices as they come.
    if (extended_ != nullptr && scope_ == nullptr) {
        judged_ = true;
        holdPoints_ = false;
    }
    const bool include = IncludeOptionSet(settings_, is3D ? field::Include3DPolylineExtraPoints
                                                          : field::Include2DPolylineExtraPoints);
    counters_[values_.type] = Incremented(counters_[values_.type]);

    // Coordinates and vertex flags carry over from one vertex to the next.
    vertexFlags_.Assign("0");
    std::uint64_t vertexFlagsLine = 0;
    while (NextGroup()) {
        switch (cursor_.Kind()) {
            case LineKind::G10:
                ReadValue(Slot::X);
                break;
            case LineKind::G20:
                ReadValue(Slot::Y);
                AwaitZ(LineKind::G30, false);
                break;
            case LineKind::G30:
                ZArrived(LineKind::G30);
                ReadValue(Slot::Z);
                break;
            case LineKind::G70:
                cursor_.ReadValue(vertexFlags_);
                vertexFlagsLine = cursor_.LineNumber();
                break;
            case LineKind::G0:
                CloseEntityPoints();  // each vertex ends here
                // Vertices added by curve fitting (1) or spline fitting (8)
                // only with the include option.
                if (include || (Flags(vertexFlags_, vertexFlagsLine) & 9) == 0) Emit();
                break;
            default:
                break;
        }
        if (cursor_.Kind() == LineKind::Seqend) break;
    }
    if (extended_ != nullptr) PlaceQueuedPoints(!is3D);
    EndEntity();
}

// A polyline the options leave out: its vertices are passed over up to SEQEND.
void EntityReader::SkipVertices() {
    while (NextGroup())
        if (cursor_.Kind() == LineKind::Seqend) break;
}

// ---- Points whose Z group is missing ----
//
// A point's Z group follows its Y group, nearly always right after it; some
// writers put other groups between them (10, 11, 20, 21, 30, 31). A point
// misses its Z when its Y has come and the entity ends, or the Y of the same
// point comes again, before its Z does. With the option on, such a point is
// written as if "0" stood right after its Y: at that place among the entity's
// points and with the values it had then. So points written after a point
// that still waits for its Z wait in a queue.

// Right after a Y value whose point has the Z group `zGroup`; `zWrites` tells
// whether that group writes a point.
void EntityReader::AwaitZ(LineKind zGroup, bool zWrites) {
    const std::size_t i = ZIndex(zGroup);
    if (zPending_[i]) MissedZ(i);  // the point before it never got its Z
    // The usual order, and a drawing that ends here (it is cut off).
    if (cursor_.PeekKind() == zGroup || cursor_.AtEnd()) return;
    zPending_[i] = true;
    zWrites_[i] = zWrites;
    if (missingZAsZero_ && zWrites) {
        queue_.push_back({values_, valueLines_, zGroup, true});
        queue_.back().values.Z.Assign("0");
    }
}

// The Z group of a waiting point has come: the point is written as the
// drawing has it, when its Z group writes it.
void EntityReader::ZArrived(LineKind zGroup) {
    const std::size_t i = ZIndex(zGroup);
    if (!zPending_[i]) return;
    zPending_[i] = false;
    if (!missingZAsZero_ || !zWrites_[i]) return;
    std::erase_if(queue_, [&](const QueuedPoint& p) { return p.waiting && p.zGroup == zGroup; });
    WriteReadyPoints();
}

// The point waiting for Z group `i` does not get it.
void EntityReader::MissedZ(std::size_t i) {
    zPending_[i] = false;
    if (!entityMissesZ_ && !missingZAsZero_) ++missingZEntities_;
    entityMissesZ_ = true;
    if (!missingZAsZero_) return;
    if (!zWrites_[i]) {
        values_.Z.Assign("0");
        valueLines_[static_cast<std::size_t>(Slot::Z)] = 0;
        return;
    }
    for (QueuedPoint& p : queue_)
        if (p.waiting && ZIndex(p.zGroup) == i) p.waiting = false;
    WriteReadyPoints();
}

// At the end of an entity every point still waiting misses its Z.
void EntityReader::CloseEntityPoints() {
    for (std::size_t i = 0; i < zPending_.size(); ++i)
        if (zPending_[i]) MissedZ(i);
}

void EntityReader::WriteReadyPoints() {
    if (holdPoints_) return;  // the entity's end decides
    std::size_t ready = 0;
    while (ready < queue_.size() && !queue_[ready].waiting) {
        const QueuedPoint& p = queue_[ready];
        points_.Write(p.values, p.lines, p.line != 0 ? p.line : cursor_.LineNumber());
        ++ready;
    }
    queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(ready));
}

}  // namespace korvel
