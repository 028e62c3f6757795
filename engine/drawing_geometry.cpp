// The drawing's geometry read from the lines of the pass: group codes and
// values paired up, entities gathered from their groups, flattened when they
// end, and blocks kept to be drawn where model space inserts them.
#include "engine/drawing_geometry.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <numbers>
#include <string>
#include <string_view>
#include <unordered_map>

#include "engine/block_transform.h"
#include "engine/drawing_tables.h"
#include "engine/number_format.h"
#include "settings/blanks.h"

namespace korvel {

std::size_t DrawingGeometry::Bytes() const {
    return xy.size() * sizeof(float) + (anchors.size() + markXY.size()) * sizeof(double) +
           starts.size() * sizeof(std::uint32_t) + arcs.size() * sizeof(GeometryArc) +
           (types.size() + markTypes.size() + arcTypes.size()) * sizeof(EntityType);
}

void DrawingGeometry::Clear() {
    *this = DrawingGeometry{};
}

void GeometryArc::AppendPoints(double tolerance, std::vector<double>& out) const {
    // The longer half axis a of the ellipse u, v: no point of it turns
    // faster than a, so a chord over dt strays by a dt^2 / 8 at most.
    const double uu = double(ux) * ux + double(uy) * uy, vv = double(vx) * vx + double(vy) * vy;
    const double det = double(ux) * vy - double(uy) * vx;
    const double sum = uu + vv;
    const double a = std::sqrt((sum + std::sqrt(std::max(sum * sum - 4 * det * det, 0.0))) / 2);
    int n = 1;
    if (a > 0 && tolerance > 0) {
        const double steps = std::ceil(sweep / std::sqrt(8 * tolerance / a));
        n = static_cast<int>(std::clamp(steps, 1.0, 65536.0));
    }
    for (int k = 0; k <= n; ++k) {
        const double t = start + sweep * k / n;
        const double c = std::cos(t), s = std::sin(t);
        out.push_back(x + ux * c + vx * s);
        out.push_back(y + uy * c + vy * s);
    }
}

namespace {

constexpr double kTurn = 2 * std::numbers::pi;
constexpr int kNoCode = INT_MIN;
constexpr std::size_t kNone = static_cast<std::size_t>(-1);
// The highest degree of a spline drawn as a curve; beyond it, its control
// polygon.
constexpr int kMostDegree = 31;
// Halvings of a knot span of a spline at most: 256 chords.
constexpr int kMostHalvings = 8;

// A group code line: blanks, an optional minus, up to nine digits, blanks.
int CodeOf(std::string_view line) {
    std::size_t i = 0;
    const std::size_t n = line.size();
    while (i < n && IsBlank(line[i])) ++i;
    const bool negative = i < n && line[i] == '-';
    if (negative) ++i;
    const std::size_t first = i;
    int code = 0;
    while (i < n && i - first < 9 && line[i] >= '0' && line[i] <= '9')
        code = code * 10 + (line[i++] - '0');
    if (i == first) return kNoCode;
    while (i < n && IsBlank(line[i])) ++i;
    if (i != n) return kNoCode;
    return negative ? -code : code;
}

// A value that is no number counts as 0, as a missing group would; a
// number is read as the data lines read it.
double Number(std::string_view text) {
    return NumberValue(TrimBlanks(text)).value_or(0.0);
}

int Integer(std::string_view text) {
    return ParseIntegerText(TrimBlanks(text)).value_or(0);
}

Vec3 Cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

double Length(Vec3 v) {
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

bool Finite(Vec3 v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// Whether every point is finite and lies within a float's reach of the
// first (blocks nested and scaled may throw them beyond it).
bool Drawable(const std::vector<Vec3>& points) {
    constexpr double kReach = 1e37;
    const Vec3 a = points.front();
    for (const Vec3& p : points)
        if (!Finite(p) || !(std::abs(p.x - a.x) < kReach) || !(std::abs(p.y - a.y) < kReach) ||
            !(std::abs(p.z - a.z) < kReach))
            return false;
    return true;
}

// The diagonal of the box around `points`.
double Diagonal(const std::vector<Vec3>& points) {
    Vec3 low = points.front(), high = low;
    for (const Vec3& c : points) {
        low = {std::min(low.x, c.x), std::min(low.y, c.y), std::min(low.z, c.z)};
        high = {std::max(high.x, c.x), std::max(high.y, c.y), std::max(high.z, c.z)};
    }
    return Length({high.x - low.x, high.y - low.y, high.z - low.z});
}

// How far p lies from the segment a b.
double Offset(Vec3 p, Vec3 a, Vec3 b) {
    const Vec3 ab{b.x - a.x, b.y - a.y, b.z - a.z}, ap{p.x - a.x, p.y - a.y, p.z - a.z};
    const double ab2 = ab.x * ab.x + ab.y * ab.y + ab.z * ab.z;
    double t = ab2 > 0 ? (ap.x * ab.x + ap.y * ab.y + ap.z * ab.z) / ab2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    return Length({ap.x - t * ab.x, ap.y - t * ab.y, ap.z - t * ab.z});
}

// Chords of a circular arc that turns through `sweep` radians: as many as
// keep each within the tolerance of the arc's size.
int ArcSegments(double sweep) {
    sweep = std::min(std::abs(sweep), kTurn);
    // The sagitta of a chord over angle a is r (1 - cos(a / 2)); the size
    // is the chord of the whole arc, 2 r sin(sweep / 2), or the diameter.
    const double size = sweep >= std::numbers::pi ? 2 : 2 * std::sin(sweep / 2);
    const double step = 2 * std::acos(1 - DrawingGeometry::kCurveTolerance * size);
    if (!(step > 0)) return 1;
    return std::max(static_cast<int>(std::ceil(sweep / step - 1e-9)), 1);
}

// The angle from `start` to `end` counterclockwise, in (0, turn]: equal
// angles make a whole turn.
double Sweep(double start, double end, double turn) {
    double sweep = std::fmod(end - start, turn);
    if (sweep < 0) sweep += turn;
    if (sweep <= turn * 1e-12) sweep += turn;
    return sweep;
}

enum class Kind : std::uint8_t {
    None,
    Line,
    LwPolyline,
    Polyline,
    Circle,
    Arc,
    Ellipse,
    Spline,
    Text,
    MText,
    Insert,
};

Kind KindOf(std::string_view name) {
    if (name == "LINE") return Kind::Line;
    if (name == "LWPOLYLINE") return Kind::LwPolyline;
    if (name == "POLYLINE") return Kind::Polyline;
    if (name == "CIRCLE") return Kind::Circle;
    if (name == "ARC") return Kind::Arc;
    if (name == "ELLIPSE") return Kind::Ellipse;
    if (name == "SPLINE") return Kind::Spline;
    if (name == "TEXT") return Kind::Text;
    if (name == "MTEXT") return Kind::MText;
    if (name == "INSERT") return Kind::Insert;
    return Kind::None;
}

struct PolyVertex {
    double x = 0, y = 0, z = 0, bulge = 0;
    int flags = 0;
};

// The groups of one entity as far as its geometry needs them.
struct Entity {
    Kind kind = Kind::None;
    std::size_t block = kNone;  // the block it belongs to; kNone: model space
    bool paper = false;
    Vec3 a;  // 10, 20, 30
    Vec3 b;  // 11, 21, 31
    Vec3 extrusion{0, 0, 1};
    double elevation = 0;  // 38
    double g40 = 0, g41 = 0, g42 = 0, g43 = 1, g44 = 0, g45 = 0, g50 = 0, g51 = 0;
    int g70 = 0, g71 = 0;
    std::string name;  // 2: the block an INSERT inserts
    std::vector<PolyVertex> vertices;
    std::vector<double> knots, weights;
    std::vector<Vec3> control, fit;
};

// A block reference inside a block, drawn where the block is.
struct BlockRef {
    std::string key;  // TableKey of the block's name
    InsertPlacement placement;
};

// A circle, an arc or an ellipse of a block, in its coordinates.
struct BlockArc {
    Vec3 centre, u, v;
    double start = 0, sweep = 0;
    EntityType type = EntityType::Circle;
};

// A block's geometry in its own coordinates, as the drawing's is kept but in
// x, y and z (an INSERT may tilt it), and the order of its entities.
struct BlockGeometry {
    enum class Kind : std::uint8_t { Polyline, Arc, Mark, Ref };
    struct Item {
        Kind kind;
        std::uint32_t index;
    };

    Vec3 base;
    std::vector<float> xyz;  // offsets from the anchor of the polyline
    std::vector<std::uint32_t> starts;
    std::vector<Vec3> anchors;
    std::vector<EntityType> types;
    std::vector<BlockArc> arcs;
    std::vector<Vec3> marks;
    std::vector<EntityType> markTypes;
    std::vector<BlockRef> refs;
    std::vector<Item> items;

    std::size_t Vertices() const { return xyz.size() / 3; }
    Vec3 Vertex(std::size_t i, std::size_t v) const {
        const Vec3& a = anchors[i];
        return {a.x + xyz[3 * v], a.y + xyz[3 * v + 1], a.z + xyz[3 * v + 2]};
    }
    void Add(EntityType type, const std::vector<Vec3>& points) {
        const Vec3 a = points.front();
        items.push_back({Kind::Polyline, static_cast<std::uint32_t>(starts.size())});
        starts.push_back(static_cast<std::uint32_t>(Vertices()));
        anchors.push_back(a);
        types.push_back(type);
        for (const Vec3& p : points) {
            xyz.push_back(static_cast<float>(p.x - a.x));
            xyz.push_back(static_cast<float>(p.y - a.y));
            xyz.push_back(static_cast<float>(p.z - a.z));
        }
    }
};

class Collector final : public GeometryCollector {
  public:
    Collector(DrawingGeometry& geometry, std::uint64_t drawingBytes) : out_(geometry) {
        out_.Clear();
        // A vertex takes some 36 bytes of a drawing, a polyline some 470
        // (the survey drawings of the benchmark): room for twice as many.
        const auto room = [&](std::uint64_t bytesEach) {
            return static_cast<std::size_t>(
                std::min<std::uint64_t>(drawingBytes / bytesEach, DrawingGeometry::kMostVertices));
        };
        out_.xy.reserve(2 * room(18));
        out_.starts.reserve(room(235));
        out_.anchors.reserve(2 * room(235));
        out_.types.reserve(room(235));
        // A circle or arc takes some 150 bytes, a text or block reference more.
        out_.arcs.reserve(room(150));
        out_.arcTypes.reserve(room(150));
        out_.markXY.reserve(2 * room(150));
        out_.markTypes.reserve(room(150));
    }

    void Line(std::string_view line) override {
        if (codeNext_) {
            code_ = CodeOf(line);
            codeNext_ = false;
            return;
        }
        codeNext_ = true;
        if (code_ == 0)
            Record(TrimBlanks(line));
        else if (reading_)
            Group(code_, line);
    }

    void Finish() override {
        Record("EOF");
        out_.truncated = out_.truncated || truncated_;
    }

  private:
    enum class Section : std::uint8_t { Other, Blocks, Entities };

    void Record(std::string_view name);
    void Group(int code, std::string_view value);
    void VertexGroup(int code, std::string_view value);
    void EndBlockHeader();
    void EndEntity();

    // The flattened shapes, into points_.
    void Bulged(const std::vector<PolyVertex>& vertices, bool closed, bool useBulges, bool flat,
                double z);
    void BulgeTo(const PolyVertex& from, const PolyVertex& to, double z);
    void ArcRun(Vec3 center, double radius, double start, double step, int first, int last);
    // A circle or an arc of radius `radius` about `center` in the entity's
    // object coordinates, or an ellipse: as an arc.
    void CircleArc(EntityType type, double radius, double start, double sweep);
    void EllipseArc();
    void PutArc(const BlockArc& arc);
    void AddArc(const BlockArc& arc, const Transform& toWorld);
    void SplinePoints();
    template <typename Curve>
    void Refine(const Curve& at, double a, Vec3 pa, double b, Vec3 pb, int halvings);
    Vec3 SplineAt(double u, std::size_t span) const;
    void Push(Vec3 p) {
        if (points_.size() < DrawingGeometry::kMostVertices)
            points_.push_back(p);
        else
            truncated_ = true;
    }
    void ToWorld(Vec3 extrusion);

    // Where the points go: the entity's block, or model space.
    void Put(EntityType type);
    void PutMark(EntityType type, Vec3 p);
    bool AddPolyline(EntityType type, const std::vector<Vec3>& points);
    void AddMark(EntityType type, Vec3 p);
    bool Room(std::size_t count);
    void Take(double x, double y);
    // The block's geometry where `toWorld` places it, `depth` levels deep.
    void Place(std::size_t block, const Transform& toWorld, int depth);
    void PlaceRef(const BlockRef& ref, const Transform& outer, int depth);

    DrawingGeometry& out_;
    bool codeNext_ = true;
    int code_ = kNoCode;
    bool reading_ = false;  // the groups of the record matter
    Section section_ = Section::Other;
    bool sectionNameNext_ = false;

    Entity entity_;
    bool vertexOpen_ = false;
    PolyVertex vertex_;

    bool blockHeader_ = false;
    std::string blockName_;
    Vec3 blockBase_;
    std::size_t block_ = kNone;  // the block whose entities are being read
    std::vector<BlockGeometry> blocks_;
    std::unordered_map<std::string, std::size_t> blockIndex_;
    std::size_t blockVertices_ = 0;
    std::size_t placements_ = 0;
    bool full_ = false;  // the cap is reached: no block is placed any more

    std::vector<Vec3> points_, placed_;
    double tolerance_ = 0;  // of the spline being flattened
    std::size_t used_ = 0;  // vertices, marks and arcs, as the cap counts them
    bool hasExtent_ = false;
    bool truncated_ = false;
};

void Collector::Record(std::string_view name) {
    if (vertexOpen_) {
        if (entity_.vertices.size() < DrawingGeometry::kMostVertices)
            entity_.vertices.push_back(vertex_);
        else
            truncated_ = true;
        vertexOpen_ = false;
    }
    if (entity_.kind == Kind::Polyline && name == "VERTEX") {
        vertex_ = {};
        vertexOpen_ = reading_ = true;
        return;
    }
    if (entity_.kind != Kind::None) {
        const bool seqend = entity_.kind == Kind::Polyline && name == "SEQEND";
        EndEntity();
        if (seqend) return;
    }
    if (blockHeader_) EndBlockHeader();
    reading_ = false;
    if (name == "SECTION") {
        section_ = Section::Other;
        sectionNameNext_ = reading_ = true;
        return;
    }
    if (name == "ENDSEC") {
        section_ = Section::Other;
        block_ = kNone;
        return;
    }
    if (section_ == Section::Blocks) {
        if (name == "BLOCK") {
            blockHeader_ = reading_ = true;
            blockName_.clear();
            blockBase_ = {};
            block_ = kNone;
            return;
        }
        if (name == "ENDBLK") {
            block_ = kNone;
            return;
        }
        if (block_ == kNone) return;
    } else if (section_ != Section::Entities) {
        return;
    }
    const Kind kind = KindOf(name);
    if (kind == Kind::None) return;
    entity_.kind = kind;
    entity_.block = section_ == Section::Blocks ? block_ : kNone;
    entity_.paper = false;
    entity_.a = entity_.b = {};
    entity_.extrusion = {0, 0, 1};
    entity_.elevation = 0;
    // 41 and 42: an INSERT's scale, an ELLIPSE's parameters.
    entity_.g40 = 0;
    entity_.g41 = kind == Kind::Insert ? 1 : 0;
    entity_.g42 = kind == Kind::Insert ? 1 : kind == Kind::Ellipse ? kTurn : 0;
    entity_.g43 = 1;
    entity_.g44 = entity_.g45 = entity_.g50 = entity_.g51 = 0;
    entity_.g70 = kind == Kind::Insert ? 1 : 0;
    entity_.g71 = kind == Kind::Insert ? 1 : kind == Kind::Spline ? 3 : 0;
    entity_.name.clear();
    entity_.vertices.clear();
    entity_.knots.clear();
    entity_.weights.clear();
    entity_.control.clear();
    entity_.fit.clear();
    reading_ = true;
}

void Collector::EndBlockHeader() {
    blockHeader_ = false;
    std::string key = TableKey(blockName_);
    // The first definition of a name is the one inserted.
    if (blockIndex_.find(key) != blockIndex_.end()) return;
    block_ = blocks_.size();
    blockIndex_.emplace(std::move(key), block_);
    blocks_.emplace_back();
    blocks_.back().base = blockBase_;
}

// Whether Z moves the entity in X and Y: in a block (an INSERT may tilt
// it), or in object coordinates, which may be tilted themselves. The other
// entities of model space are drawn from X and Y alone.
bool NeedsZ(const Entity& e) {
    return e.block != kNone || (e.kind != Kind::Line && e.kind != Kind::Ellipse &&
                                e.kind != Kind::MText && e.kind != Kind::Spline);
}

// Appends `value` to a list of the entity's, up to the cap.
template <typename T>
bool Append(std::vector<T>& list, const T& value, bool& truncated) {
    if (list.size() >= DrawingGeometry::kMostVertices) {
        truncated = true;
        return false;
    }
    list.push_back(value);
    return true;
}

void Collector::Group(int code, std::string_view value) {
    if (sectionNameNext_) {
        if (code == 2) {
            const std::string_view section = TrimBlanks(value);
            section_ = section == "BLOCKS"     ? Section::Blocks
                       : section == "ENTITIES" ? Section::Entities
                                               : Section::Other;
            sectionNameNext_ = reading_ = false;
        }
        return;
    }
    if (blockHeader_) {
        if (code == 2) blockName_ = value;
        if (code == 10) blockBase_.x = Number(value);
        if (code == 20) blockBase_.y = Number(value);
        if (code == 30) blockBase_.z = Number(value);
        return;
    }
    if (vertexOpen_) {
        VertexGroup(code, value);
        return;
    }
    Entity& e = entity_;
    const Kind kind = e.kind;
    switch (code) {
        case 101:
            // An embedded object (an MTEXT's columns) to the entity's end:
            // its groups are not the entity's own.
            reading_ = false;
            break;
        case 2:
            if (kind == Kind::Insert) e.name = value;
            break;
        case 10:
            if (kind == Kind::LwPolyline)
                Append(e.vertices, PolyVertex{Number(value), 0, 0, 0, 0}, truncated_);
            else if (kind == Kind::Spline)
                Append(e.control, Vec3{Number(value), 0, 0}, truncated_);
            else
                e.a.x = Number(value);
            break;
        case 20:
            if (kind == Kind::LwPolyline) {
                if (!e.vertices.empty()) e.vertices.back().y = Number(value);
            } else if (kind == Kind::Spline) {
                if (!e.control.empty()) e.control.back().y = Number(value);
            } else {
                e.a.y = Number(value);
            }
            break;
        case 30:
            if (!NeedsZ(e)) break;
            if (kind == Kind::Spline) {
                if (!e.control.empty()) e.control.back().z = Number(value);
            } else {
                e.a.z = Number(value);
            }
            break;
        case 11:
            if (kind == Kind::Spline)
                Append(e.fit, Vec3{Number(value), 0, 0}, truncated_);
            else
                e.b.x = Number(value);
            break;
        case 21:
            if (kind == Kind::Spline) {
                if (!e.fit.empty()) e.fit.back().y = Number(value);
            } else {
                e.b.y = Number(value);
            }
            break;
        case 31:
            if (!NeedsZ(e)) break;
            if (kind == Kind::Spline) {
                if (!e.fit.empty()) e.fit.back().z = Number(value);
            } else {
                e.b.z = Number(value);
            }
            break;
        case 38:
            e.elevation = Number(value);
            break;
        case 40:
            if (kind == Kind::Spline)
                Append(e.knots, Number(value), truncated_);
            else
                e.g40 = Number(value);
            break;
        case 41:
            if (kind == Kind::Spline)
                Append(e.weights, Number(value), truncated_);
            else
                e.g41 = Number(value);
            break;
        case 42:
            if (kind == Kind::LwPolyline) {
                if (!e.vertices.empty()) e.vertices.back().bulge = Number(value);
            } else {
                e.g42 = Number(value);
            }
            break;
        case 43:
            e.g43 = Number(value);
            break;
        case 44:
            e.g44 = Number(value);
            break;
        case 45:
            e.g45 = Number(value);
            break;
        case 50:
            e.g50 = Number(value);
            break;
        case 51:
            e.g51 = Number(value);
            break;
        case 67:
            e.paper = Integer(value) == 1;
            break;
        case 70:
            e.g70 = Integer(value);
            break;
        case 71:
            e.g71 = Integer(value);
            break;
        case 210:
            e.extrusion.x = Number(value);
            break;
        case 220:
            e.extrusion.y = Number(value);
            break;
        case 230:
            e.extrusion.z = Number(value);
            break;
        default:
            break;
    }
}

void Collector::VertexGroup(int code, std::string_view value) {
    switch (code) {
        case 10:
            vertex_.x = Number(value);
            break;
        case 20:
            vertex_.y = Number(value);
            break;
        case 30:
            // Only in a block: a 2D polyline lies at its elevation, and a 3D
            // one of model space is drawn from X and Y.
            if (entity_.block != kNone) vertex_.z = Number(value);
            break;
        case 42:
            vertex_.bulge = Number(value);
            break;
        case 70:
            vertex_.flags = Integer(value);
            break;
        default:
            break;
    }
}

void Collector::EndEntity() {
    const Entity& e = entity_;
    const Kind kind = e.kind;
    entity_.kind = Kind::None;
    reading_ = false;
    if (e.paper) return;
    points_.clear();
    switch (kind) {
        case Kind::Line:
            Push(e.a);
            Push(e.b);
            Put(EntityType::Line);
            break;
        case Kind::LwPolyline:
            Bulged(e.vertices, (e.g70 & 1) != 0, true, true, e.elevation);
            ToWorld(e.extrusion);
            Put(EntityType::Polyline2D);
            break;
        case Kind::Polyline: {
            // Meshes and polyface meshes are no lines.
            if ((e.g70 & (16 | 64)) != 0) break;
            const bool is3D = (e.g70 & 8) != 0;
            Bulged(e.vertices, (e.g70 & 1) != 0, !is3D, !is3D, e.a.z);
            if (!is3D) ToWorld(e.extrusion);
            Put(is3D ? EntityType::Polyline3D : EntityType::Polyline2D);
            break;
        }
        case Kind::Circle:
            CircleArc(EntityType::Circle, e.g40, 0, kTurn);
            break;
        case Kind::Arc:
            CircleArc(EntityType::Arc, e.g40, std::fmod(e.g50, 360.0) * std::numbers::pi / 180,
                      Sweep(e.g50, e.g51, 360.0) * std::numbers::pi / 180);
            break;
        case Kind::Ellipse:
            EllipseArc();
            break;
        case Kind::Spline:
            SplinePoints();
            Put(EntityType::Spline);
            break;
        case Kind::Text:
            PutMark(EntityType::Text, e.extrusion.x == 0 && e.extrusion.y == 0 && e.extrusion.z == 1
                                          ? e.a
                                          : OcsToWcs(e.extrusion).Apply(e.a));
            break;
        case Kind::MText:
            PutMark(EntityType::MText, e.a);
            break;
        case Kind::Insert: {
            InsertPlacement placement;
            placement.insert = e.a;
            placement.scale = {e.g41, e.g42, e.g43};
            placement.rotationDegrees = e.g50;
            placement.extrusion = e.extrusion;
            placement.columns = e.g70;
            placement.rows = e.g71;
            placement.columnSpacing = e.g44;
            placement.rowSpacing = e.g45;
            // Cells at one place are drawn once.
            if (placement.columnSpacing == 0) placement.columns = std::min(placement.columns, 1);
            if (placement.rowSpacing == 0) placement.rows = std::min(placement.rows, 1);
            BlockRef ref{TableKey(e.name), placement};
            if (e.block != kNone) {
                BlockGeometry& owner = blocks_[e.block];
                owner.items.push_back(
                    {BlockGeometry::Kind::Ref, static_cast<std::uint32_t>(owner.refs.size())});
                owner.refs.push_back(std::move(ref));
                break;
            }
            AddMark(EntityType::Block, OcsToWcs(e.extrusion).Apply(e.a));
            PlaceRef(ref, Transform::Identity(), 0);
            break;
        }
        case Kind::None:
            break;
    }
}

// The vertices of a polyline with the arcs of their bulges, in its own
// coordinates: a 2D polyline at its elevation, vertices that only frame a
// spline left out.
void Collector::Bulged(const std::vector<PolyVertex>& vertices, bool closed, bool useBulges,
                       bool flat, double z) {
    const PolyVertex* first = nullptr;
    const PolyVertex* last = nullptr;
    for (const PolyVertex& v : vertices) {
        if ((v.flags & 16) != 0) continue;
        if (last == nullptr) {
            first = &v;
            Push({v.x, v.y, flat ? z : v.z});
        } else if (useBulges) {
            BulgeTo(*last, v, z);
        } else {
            Push({v.x, v.y, v.z});
        }
        last = &v;
    }
    if (!closed || first == nullptr) return;
    if (useBulges)
        BulgeTo(*last, *first, z);
    else
        Push({first->x, first->y, first->z});
}

// From the last point to `to` along the bulge of `from`: 4 atan(bulge) is
// the angle the arc turns through, counterclockwise for a positive bulge.
void Collector::BulgeTo(const PolyVertex& from, const PolyVertex& to, double z) {
    const double dx = to.x - from.x, dy = to.y - from.y;
    const double chord = std::sqrt(dx * dx + dy * dy);
    const double b = from.bulge;
    if (b != 0 && chord > 0 && std::isfinite(b)) {
        const double turn = 4 * std::atan(b);
        // The centre lies on the chord's normal, to the left for a positive bulge.
        const double offset = (1 - b * b) / (4 * b);
        const double cx = (from.x + to.x) / 2 - dy * offset, cy = (from.y + to.y) / 2 + dx * offset;
        const double radius = chord * (1 + b * b) / (4 * std::abs(b));
        const double start = std::atan2(from.y - cy, from.x - cx);
        const int n = ArcSegments(turn);
        ArcRun({cx, cy, z}, radius, start, turn / n, 1, n - 1);
    }
    Push({to.x, to.y, z});
}

// Points `first` to `last` of an arc from angle `start` in steps of `step`,
// turned one step after another.
void Collector::ArcRun(Vec3 center, double radius, double start, double step, int first, int last) {
    const double c1 = std::cos(step), s1 = std::sin(step);
    double c = std::cos(start + step * first), s = std::sin(start + step * first);
    for (int k = first; k <= last; ++k) {
        Push({center.x + radius * c, center.y + radius * s, center.z});
        const double turned = c * c1 - s * s1;
        s = s * c1 + c * s1;
        c = turned;
    }
}

void Collector::CircleArc(EntityType type, double radius, double start, double sweep) {
    const Entity& e = entity_;
    if (!(radius > 0) || !std::isfinite(radius) || !std::isfinite(start)) return;
    const Transform toWorld = OcsToWcs(e.extrusion);
    const Transform& m = toWorld;
    BlockArc arc{toWorld.Apply(e.a),
                 {m.m[0][0] * radius, m.m[1][0] * radius, m.m[2][0] * radius},
                 {m.m[0][1] * radius, m.m[1][1] * radius, m.m[2][1] * radius},
                 start,
                 sweep,
                 type};
    PutArc(arc);
}

// In world coordinates: the minor axis is the extrusion direction across the
// major axis, `ratio` times as long; 41 and 42 are the parameters of its ends.
void Collector::EllipseArc() {
    const Entity& e = entity_;
    const Vec3 major = e.b;
    const Vec3 across = Cross(e.extrusion, major);
    const double acrossLength = Length(across);
    if (acrossLength == 0 || !std::isfinite(acrossLength)) return;
    const double scale = Length(major) * e.g40 / acrossLength;
    const Vec3 minor{across.x * scale, across.y * scale, across.z * scale};
    if (!std::isfinite(e.g41) || !std::isfinite(e.g42)) return;
    PutArc({e.a, major, minor, std::fmod(e.g41, kTurn), Sweep(e.g41, e.g42, kTurn),
            EntityType::Ellipse});
}

// The B-spline of degree 71 over knots 40, control points 10 and weights 41
// (when there is one for every control point), by de Boor's algorithm over
// its domain; a spline given by fit points alone: those joined.
void Collector::SplinePoints() {
    const Entity& e = entity_;
    const std::size_t n = e.control.size();
    const int p = e.g71;
    const auto degree = static_cast<std::size_t>(std::max(p, 0));
    bool curve = p >= 1 && p <= kMostDegree && n > degree && e.knots.size() == n + degree + 1;
    for (std::size_t i = 0; curve && i + 1 < e.knots.size(); ++i)
        curve = e.knots[i] <= e.knots[i + 1] && std::isfinite(e.knots[i + 1]);
    curve = curve && e.knots[degree] < e.knots[n];
    if (curve) {
        tolerance_ = DrawingGeometry::kSplineTolerance * Diagonal(e.control);
        bool first = true;
        Vec3 pa;
        for (std::size_t span = degree; span < n; ++span) {
            const double a = e.knots[span], b = e.knots[span + 1];
            if (!(a < b)) continue;
            if (first) {
                pa = SplineAt(a, span);
                Push(pa);
                first = false;
            }
            const Vec3 pb = SplineAt(b, span);
            Refine([&](double u) { return SplineAt(u, span); }, a, pa, b, pb, 0);
            pa = pb;
        }
        return;
    }
    const std::vector<Vec3>& points = n >= 2 ? e.control : e.fit;
    for (const Vec3& q : points) Push(q);
    if ((e.g70 & 1) != 0 && points.size() > 2) Push(points.front());
}

// The chord from `at`(a) to `at`(b), halved while the curve strays from it
// by more than the tolerance at its middle or quarters; the point at a is
// drawn already.
template <typename Curve>
void Collector::Refine(const Curve& at, double a, Vec3 pa, double b, Vec3 pb, int halvings) {
    const double m = (a + b) / 2;
    const Vec3 pm = at(m);
    if (halvings < kMostHalvings &&
        (Offset(pm, pa, pb) > tolerance_ || Offset(at((a + m) / 2), pa, pb) > tolerance_ ||
         Offset(at((m + b) / 2), pa, pb) > tolerance_)) {
        Refine(at, a, pa, m, pm, halvings + 1);
        Refine(at, m, pm, b, pb, halvings + 1);
        return;
    }
    Push(pb);
}

// The point at u of knot span `span` (knots[span] <= u <= knots[span + 1]).
Vec3 Collector::SplineAt(double u, std::size_t span) const {
    const Entity& e = entity_;
    const auto p = static_cast<std::size_t>(e.g71);
    const bool rational = e.weights.size() == e.control.size();
    std::array<std::array<double, 4>, kMostDegree + 1> d;
    for (std::size_t j = 0; j <= p; ++j) {
        const Vec3& c = e.control[span - p + j];
        const double w = rational ? e.weights[span - p + j] : 1.0;
        d[j] = {c.x * w, c.y * w, c.z * w, w};
    }
    const std::vector<double>& t = e.knots;
    for (std::size_t r = 1; r <= p; ++r) {
        for (std::size_t j = p; j >= r; --j) {
            const double left = t[j + span - p], right = t[j + 1 + span - r];
            const double alpha = right > left ? (u - left) / (right - left) : 0;
            for (std::size_t k = 0; k < 4; ++k)
                d[j][k] = (1 - alpha) * d[j - 1][k] + alpha * d[j][k];
        }
    }
    const double w = d[p][3] != 0 ? d[p][3] : 1;
    return {d[p][0] / w, d[p][1] / w, d[p][2] / w};
}

// Points in the object coordinates of extrusion direction `extrusion` to
// world coordinates.
void Collector::ToWorld(Vec3 extrusion) {
    if (extrusion.x == 0 && extrusion.y == 0 && extrusion.z == 1) return;
    const Transform toWorld = OcsToWcs(extrusion);
    for (Vec3& p : points_) p = toWorld.Apply(p);
}

void Collector::Put(EntityType type) {
    if (points_.empty() || !Drawable(points_)) return;
    if (entity_.block == kNone) {
        AddPolyline(type, points_);
        return;
    }
    if (blockVertices_ + points_.size() > DrawingGeometry::kMostVertices) {
        truncated_ = true;
        return;
    }
    blockVertices_ += points_.size();
    blocks_[entity_.block].Add(type, points_);
}

void Collector::PutMark(EntityType type, Vec3 p) {
    if (!Finite(p)) return;
    if (entity_.block == kNone) {
        AddMark(type, p);
        return;
    }
    if (blockVertices_ >= DrawingGeometry::kMostVertices) {
        truncated_ = true;
        return;
    }
    ++blockVertices_;
    BlockGeometry& block = blocks_[entity_.block];
    block.items.push_back(
        {BlockGeometry::Kind::Mark, static_cast<std::uint32_t>(block.markTypes.size())});
    block.markTypes.push_back(type);
    block.marks.push_back(p);
}

void Collector::PutArc(const BlockArc& arc) {
    if (!std::isfinite(arc.start) || !std::isfinite(arc.sweep)) return;
    if (entity_.block == kNone) {
        AddArc(arc, Transform::Identity());
        return;
    }
    if (blockVertices_ + DrawingGeometry::kArcVertices > DrawingGeometry::kMostVertices) {
        truncated_ = true;
        return;
    }
    blockVertices_ += DrawingGeometry::kArcVertices;
    BlockGeometry& block = blocks_[entity_.block];
    block.items.push_back(
        {BlockGeometry::Kind::Arc, static_cast<std::uint32_t>(block.arcs.size())});
    block.arcs.push_back(arc);
}

void Collector::Take(double x, double y) {
    if (!hasExtent_) {
        out_.extent = {x, y, x, y};
        hasExtent_ = true;
    }
    GeometryExtent& e = out_.extent;
    e.minX = std::min(e.minX, x);
    e.minY = std::min(e.minY, y);
    e.maxX = std::max(e.maxX, x);
    e.maxY = std::max(e.maxY, y);
}

// Whether `count` more of what the cap counts fit; when not, the geometry
// is full.
bool Collector::Room(std::size_t count) {
    if (used_ + count <= DrawingGeometry::kMostVertices) {
        used_ += count;
        return true;
    }
    truncated_ = full_ = true;
    return false;
}

bool Collector::AddPolyline(EntityType type, const std::vector<Vec3>& points) {
    if (points.empty() || !Drawable(points)) return true;
    if (!Room(points.size())) return false;
    const double ax = points.front().x, ay = points.front().y;
    Take(ax, ay);
    out_.starts.push_back(static_cast<std::uint32_t>(out_.Vertices()));
    out_.anchors.push_back(ax);
    out_.anchors.push_back(ay);
    out_.types.push_back(type);
    GeometryExtent e = out_.extent;
    const std::size_t at = out_.xy.size();
    out_.xy.resize(at + 2 * (points.size() - 1));
    float* xy = out_.xy.data() + at;
    for (std::size_t k = 0; k < points.size(); ++k) {
        const Vec3& p = points[k];
        e.minX = std::min(e.minX, p.x);
        e.minY = std::min(e.minY, p.y);
        e.maxX = std::max(e.maxX, p.x);
        e.maxY = std::max(e.maxY, p.y);
        if (k == 0) continue;  // the anchor
        *xy++ = static_cast<float>(p.x - ax);
        *xy++ = static_cast<float>(p.y - ay);
    }
    out_.extent = e;
    return true;
}

void Collector::AddMark(EntityType type, Vec3 p) {
    if (!Finite(p) || !Room(1)) return;
    Take(p.x, p.y);
    out_.markTypes.push_back(type);
    out_.markXY.push_back(p.x);
    out_.markXY.push_back(p.y);
}

// Whether t lies on the arc from `start` through start + sweep.
bool OnArc(double t, double start, double sweep) {
    double d = std::fmod(t - start, kTurn);
    if (d < 0) d += kTurn;
    return d <= sweep;
}

void Collector::AddArc(const BlockArc& arc, const Transform& toWorld) {
    const Vec3 c = toWorld.Apply(arc.centre);
    const auto turned = [&](Vec3 a) {
        const auto& m = toWorld.m;
        return Vec3{m[0][0] * a.x + m[0][1] * a.y + m[0][2] * a.z,
                    m[1][0] * a.x + m[1][1] * a.y + m[1][2] * a.z, 0};
    };
    const Vec3 u = turned(arc.u), v = turned(arc.v);
    constexpr double kReach = 1e37;
    if (!Finite(c) || !Finite(u) || !Finite(v) || !(std::abs(u.x) + std::abs(u.y) < kReach) ||
        !(std::abs(v.x) + std::abs(v.y) < kReach))
        return;
    if (!Room(DrawingGeometry::kArcVertices)) return;
    GeometryArc a;
    a.x = c.x;
    a.y = c.y;
    a.ux = static_cast<float>(u.x);
    a.uy = static_cast<float>(u.y);
    a.vx = static_cast<float>(v.x);
    a.vy = static_cast<float>(v.y);
    a.start = arc.start;
    a.sweep = std::min(arc.sweep, kTurn);
    // Its box: its ends, and where it turns back in X or in Y.
    const auto at = [&](double t) {
        Take(c.x + u.x * std::cos(t) + v.x * std::sin(t),
             c.y + u.y * std::cos(t) + v.y * std::sin(t));
    };
    at(a.start);
    at(a.start + a.sweep);
    for (const double turn : {std::atan2(v.x, u.x), std::atan2(v.y, u.y)})
        for (const double t : {turn, turn + std::numbers::pi})
            if (OnArc(t, a.start, a.sweep)) at(t);
    out_.arcs.push_back(a);
    out_.arcTypes.push_back(arc.type);
}

void Collector::PlaceRef(const BlockRef& ref, const Transform& outer, int depth) {
    const auto found = blockIndex_.find(ref.key);
    if (found == blockIndex_.end()) return;
    const std::size_t block = found->second;
    for (int row = 0; row < ref.placement.rows; ++row)
        for (int column = 0; column < ref.placement.columns; ++column) {
            if (placements_ >= DrawingGeometry::kMostPlacements || full_) {
                truncated_ = true;
                return;
            }
            Place(block,
                  outer.After(InsertTransform(ref.placement, blocks_[block].base, column, row)),
                  depth + 1);
        }
}

void Collector::Place(std::size_t index, const Transform& toWorld, int depth) {
    ++placements_;
    if (depth > DrawingGeometry::kMostNesting) {
        truncated_ = true;
        return;
    }
    const BlockGeometry& block = blocks_[index];
    for (const BlockGeometry::Item& item : block.items) {
        if (full_) return;
        const std::size_t i = item.index;
        switch (item.kind) {
            case BlockGeometry::Kind::Polyline: {
                const std::size_t end =
                    i + 1 < block.starts.size() ? block.starts[i + 1] : block.Vertices();
                placed_.clear();
                for (std::size_t v = block.starts[i]; v < end; ++v)
                    placed_.push_back(toWorld.Apply(block.Vertex(i, v)));
                AddPolyline(block.types[i], placed_);
                break;
            }
            case BlockGeometry::Kind::Arc:
                AddArc(block.arcs[i], toWorld);
                break;
            case BlockGeometry::Kind::Mark:
                AddMark(block.markTypes[i], toWorld.Apply(block.marks[i]));
                break;
            case BlockGeometry::Kind::Ref:
                PlaceRef(block.refs[i], toWorld, depth);
                break;
        }
    }
}

}  // namespace

std::unique_ptr<GeometryCollector> GeometryCollector::Create(DrawingGeometry& geometry,
                                                             std::uint64_t drawingBytes) {
    return std::make_unique<Collector>(geometry, drawingBytes);
}

}  // namespace korvel
