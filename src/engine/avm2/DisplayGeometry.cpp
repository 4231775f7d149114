#include "engine/avm2/DisplayGeometry.h"

#include <cmath>
#include <limits>
#include <numbers>

namespace kinovex::flash::avm2 {

std::int32_t twipsOf(double pixels) {
    const double t = std::trunc(pixels * 20);
    if (std::isnan(t)) {
        return 0;
    }
    constexpr double kMin = std::numeric_limits<std::int32_t>::min();
    constexpr double kMax = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(t < kMin ? kMin : (t > kMax ? kMax : t));
}

double normalizedRotation(double degrees) {
    double r = std::fmod(degrees, 360.0);
    if (r > 180) {
        r -= 360;
    } else if (r < -180) {
        r += 360;
    }
    return r;
}

ScaleRotation scaleRotationOf(const Matrix& m) {
    ScaleRotation sr;
    sr.scaleX = std::hypot(m.a, m.b);
    sr.scaleY = std::hypot(m.c, m.d);
    if (m.a * m.d - m.b * m.c < 0) {
        sr.scaleY = -sr.scaleY;
    }
    sr.rotation = std::atan2(m.b, m.a) * 180 / std::numbers::pi;
    return sr;
}

Matrix withScaleRotation(const Matrix& m, const ScaleRotation& sr) {
    const double rad = sr.rotation * std::numbers::pi / 180;
    const double cos = std::cos(rad);
    const double sin = std::sin(rad);
    Matrix out = m;
    out.a = sr.scaleX * cos;
    out.b = sr.scaleX * sin;
    out.c = -sr.scaleY * sin;
    out.d = sr.scaleY * cos;
    return out;
}

} // namespace kinovex::flash::avm2
