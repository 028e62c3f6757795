// Placing the entities of a block where an INSERT shows them: the arbitrary
// axis rule of DXF object coordinate systems and the map of a block
// reference (base point, insertion point, scale, rotation, extrusion, and
// the column and row of a MINSERT).
#pragma once

#include <array>

namespace korvel {

struct Vec3 {
    double x = 0, y = 0, z = 0;
};

// p' = m p + t.
class Transform {
  public:
    static Transform Identity();
    Vec3 Apply(Vec3 p) const;
    // This map after `inner`: p -> this(inner(p)).
    Transform After(const Transform& inner) const;

    std::array<std::array<double, 3>, 3> m{};
    Vec3 t;
};

// The map from the object coordinate system of extrusion direction `n` to
// world coordinates, by the arbitrary axis rule. Identity for (0, 0, 1).
Transform OcsToWcs(Vec3 n);

struct InsertPlacement {
    Vec3 insert;
    Vec3 scale{1, 1, 1};
    double rotationDegrees = 0;
    Vec3 extrusion{0, 0, 1};
    int columns = 1, rows = 1;
    double columnSpacing = 0, rowSpacing = 0;
};

// The map from the block's coordinates to the coordinates the INSERT stands
// in, for one cell of a MINSERT: the base point to the insertion point moved
// by the cell's offset (in the INSERT's rotated object coordinates, not
// scaled), scaled, rotated about the extrusion direction.
Transform InsertTransform(const InsertPlacement& placement, Vec3 base, int column, int row);

}  // namespace korvel
