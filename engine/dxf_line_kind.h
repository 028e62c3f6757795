// What a DXF line is: a group code an extractor takes, a name the pass looks
// for, or any other line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace korvel {

// Decided once per line, while the line reader reads ahead, so that every
// test of the pass is a cheap comparison that stays valid after the reader
// has moved on to read a value.
enum class LineKind : std::uint8_t {
    Other,
    // Group codes, right-aligned in three columns.
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
    // The section the pass reads.
    Entities,
    // The entity types the pass converts, POLYLINE to MTEXT.
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
    // The parts of a POLYLINE.
    Vertex,
    Seqend,
    // Group codes read only with the options beyond the record: block
    // references (scale, rotation, attributes follow, columns and rows and
    // their spacing), paper space, and the extrusion direction of an entity.
    G41,
    G42,
    G44,
    G45,
    G50,
    G66,
    G67,
    G71,
    G210,
    G220,
    G230,
    G3,  // the text of an MTEXT beyond its first 250 characters
};

inline constexpr std::size_t kLineKindCount = static_cast<std::size_t>(LineKind::G3) + 1;

// The group codes the options add; without them they are lines like any other.
constexpr bool IsOptionGroup(LineKind kind) {
    return kind >= LineKind::G41;
}

constexpr bool IsEntityName(LineKind kind) {
    return kind >= LineKind::Polyline && kind <= LineKind::MText;
}

// The name line of an entity kind, as the drawing writes it ("INSERT"); empty
// for the other kinds.
std::string_view EntityName(LineKind kind);

// Whole-line, case-sensitive comparisons with the fixed texts: the line is
// taken as it stands, blanks and all.
LineKind ClassifyLine(std::string_view line);

}  // namespace korvel
