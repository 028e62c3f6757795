// The entity types a pass converts: what gives each one in the drawing, the
// setting that ticks it, its counter and label in the run report, and its
// name and colour in the preview. Every part reads them from this one table.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/dxf_line_kind.h"
#include "settings/export_settings.h"

namespace korvel {

// In the order of the run report's count lines.
enum class EntityType : std::uint8_t {
    Point,
    Circle,
    Arc,
    Ellipse,
    Block,
    Line,
    Polyline2D,
    Polyline3D,
    Spline,
    Text,
    MText,
};
inline constexpr std::size_t kEntityTypeCount = 11;

// The entities of each type one pass has read.
struct RunCounters {
    std::int32_t Points = 0;
    std::int32_t Circles = 0;
    std::int32_t Arcs = 0;
    std::int32_t Ellipses = 0;
    std::int32_t Blocks = 0;
    std::int32_t Lines = 0;
    std::int32_t Polylines2D = 0;
    std::int32_t Polylines3D = 0;
    std::int32_t Splines = 0;
    std::int32_t SingleTexts = 0;
    std::int32_t MultilineTexts = 0;

    inline std::int32_t& operator[](EntityType type);
    inline std::int32_t operator[](EntityType type) const;
    friend bool operator==(const RunCounters&, const RunCounters&) = default;
};

// The counts and running numbers wrap around at the 32-bit limits instead of
// overflowing.
inline std::int32_t Incremented(std::int32_t v) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(v) + 1u);
}

struct EntityTypeInfo {
    EntityType type;
    // The entities that give it: a POLYLINE is a 2D or a 3D polyline by its
    // flags. LineKind::Other fills the second place where there is one only.
    std::array<LineKind, 2> drawingKinds;
    BoolField flag;
    std::int32_t RunCounters::*counter;
    std::string_view name;  // "2D Polylines": the report's label and the legend's name
    // The preview's colour, 0xRRGGBB: Okabe and Ito's colours for those who
    // do not tell red from green, and Tol's for the types beyond them.
    std::uint32_t rgb;
};

// clang-format off
inline constexpr std::array<EntityTypeInfo, kEntityTypeCount> kEntityTypes{{
    {EntityType::Point, {LineKind::Point, LineKind::Other},
     field::ProcessPoints, &RunCounters::Points, "Points", 0xD55E00},
    {EntityType::Circle, {LineKind::Circle, LineKind::Other},
     field::ProcessCircles, &RunCounters::Circles, "Circles", 0xE69F00},
    {EntityType::Arc, {LineKind::Arc, LineKind::Other},
     field::ProcessArcs, &RunCounters::Arcs, "Arcs", 0x999933},
    {EntityType::Ellipse, {LineKind::Ellipse, LineKind::Other},
     field::ProcessEllipses, &RunCounters::Ellipses, "Ellipses", 0xCC79A7},
    {EntityType::Block, {LineKind::Insert, LineKind::Other},
     field::ProcessBlocks, &RunCounters::Blocks, "Blocks", 0x000000},
    {EntityType::Line, {LineKind::Line, LineKind::Other},
     field::ProcessLines, &RunCounters::Lines, "Lines", 0x0072B2},
    {EntityType::Polyline2D, {LineKind::LwPolyline, LineKind::Polyline},
     field::Process2DPolylines, &RunCounters::Polylines2D, "2D Polylines", 0x009E73},
    {EntityType::Polyline3D, {LineKind::Polyline, LineKind::Other},
     field::Process3DPolylines, &RunCounters::Polylines3D, "3D Polylines", 0x56B4E9},
    {EntityType::Spline, {LineKind::Spline, LineKind::Other},
     field::ProcessSplines, &RunCounters::Splines, "Splines", 0x882255},
    {EntityType::Text, {LineKind::Text, LineKind::Other},
     field::ProcessText, &RunCounters::SingleTexts, "Single texts", 0x332288},
    {EntityType::MText, {LineKind::MText, LineKind::Other},
     field::ProcessMText, &RunCounters::MultilineTexts, "Multiline texts", 0x997700},
}};
// clang-format on

constexpr const EntityTypeInfo& Info(EntityType type) {
    return kEntityTypes[static_cast<std::size_t>(type)];
}

std::int32_t& RunCounters::operator[](EntityType type) {
    return this->*Info(type).counter;
}

std::int32_t RunCounters::operator[](EntityType type) const {
    return this->*Info(type).counter;
}

// Whether the type is ticked in `settings`.
inline bool Ticked(const ExportSettings& settings, EntityType type) {
    return settings.Get(Info(type).flag);
}

// "Points          : ": the name filled up to 16 characters, a colon and a blank.
std::string ReportLabel(EntityType type);

}  // namespace korvel
