#include "engine/dxf_line_kind.h"

#include <array>
#include <cstring>
#include <iterator>

namespace korvel {

namespace {

// The kinds of the two-digit group codes " 10" to " 99", by their value.
constexpr std::array<LineKind, 100> kTwoDigitCodes = [] {
    std::array<LineKind, 100> kinds{};
    kinds.fill(LineKind::Other);
    kinds[10] = LineKind::G10;
    kinds[11] = LineKind::G11;
    kinds[20] = LineKind::G20;
    kinds[21] = LineKind::G21;
    kinds[30] = LineKind::G30;
    kinds[31] = LineKind::G31;
    kinds[38] = LineKind::G38;
    kinds[41] = LineKind::G41;
    kinds[42] = LineKind::G42;
    kinds[43] = LineKind::G43;
    kinds[44] = LineKind::G44;
    kinds[45] = LineKind::G45;
    kinds[50] = LineKind::G50;
    kinds[66] = LineKind::G66;
    kinds[67] = LineKind::G67;
    kinds[70] = LineKind::G70;
    kinds[71] = LineKind::G71;
    return kinds;
}();

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

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
            case '3':
                return LineKind::G3;
            case '5':
                return LineKind::G5;
            case '8':
                return LineKind::G8;
            default:
                return LineKind::Other;
        }
    }
    if (!IsDigit(s[1]) || !IsDigit(s[2])) return LineKind::Other;
    return kTwoDigitCodes[static_cast<std::size_t>((s[1] - '0') * 10 + (s[2] - '0'))];
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
