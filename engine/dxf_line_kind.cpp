#include "engine/dxf_line_kind.h"

#include <cstring>
#include <iterator>

namespace korvel {

namespace {

LineKind ClassifyGroupCode(std::string_view s) {
    // s has three characters and begins with a blank.
    if (s[1] == ' ') {
        switch (s[2]) {
            case '0':
                return LineKind::G0;
            case '1':
                return LineKind::G1;
            case '2':
                return LineKind::G2;
            case '5':
                return LineKind::G5;
            case '8':
                return LineKind::G8;
            default:
                return LineKind::Other;
        }
    }
    switch ((s[1] << 8) | s[2]) {
        case ('1' << 8) | '0':
            return LineKind::G10;
        case ('1' << 8) | '1':
            return LineKind::G11;
        case ('2' << 8) | '0':
            return LineKind::G20;
        case ('2' << 8) | '1':
            return LineKind::G21;
        case ('3' << 8) | '0':
            return LineKind::G30;
        case ('3' << 8) | '1':
            return LineKind::G31;
        case ('3' << 8) | '8':
            return LineKind::G38;
        case ('4' << 8) | '1':
            return LineKind::G41;
        case ('4' << 8) | '2':
            return LineKind::G42;
        case ('4' << 8) | '3':
            return LineKind::G43;
        case ('4' << 8) | '4':
            return LineKind::G44;
        case ('4' << 8) | '5':
            return LineKind::G45;
        case ('5' << 8) | '0':
            return LineKind::G50;
        case ('6' << 8) | '6':
            return LineKind::G66;
        case ('6' << 8) | '7':
            return LineKind::G67;
        case ('7' << 8) | '1':
            return LineKind::G71;
        case ('7' << 8) | '0':
            return LineKind::G70;
        default:
            return LineKind::Other;
    }
}

// `s`, already known to have the name's length, equals the name: a compare of
// a few bytes the compiler does in registers.
template <std::size_t N>
bool Is(std::string_view s, const char (&name)[N]) {
    return std::memcmp(s.data(), name, N - 1) == 0;
}

}  // namespace

std::string_view EntityName(LineKind kind) {
    static constexpr std::string_view kNames[] = {"POLYLINE", "LWPOLYLINE", "POINT", "CIRCLE",
                                                  "ARC",      "ELLIPSE",    "LINE",  "SPLINE",
                                                  "INSERT",   "TEXT",       "MTEXT"};
    static_assert(std::size(kNames) == static_cast<std::size_t>(LineKind::MText) -
                                           static_cast<std::size_t>(LineKind::Polyline) + 1);
    if (!IsEntityName(kind)) return {};
    return kNames[static_cast<std::size_t>(kind) - static_cast<std::size_t>(LineKind::Polyline)];
}

// Dispatched on the length first.
LineKind ClassifyLine(std::string_view s) {
    switch (s.size()) {
        case 3:
            if (s[0] == ' ') return ClassifyGroupCode(s);
            if (s[0] == '2' && s[2] == '0') {
                if (s[1] == '1') return LineKind::G210;
                if (s[1] == '2') return LineKind::G220;
                if (s[1] == '3') return LineKind::G230;
            }
            return Is(s, "ARC") ? LineKind::Arc : LineKind::Other;
        case 4:
            if (Is(s, "LINE")) return LineKind::Line;
            if (Is(s, "TEXT")) return LineKind::Text;
            return LineKind::Other;
        case 5:
            if (Is(s, "POINT")) return LineKind::Point;
            if (Is(s, "MTEXT")) return LineKind::MText;
            return LineKind::Other;
        case 6:
            if (Is(s, "VERTEX")) return LineKind::Vertex;
            if (Is(s, "SEQEND")) return LineKind::Seqend;
            if (Is(s, "CIRCLE")) return LineKind::Circle;
            if (Is(s, "SPLINE")) return LineKind::Spline;
            if (Is(s, "INSERT")) return LineKind::Insert;
            return LineKind::Other;
        case 7:
            return Is(s, "ELLIPSE") ? LineKind::Ellipse : LineKind::Other;
        case 8:
            if (Is(s, "POLYLINE")) return LineKind::Polyline;
            if (Is(s, "ENTITIES")) return LineKind::Entities;
            return LineKind::Other;
        case 10:
            return Is(s, "LWPOLYLINE") ? LineKind::LwPolyline : LineKind::Other;
        default:
            return LineKind::Other;
    }
}

}  // namespace korvel
