#include "engine/block_transform.h"

#include <cmath>
#include <cstddef>
#include <numbers>

namespace korvel {

namespace {

Vec3 Cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

Vec3 Unit(Vec3 v) {
    const double length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    if (length == 0) return {0, 0, 1};
    return {v.x / length, v.y / length, v.z / length};
}

// The rotation by `degrees` about the z axis.
Transform RotationZ(double degrees) {
    Transform r = Transform::Identity();
    const double a = degrees * std::numbers::pi / 180.0;
    const double c = std::cos(a), s = std::sin(a);
    r.m = {{{c, -s, 0}, {s, c, 0}, {0, 0, 1}}};
    return r;
}

}  // namespace

Transform Transform::Identity() {
    Transform t;
    t.m = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
    return t;
}

Vec3 Transform::Apply(Vec3 p) const {
    return {m[0][0] * p.x + m[0][1] * p.y + m[0][2] * p.z + t.x,
            m[1][0] * p.x + m[1][1] * p.y + m[1][2] * p.z + t.y,
            m[2][0] * p.x + m[2][1] * p.y + m[2][2] * p.z + t.z};
}

Transform Transform::After(const Transform& inner) const {
    Transform r;
    for (std::size_t i = 0; i < 3; ++i)
        for (std::size_t j = 0; j < 3; ++j)
            r.m[i][j] = m[i][0] * inner.m[0][j] + m[i][1] * inner.m[1][j] + m[i][2] * inner.m[2][j];
    r.t = Apply(inner.t);
    return r;
}

Transform OcsToWcs(Vec3 n) {
    const Vec3 az = Unit(n);
    if (az.x == 0 && az.y == 0 && az.z == 1) return Transform::Identity();
    // The arbitrary axis rule: the world Y axis unless the extrusion lies
    // within 1/64 of the world Z axis, then the world Z axis.
    constexpr double kLimit = 1.0 / 64.0;
    const Vec3 ax = Unit(std::abs(az.x) < kLimit && std::abs(az.y) < kLimit ? Cross({0, 1, 0}, az)
                                                                            : Cross({0, 0, 1}, az));
    const Vec3 ay = Unit(Cross(az, ax));
    Transform t = Transform::Identity();
    t.m = {{{ax.x, ay.x, az.x}, {ax.y, ay.y, az.y}, {ax.z, ay.z, az.z}}};
    return t;
}

Transform InsertTransform(const InsertPlacement& placement, Vec3 base, int column, int row) {
    // In the INSERT's object coordinates: p -> insert + R (offset + S (p - base)).
    Transform local = Transform::Identity();
    const Vec3& s = placement.scale;
    local.m = {{{s.x, 0, 0}, {0, s.y, 0}, {0, 0, s.z}}};
    local.t = {-s.x * base.x + static_cast<double>(column) * placement.columnSpacing,
               -s.y * base.y + static_cast<double>(row) * placement.rowSpacing, -s.z * base.z};
    Transform placed = RotationZ(placement.rotationDegrees).After(local);
    placed.t.x += placement.insert.x;
    placed.t.y += placement.insert.y;
    placed.t.z += placement.insert.z;
    return OcsToWcs(placement.extrusion).After(placed);
}

}  // namespace korvel
