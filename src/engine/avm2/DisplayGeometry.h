#pragma once
// How a display object's position, scale and rotation turn into its matrix and back, as
// scripts set and read them.

#include "engine/swf/Types.h"

#include <cstdint>

namespace kinovex::flash::avm2 {

// A coordinate a script sets, in pixels, kept as whole twips: the part of a twip is cut off
// towards zero, what lies past the 32-bit range stops at its end, and what is not a number is 0.
std::int32_t twipsOf(double pixels);

// A rotation a script sets, in degrees, brought into -180 ... 180 (both ends kept).
double normalizedRotation(double degrees);

// Scale and rotation (degrees) as scripts see them.
struct ScaleRotation {
    double scaleX = 1;
    double scaleY = 1;
    double rotation = 0;
};

// Read from a matrix: a mirrored matrix gets a negative vertical scale.
ScaleRotation scaleRotationOf(const Matrix& m);
// The matrix with that scale and rotation, its offset kept.
Matrix withScaleRotation(const Matrix& m, const ScaleRotation& sr);

} // namespace kinovex::flash::avm2
