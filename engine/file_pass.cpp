#include "engine/file_pass.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <utility>
#include <vector>

#include "engine/binary_dxf_reader.h"
#include "engine/group_code_aligner.h"
#include "engine/number_format.h"
#include "settings/korvel_error.h"

namespace korvel {

namespace {

// What a DXF line is, decided once per line so that every test of one
// iteration is a cheap comparison (and stays valid after the reader has moved
// on to read a value).
enum class Tok : std::uint8_t {
    Other,
    G0,
    G1,
    G2,
    G5,
    G8,
    G10,
    G11,
    G20,
    G21,
    G30,
    G31,
    G38,
    G43,
    G70,
    Entities,
    Polyline,
    LwPolyline,
    Point,
    Circle,
    Arc,
    Ellipse,
    Line,
    Spline,
    Insert,
    Text,
    MText,
    Vertex,
    Seqend,
};

Tok ClassifyGroupCode(std::string_view s) {
    // s has three characters and begins with a blank.
    if (s[1] == ' ') {
        switch (s[2]) {
            case '0':
                return Tok::G0;
            case '1':
                return Tok::G1;
            case '2':
                return Tok::G2;
            case '5':
                return Tok::G5;
            case '8':
                return Tok::G8;
            default:
                return Tok::Other;
        }
    }
    switch ((s[1] << 8) | s[2]) {
        case ('1' << 8) | '0':
            return Tok::G10;
        case ('1' << 8) | '1':
            return Tok::G11;
        case ('2' << 8) | '0':
            return Tok::G20;
        case ('2' << 8) | '1':
            return Tok::G21;
        case ('3' << 8) | '0':
            return Tok::G30;
        case ('3' << 8) | '1':
            return Tok::G31;
        case ('3' << 8) | '8':
            return Tok::G38;
        case ('4' << 8) | '3':
            return Tok::G43;
        case ('7' << 8) | '0':
            return Tok::G70;
        default:
            return Tok::Other;
    }
}

// `s`, already known to have the name's length, equals the name: a compare of
// a few bytes the compiler does in registers.
template <std::size_t N>
bool Is(std::string_view s, const char (&name)[N]) {
    return std::memcmp(s.data(), name, N - 1) == 0;
}

// Whole-line, case-sensitive comparisons, dispatched on length first.
Tok Classify(std::string_view s) {
    switch (s.size()) {
        case 3:
            if (s[0] == ' ') return ClassifyGroupCode(s);
            return Is(s, "ARC") ? Tok::Arc : Tok::Other;
        case 4:
            if (Is(s, "LINE")) return Tok::Line;
            if (Is(s, "TEXT")) return Tok::Text;
            return Tok::Other;
        case 5:
            if (Is(s, "POINT")) return Tok::Point;
            if (Is(s, "MTEXT")) return Tok::MText;
            return Tok::Other;
        case 6:
            if (Is(s, "VERTEX")) return Tok::Vertex;
            if (Is(s, "SEQEND")) return Tok::Seqend;
            if (Is(s, "CIRCLE")) return Tok::Circle;
            if (Is(s, "SPLINE")) return Tok::Spline;
            if (Is(s, "INSERT")) return Tok::Insert;
            return Tok::Other;
        case 7:
            return Is(s, "ELLIPSE") ? Tok::Ellipse : Tok::Other;
        case 8:
            if (Is(s, "POLYLINE")) return Tok::Polyline;
            if (Is(s, "ENTITIES")) return Tok::Entities;
            return Tok::Other;
        case 10:
            return Is(s, "LWPOLYLINE") ? Tok::LwPolyline : Tok::Other;
        default:
            return Tok::Other;
    }
}

// The reader tags every line with its Tok while it reads ahead.
std::uint8_t ClassifyLine(std::string_view line) {
    return static_cast<std::uint8_t>(Classify(line));
}

// How many lines after "ENTITIES" are looked at for unaligned group codes.
constexpr int kAlignmentProbeLines = 64;

std::int32_t Incremented(std::int32_t v) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(v) + 1u);
}

bool EndsWithDxfExtension(const std::filesystem::path& path) {
    std::string name = path.filename().string();
    if (name.size() < 4) return false;
    std::string tail = name.substr(name.size() - 4);
    for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return tail == ".dxf";
}

// What an extractor does with each group code line of its entity: which text
// the value goes to, and whether a point is written after it. A group the
// extractor does not take is consumed alone: its slot says so explicitly.
enum class Slot : std::uint8_t { None, X, Y, Z, Handle, Layer, BlockName, Text, Count };
enum class Emission : std::uint8_t { None, Always, FitPoint };
struct GroupRule {
    Slot slot = Slot::None;
    Emission emit = Emission::None;
    // For a Y group: the Z group of its point, which belongs right after it
    // (Tok::Other: the point has no Z group).
    Tok zGroup = Tok::Other;
};
inline constexpr std::size_t kTokCount = static_cast<std::size_t>(Tok::Seqend) + 1;

struct EntityRules {
    std::string_view type;     // the entity type written in the Code
    std::string_view zStart;   // Z before any group sets it
    bool emitAtClose = false;  // one point when the closing "  0" is read
    std::array<GroupRule, kTokCount> groups{};
};

struct Take {
    Tok code;
    Slot slot;
    Emission emit = Emission::None;
};

constexpr EntityRules Rules(std::string_view type, std::initializer_list<Take> takes,
                            bool emitAtClose = false, std::string_view zStart = {}) {
    EntityRules rules{type, zStart, emitAtClose, {}};
    // Handle and layer are those of the entity itself, for every kind.
    rules.groups[static_cast<std::size_t>(Tok::G5)] = {Slot::Handle};
    rules.groups[static_cast<std::size_t>(Tok::G8)] = {Slot::Layer};
    for (const Take& t : takes) rules.groups[static_cast<std::size_t>(t.code)] = {t.slot, t.emit};
    // DXF writes a point's Z group right after its Y group.
    for (auto [y, z] : {std::pair{Tok::G20, Tok::G30}, std::pair{Tok::G21, Tok::G31}}) {
        GroupRule& yRule = rules.groups[static_cast<std::size_t>(y)];
        if (yRule.slot == Slot::Y && rules.groups[static_cast<std::size_t>(z)].slot == Slot::Z)
            yRule.zGroup = z;
    }
    return rules;
}

// How many groups of a table take a value: a check on the tables themselves.
constexpr int TakenGroups(const EntityRules& rules) {
    int taken = 0;
    for (const GroupRule& rule : rules.groups) taken += rule.slot != Slot::None ? 1 : 0;
    return taken;
}

constexpr Take kX{Tok::G10, Slot::X}, kY{Tok::G20, Slot::Y},
    kZPoint{Tok::G30, Slot::Z, Emission::Always};

// POINT, CIRCLE, ARC, ELLIPSE and INSERT: a point on each Z.
constexpr EntityRules kPoint = Rules("POINT", {kX, kY, kZPoint});
constexpr EntityRules kCircle = Rules("CIRCLE", {kX, kY, kZPoint});
constexpr EntityRules kArc = Rules("ARC", {kX, kY, kZPoint});
constexpr EntityRules kEllipse = Rules("ELLIPSE", {kX, kY, kZPoint});
constexpr EntityRules kInsert = Rules("BLOCK", {{Tok::G2, Slot::BlockName}, kX, kY, kZPoint});
// LINE: start and end point. SPLINE: control points, and fit points on request;
// both kinds share one set of coordinates.
constexpr EntityRules kLine = Rules("LINE", {kX,
                                             kY,
                                             kZPoint,
                                             {Tok::G11, Slot::X},
                                             {Tok::G21, Slot::Y},
                                             {Tok::G31, Slot::Z, Emission::Always}});
constexpr EntityRules kSpline = Rules("SPLINE", {kX,
                                                 kY,
                                                 kZPoint,
                                                 {Tok::G11, Slot::X},
                                                 {Tok::G21, Slot::Y},
                                                 {Tok::G31, Slot::Z, Emission::FitPoint}});
// TEXT and MTEXT: one point, written when the entity's closing line is read.
constexpr EntityRules kText =
    Rules("TEXT", {{Tok::G1, Slot::Text}, kX, kY, {Tok::G30, Slot::Z}}, true);
constexpr EntityRules kMText =
    Rules("MTEXT", {{Tok::G1, Slot::Text}, kX, kY, {Tok::G30, Slot::Z}}, true);
// LWPOLYLINE: a point on each vertex (each Y). Z is the elevation (group 38),
// "0" when the polyline has none; group 43 is a width, not a height.
constexpr EntityRules kLwPolyline = Rules(
    "LWPOLYLINE", {{Tok::G38, Slot::Z}, kX, {Tok::G20, Slot::Y, Emission::Always}}, false, "0");

static_assert(TakenGroups(kPoint) == 5 && TakenGroups(kInsert) == 6 && TakenGroups(kLine) == 8 &&
              TakenGroups(kSpline) == 8 && TakenGroups(kText) == 6 &&
              TakenGroups(kLwPolyline) == 5);

// How many entities of each type the ENTITIES section holds, told from the
// names that follow a "  0" line in the main loop.
class EntityCensus {
  public:
    void Count(Tok tok, std::string_view name) {
        if (ended_) return;
        if (tok >= Tok::Polyline && tok <= Tok::MText) {
            ++known_[static_cast<std::size_t>(tok) - static_cast<std::size_t>(Tok::Polyline)];
            return;
        }
        // Group codes, section names and the parts of a POLYLINE or INSERT are no entities.
        if (tok != Tok::Other || name == "ATTRIB") return;
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

    // The types that occur but are not ticked, and those this pass does not
    // convert, each with its count, most frequent first.
    using Tally = std::vector<std::pair<std::string, std::int64_t>>;
    Tally Unticked(const ExportSettings& s) const {
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
        return Sorted(std::move(tally));
    }
    Tally Others() const { return Sorted(others_); }
    bool Empty() const {
        return others_.empty() && std::all_of(known_.begin(), known_.end(),
                                              [](std::int64_t count) { return count == 0; });
    }

  private:
    static constexpr std::size_t kMostTypes = 64;
    static constexpr std::array<std::string_view, 11> kKnownNames = {
        "POLYLINE", "LWPOLYLINE", "POINT",  "CIRCLE", "ARC",  "ELLIPSE",
        "LINE",     "SPLINE",     "INSERT", "TEXT",   "MTEXT"};
    static Tally Sorted(Tally tally) {
        std::stable_sort(tally.begin(), tally.end(),
                         [](const auto& a, const auto& b) { return a.second > b.second; });
        return tally;
    }

    bool ended_ = false;
    std::array<std::int64_t, kKnownNames.size()> known_{};
    Tally others_;
};
static_assert(static_cast<int>(Tok::MText) - static_cast<int>(Tok::Polyline) + 1 == 11);

// "12 3DFACE, 4 HATCH entities"
std::string ListTally(const EntityCensus::Tally& tally) {
    std::string text;
    std::int64_t total = 0;
    for (const auto& [type, count] : tally) {
        if (!text.empty()) text += ", ";
        text += std::to_string(count) + " " + type;
        total += count;
    }
    return text + (total == 1 ? " entity" : " entities");
}

// Why a drawing that holds entities gave nothing: none is of a ticked type.
std::string NoTickedTypeWarning(const EntityCensus& census, const ExportSettings& settings) {
    if (census.Empty()) return std::string(kNoEntityWarning);
    const EntityCensus::Tally convertible = census.Unticked(settings), others = census.Others();
    if (convertible.empty() && others.empty()) return {};
    std::string text = "*** Warning, no entity of a ticked type: the drawing holds ";
    if (!convertible.empty()) text += ListTally(convertible) + ", whose types are not ticked";
    if (!convertible.empty() && !others.empty()) text += ", and ";
    if (!others.empty()) text += ListTally(others) + ", which Korvel does not convert";
    return text + " ***";
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

using ValueLines = std::array<std::uint64_t, static_cast<std::size_t>(Slot::Count)>;

// The main loop and the extractors over one open source and sink.
class PassLoop {
  public:
    PassLoop(LineReader& reader, FileSink& sink, const ExportSettings& settings,
             RecordComposer& composer, PassHost& host, RunCounters& counters,
             RunningNumbers& numbers, const bool& stopRequested, std::uint64_t size,
             bool missingZAsZero)
        : reader_(reader),
          sink_(sink),
          settings_(settings),
          composer_(composer),
          host_(host),
          counters_(counters),
          numbers_(numbers),
          stopRequested_(stopRequested),
          blocksTotal_(size / 128),
          size_(size),
          missingZAsZero_(missingZAsZero) {}

    // False when no "ENTITIES" line was found before the end.
    bool SkipToEntities() {
        while (!reader_.AtEnd())
            if (reader_.Next() == "ENTITIES") return true;
        return false;
    }

    // With `checkAlignment`, the group code lines among the first lines after
    // "ENTITIES" are looked at: codes written another way than right-aligned
    // are worth a warning.
    void MainLoop(bool checkAlignment) {
        probeLines_ = checkAlignment ? kAlignmentProbeLines : 0;
        for (;;) {
            if (stopRequested_) return;
            host_.PumpEvents();
            ReadNextLine();
            UpdateProgress();
            if (afterCode0_) census_.Count(current_, line_);
            Dispatch();
            afterCode0_ = current_ == Tok::G0;
            if (reader_.AtEnd()) return;
        }
    }

    bool EndedInsideEntity() const { return truncated_; }
    bool CodesUnaligned() const { return unaligned_; }
    // Entities that lack the Z group of a point (counted with the option off).
    std::int64_t MissingZEntities() const { return missingZEntities_; }
    const EntityCensus& Census() const { return census_; }

  private:
    // Reads the next line and classifies it. At the end of the file the line
    // is empty; inside an entity that means the entity was cut off.
    bool ReadNextLine() {
        if (reader_.AtEnd()) {
            line_ = {};
            current_ = Tok::Other;
            return false;
        }
        line_ = reader_.Next();
        current_ = static_cast<Tok>(reader_.Tag());
        if (probeLines_ > 0) Probe(line_);
        return true;
    }

    // The value line after a group code line the extractor takes.
    void ReadValue(ValueText& value) {
        value.Assign(reader_.Next());
        if (probeLines_ > 0) Probe(value);
    }
    void ReadValue(Slot slot) {
        ReadValue(*texts_[static_cast<std::size_t>(slot)]);
        valueLines_[static_cast<std::size_t>(slot)] = reader_.LineNumber();
    }

    // ---- Points whose Z group is missing ----
    //
    // A point's Z group follows its Y group, nearly always right after it;
    // some writers put other groups between them (10, 11, 20, 21, 30, 31). A
    // point misses its Z when its Y has come and the entity ends, or the Y of
    // the same point comes again, before its Z does. With the option on, such
    // a point is written as if "0" stood right after its Y: at that place
    // among the entity's points and with the values it had then. So points
    // written after a point that still waits for its Z wait in a queue.

    static std::size_t ZIndex(Tok zGroup) { return zGroup == Tok::G31 ? 1 : 0; }

    // Right after a Y value whose point has the Z group `zGroup`; `zWrites`
    // tells whether that group writes a point.
    void AwaitZ(Tok zGroup, bool zWrites) {
        const std::size_t i = ZIndex(zGroup);
        if (zPending_[i]) MissedZ(i);  // the point before it never got its Z
        // The usual order, and a drawing that ends here (it is cut off).
        if (static_cast<Tok>(reader_.PeekTag()) == zGroup || reader_.AtEnd()) return;
        zPending_[i] = true;
        zWrites_[i] = zWrites;
        if (missingZAsZero_ && zWrites) {
            queue_.push_back({values_, valueLines_, zGroup, true});
            queue_.back().values.Z.Assign("0");
        }
    }

    // The Z group of a waiting point has come: the point is written as the
    // drawing has it, when its Z group writes it.
    void ZArrived(Tok zGroup) {
        const std::size_t i = ZIndex(zGroup);
        if (!zPending_[i]) return;
        zPending_[i] = false;
        if (!missingZAsZero_ || !zWrites_[i]) return;
        std::erase_if(queue_,
                      [&](const QueuedPoint& p) { return p.waiting && p.zGroup == zGroup; });
        WriteReadyPoints();
    }

    // The point waiting for Z group `i` does not get it.
    void MissedZ(std::size_t i) {
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
    void CloseEntityPoints() {
        for (std::size_t i = 0; i < zPending_.size(); ++i)
            if (zPending_[i]) MissedZ(i);
    }

    void WriteReadyPoints() {
        std::size_t ready = 0;
        while (ready < queue_.size() && !queue_[ready].waiting) {
            Emit(queue_[ready].values, queue_[ready].lines);
            ++ready;
        }
        queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(ready));
    }

    // The line that holds the value a conversion error was about: the line
    // of the group that wrote the point when the value was never read.
    std::uint64_t LineOfField(DataFieldKind kind, const ValueLines& lines) const {
        Slot slot = Slot::None;
        if (kind == DataFieldKind::X) slot = Slot::X;
        if (kind == DataFieldKind::Y) slot = Slot::Y;
        if (kind == DataFieldKind::Z) {
            if (settings_.Get(field::ForceZ)) return 0;
            slot = Slot::Z;
        }
        const std::uint64_t line = lines[static_cast<std::size_t>(slot)];
        return line != 0 ? line : reader_.LineNumber();
    }

    std::int32_t Flags(const ValueText& text, std::uint64_t line) {
        try {
            return ParseFlagInteger(text);
        } catch (const KorvelError& e) {
            throw DrawingError(e.what(), line);
        }
    }

    // Lines after "ENTITIES" pair up as code and value, so every other one of
    // them is a group code.
    void Probe(std::string_view line) {
        if ((--probeLines_ & 1) != 0 && IsUnalignedGroupCode(line)) unaligned_ = true;
    }

    void UpdateProgress() {
        // A reader fetching 128-byte blocks has fetched every block that holds
        // a byte consumed so far; the position counts whole blocks only.
        std::uint64_t fetched = std::min(size_, (reader_.ConsumedBytes() + 127) / 128 * 128);
        std::uint64_t blocks = fetched / 128;
        if (blocks == lastBlocks_) return;
        lastBlocks_ = blocks;
        int position = 100;
        if (blocksTotal_ > 0) {
            std::uint64_t scaled = 100 * blocks;
            std::uint64_t q = scaled / blocksTotal_, r = scaled % blocksTotal_;
            if (2 * r > blocksTotal_ || (2 * r == blocksTotal_ && (q & 1) != 0)) ++q;
            position = static_cast<int>(q);
        }
        if (position != lastPosition_) {
            lastPosition_ = position;
            host_.SetProgressPosition(position);
        }
    }

    void Dispatch() {
        switch (current_) {
            case Tok::Polyline:
                ExtractPolyline();
                break;
            case Tok::LwPolyline:
                if (settings_.Get(field::Process2DPolylines))
                    Extract(kLwPolyline, counters_.Polylines2D);
                break;
            case Tok::Point:
                if (settings_.Get(field::ProcessPoints)) Extract(kPoint, counters_.Points);
                break;
            case Tok::Circle:
                if (settings_.Get(field::ProcessCircles)) Extract(kCircle, counters_.Circles);
                break;
            case Tok::Arc:
                if (settings_.Get(field::ProcessArcs)) Extract(kArc, counters_.Arcs);
                break;
            case Tok::Ellipse:
                if (settings_.Get(field::ProcessEllipses)) Extract(kEllipse, counters_.Ellipses);
                break;
            case Tok::Line:
                if (settings_.Get(field::ProcessLines)) Extract(kLine, counters_.Lines);
                break;
            case Tok::Spline:
                if (settings_.Get(field::ProcessSplines)) Extract(kSpline, counters_.Splines);
                break;
            case Tok::Insert:
                if (settings_.Get(field::ProcessBlocks)) Extract(kInsert, counters_.Blocks);
                break;
            case Tok::Text:
                if (settings_.Get(field::ProcessText)) Extract(kText, counters_.SingleTexts);
                break;
            case Tok::MText:
                if (settings_.Get(field::ProcessMText)) Extract(kMText, counters_.MultilineTexts);
                break;
            default:
                break;
        }
    }

    void StartEntity(std::string_view type) {
        values_.X.Clear();
        values_.Y.Clear();
        values_.Z.Clear();
        values_.Handle.Clear();
        values_.Layer.Clear();
        values_.BlockName.Clear();
        values_.Text.Clear();
        values_.EntityType.Assign(type);
        valueLines_.fill(0);
        entityMissesZ_ = false;
        zPending_ = {};
        queue_.clear();
    }

    void EndEntity() {
        // A point still waiting here was cut off with its drawing; those
        // written after it still stand.
        for (QueuedPoint& p : queue_) p.waiting = false;
        WriteReadyPoints();
        numbers_.EntityNumber = Incremented(numbers_.EntityNumber);
    }

    void Emit(const EntityValues& values, const ValueLines& lines) {
        std::string_view record;
        try {
            record = composer_.ComposeRecord(values, numbers_);
        } catch (const KorvelError& e) {
            throw DrawingError(e.what(), LineOfField(composer_.FailedField(), lines));
        }
        sink_.Write(record);
    }

    // The entity's current point, after any that wait for their Z.
    void Emit() {
        if (queue_.empty())
            Emit(values_, valueLines_);
        else
            queue_.push_back({values_, valueLines_, Tok::Other, false});
    }

    static bool Writes(Emission emission, bool fitPoints) {
        return emission == Emission::Always || (emission == Emission::FitPoint && fitPoints);
    }

    // Reads the entity's next group code line; false at the end of the file,
    // which cuts the entity off.
    bool NextGroup() {
        if (!ReadNextLine()) {
            truncated_ = true;
            return false;
        }
        return true;
    }

    // Every entity but POLYLINE: its groups are read into their texts until
    // the closing "  0"; points are written as the entity's table says.
    void Extract(const EntityRules& rules, std::int32_t& counter) {
        StartEntity(rules.type);
        if (!rules.zStart.empty()) values_.Z.Assign(rules.zStart);
        const bool fitPoints = settings_.Raw(field::IncludeSplineFitPoints) == 1;
        while (NextGroup()) {
            const GroupRule& rule = rules.groups[static_cast<std::size_t>(current_)];
            if (rule.slot == Slot::Z) ZArrived(current_);
            if (rule.slot != Slot::None) ReadValue(rule.slot);
            if (Writes(rule.emit, fitPoints)) Emit();
            if (rule.zGroup != Tok::Other)
                AwaitZ(rule.zGroup,
                       Writes(rules.groups[static_cast<std::size_t>(rule.zGroup)].emit, fitPoints));
            if (current_ == Tok::G0) {
                CloseEntityPoints();
                if (rules.emitAtClose) Emit();
                break;
            }
        }
        EndEntity();
        counter = Incremented(counter);
    }

    // Takes the groups every entity shares: handle and layer.
    bool TakeCommon() {
        switch (current_) {
            case Tok::G5:
                ReadValue(values_.Handle);
                return true;
            case Tok::G8:
                ReadValue(values_.Layer);
                return true;
            default:
                return false;
        }
    }

    void ExtractPolyline() {
        StartEntity("POLYLINE");
        headerFlags_.Assign("0");
        std::uint64_t headerFlagsLine = 0;
        while (NextGroup()) {
            if (!TakeCommon() && current_ == Tok::G70) {
                ReadValue(headerFlags_);
                headerFlagsLine = reader_.LineNumber();
            }
            if (current_ == Tok::Vertex) break;
        }
        if (current_ != Tok::Vertex) return;  // cut off before its first vertex

        bool include;
        if ((Flags(headerFlags_, headerFlagsLine) & 8) != 0) {
            if (!settings_.Get(field::Process3DPolylines)) return;
            include = settings_.Raw(field::Include3DPolylineExtraPoints) == 1;
            counters_.Polylines3D = Incremented(counters_.Polylines3D);
        } else {
            if (!settings_.Get(field::Process2DPolylines)) return;
            include = settings_.Raw(field::Include2DPolylineExtraPoints) == 1;
            counters_.Polylines2D = Incremented(counters_.Polylines2D);
        }

        // Coordinates and vertex flags carry over from one vertex to the next.
        vertexFlags_.Assign("0");
        std::uint64_t vertexFlagsLine = 0;
        while (NextGroup()) {
            switch (current_) {
                case Tok::G10:
                    ReadValue(Slot::X);
                    break;
                case Tok::G20:
                    ReadValue(Slot::Y);
                    AwaitZ(Tok::G30, false);
                    break;
                case Tok::G30:
                    ZArrived(Tok::G30);
                    ReadValue(Slot::Z);
                    break;
                case Tok::G70:
                    ReadValue(vertexFlags_);
                    vertexFlagsLine = reader_.LineNumber();
                    break;
                case Tok::G0:
                    CloseEntityPoints();  // each vertex ends here
                    // Vertices added by curve fitting (1) or spline fitting (8)
                    // only with the include option.
                    if (include || (Flags(vertexFlags_, vertexFlagsLine) & 9) == 0) Emit();
                    break;
                default:
                    break;
            }
            if (current_ == Tok::Seqend) break;
        }
        EndEntity();
    }

    LineReader& reader_;
    FileSink& sink_;
    const ExportSettings& settings_;
    RecordComposer& composer_;
    PassHost& host_;
    RunCounters& counters_;
    RunningNumbers& numbers_;
    const bool& stopRequested_;
    const std::uint64_t blocksTotal_;
    const std::uint64_t size_;
    const bool missingZAsZero_;

    std::string_view line_;  // valid until the next read
    Tok current_ = Tok::Other;
    EntityValues values_;
    // The entity's texts by slot, for the rule tables.
    const std::array<ValueText*, static_cast<std::size_t>(Slot::Count)> texts_{
        nullptr,         &values_.X,     &values_.Y,         &values_.Z,
        &values_.Handle, &values_.Layer, &values_.BlockName, &values_.Text};
    // The line each text was read from (0: not read in this entity).
    ValueLines valueLines_{};
    // Points that wait for their Z group (30 and 31), and the entity's points
    // from the first one that waits on.
    struct QueuedPoint {
        EntityValues values;
        ValueLines lines;
        Tok zGroup;
        bool waiting;
    };
    std::array<bool, 2> zPending_{};
    std::array<bool, 2> zWrites_{};
    std::vector<QueuedPoint> queue_;
    ValueText headerFlags_;
    ValueText vertexFlags_;
    bool entityMissesZ_ = false;
    std::int64_t missingZEntities_ = 0;
    bool afterCode0_ = false;
    EntityCensus census_;
    std::uint64_t lastBlocks_ = UINT64_MAX;
    int lastPosition_ = -1;
    bool truncated_ = false;
    bool unaligned_ = false;
    int probeLines_ = 0;
};

}  // namespace

std::string_view FileNamePart(std::string_view path) {
#ifdef _WIN32
    std::size_t cut = path.find_last_of("\\:/");
#else
    std::size_t cut = path.find_last_of('/');
#endif
    return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

void FilePass::StartPass(std::string_view caption) {
    stopRequested_ = false;
    counters_ = RunCounters{};
    numbers_.PointNumber = settings_.Get(field::StartNumber);
    numbers_.EntityNumber = settings_.Get(field::EntityNumberStart);
    numbers_.CodeCounter = settings_.Get(field::CounterStart);
    host_.SetProgressCaption(std::string("Processing ") + std::string(caption));
    openFailed_ = false;
}

std::string MissingZWarning(std::int64_t entities) {
    return "*** Warning, " + std::to_string(entities) +
           (entities == 1 ? " entity lacks" : " entities lack") +
           " the Z coordinate of a point and gave no point or an empty Z for it: switch on "
           "\"Take a missing Z coordinate as 0\" (korvel-cli: --missing-z) to read them ***";
}

void FilePass::Run(ByteSource& file, FileSink& sink) {
    SniffedSource sniffed(file);
    std::optional<BinaryDxfReader> binary;
    if (sniffed.IsBinaryDxf()) {
        binary.emplace(file);
        report_.emplace_back(kBinaryDxfNote);
    }
    ByteSource& text = binary ? static_cast<ByteSource&>(*binary) : sniffed;
    std::optional<GroupCodeAligner> aligner;
    if (options.alignGroupCodes) aligner.emplace(text);
    ByteSource& source = aligner ? static_cast<ByteSource&>(*aligner) : text;
    LineReader reader(source, LineReader::kBlockSize, ClassifyLine);
    PassLoop loop(reader, sink, settings_, composer_, host_, counters_, numbers_, stopRequested_,
                  source.Size(), options.missingZAsZero);
    if (!loop.SkipToEntities()) {
        report_.emplace_back(kNoEntitiesWarning);
        return;
    }
    try {
        loop.MainLoop(!options.alignGroupCodes);
    } catch (DrawingError& e) {
        // What the pass has seen of the likely cause goes with the error.
        if (loop.CodesUnaligned()) {
            e.AddHint(kUnalignedCodesWarning);
            report_.emplace_back(kUnalignedCodesWarning);
        }
        if (loop.MissingZEntities() > 0) e.AddHint(MissingZWarning(loop.MissingZEntities()));
        throw;
    } catch (...) {
        if (loop.CodesUnaligned()) report_.emplace_back(kUnalignedCodesWarning);
        throw;
    }
    // Unaligned codes also leave every entity unfinished; the cause is the one to tell.
    if (loop.CodesUnaligned())
        report_.emplace_back(kUnalignedCodesWarning);
    else if (loop.EndedInsideEntity())
        report_.emplace_back(kTruncatedWarning);
    if (loop.MissingZEntities() > 0) report_.push_back(MissingZWarning(loop.MissingZEntities()));
    if (!loop.CodesUnaligned() && !loop.EndedInsideEntity() &&
        TickedTypesAllAbsent(settings_, counters_)) {
        std::string warning = NoTickedTypeWarning(loop.Census(), settings_);
        if (!warning.empty()) report_.push_back(std::move(warning));
    }
}

void FilePass::ConvertDxfFile(const std::filesystem::path& dxfPath,
                              const std::filesystem::path& dataPath) {
    StartPass(FileNamePart(dxfPath.string()));
    FileSource source;
    if (!source.Open(dxfPath)) {
        report_.emplace_back(kOpenErrorLine);
        openFailed_ = true;
        return;
    }
    // Never write a data file over the drawing being read, nor over any other
    // drawing: the destination may well be the source folder.
    // A link is judged by the file it leads to.
    std::error_code ec;
    if (source.SameFileAs(dataPath) ||
        (std::filesystem::exists(dataPath, ec) &&
         (EndsWithDxfExtension(dataPath) ||
          EndsWithDxfExtension(std::filesystem::canonical(dataPath, ec)))))
        ThrowIoError(static_cast<int>(IoCode::AccessDenied));
    FileSink sink;
    sink.Create(dataPath);
    try {
        Run(source, sink);
    } catch (DrawingError& e) {
        e.SetDrawing(FileNamePart(dxfPath.string()));
        try {
            sink.Close();
        } catch (...) {
        }
        throw;
    } catch (...) {
        // The lines before the failing one belong in the file; the first error
        // is the one to report.
        try {
            sink.Close();
        } catch (...) {
        }
        throw;
    }
    sink.Close();
}

void FilePass::ConvertStream(ByteSource& source, FileSink& sink, std::string_view caption) {
    StartPass(caption);
    try {
        Run(source, sink);
    } catch (DrawingError& e) {
        e.SetDrawing(caption);
        throw;
    }
    sink.Flush();
}

}  // namespace korvel
