#pragma once
// Plain values that movies are made of: rectangles, colours, matrices, colour transforms.

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace kinovex::flash {

// A rectangle in twips (1/20 pixel), as the movie stores it.
struct Rect {
    std::int32_t xMin = 0;
    std::int32_t xMax = 0;
    std::int32_t yMin = 0;
    std::int32_t yMax = 0;

    std::int32_t width() const { return xMax - xMin; }
    std::int32_t height() const { return yMax - yMin; }
    bool operator==(const Rect&) const = default;
};

// Straight (not premultiplied) colour.
struct Rgba {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    std::uint8_t a = 255;
    bool operator==(const Rgba&) const = default;
};

// Maps x, y to (a*x + c*y + tx, b*x + d*y + ty); the translation is in twips.
struct Matrix {
    double a = 1.0;
    double b = 0.0;
    double c = 0.0;
    double d = 1.0;
    double tx = 0.0;
    double ty = 0.0;

    bool operator==(const Matrix&) const = default;

    // this * other: applies `other` first.
    Matrix operator*(const Matrix& o) const {
        return Matrix{a * o.a + c * o.b, b * o.a + d * o.b,        a * o.c + c * o.d,
                      b * o.c + d * o.d, a * o.tx + c * o.ty + tx, b * o.tx + d * o.ty + ty};
    }
    static Matrix translate(double x, double y) { return Matrix{1, 0, 0, 1, x, y}; }
    static Matrix scale(double sx, double sy) { return Matrix{sx, 0, 0, sy, 0, 0}; }
};

// False for a matrix that squashes everything onto a line or a point, or holds a value that is
// not a number: nothing drawn through it shows, and it has no inverse.
inline bool invertible(const Matrix& m) {
    const double det = m.a * m.d - m.b * m.c;
    return std::isfinite(det) && std::abs(det) > 1e-12 && std::isfinite(m.tx) &&
           std::isfinite(m.ty);
}

// The matrix that undoes `m`, when it is invertible.
inline bool invert(const Matrix& m, Matrix& out) {
    if (!invertible(m)) {
        return false;
    }
    const double det = m.a * m.d - m.b * m.c;
    out.a = m.d / det;
    out.b = -m.b / det;
    out.c = -m.c / det;
    out.d = m.a / det;
    out.tx = -(out.a * m.tx + out.c * m.ty);
    out.ty = -(out.b * m.tx + out.d * m.ty);
    return true;
}

// Colour transform: each channel becomes clamp(channel * mult / 256 + add). Kept in doubles so
// that nested transforms compose without rounding at every level.
struct ColorTransform {
    double rMult = 1.0;
    double gMult = 1.0;
    double bMult = 1.0;
    double aMult = 1.0;
    double rAdd = 0.0; // in 0..255 units
    double gAdd = 0.0;
    double bAdd = 0.0;
    double aAdd = 0.0;

    bool operator==(const ColorTransform&) const = default;
    bool isIdentity() const { return *this == ColorTransform{}; }

    // this(other(colour)): `other` applies first.
    ColorTransform operator*(const ColorTransform& o) const {
        return ColorTransform{rMult * o.rMult,       gMult * o.gMult,       bMult * o.bMult,
                              aMult * o.aMult,       rMult * o.rAdd + rAdd, gMult * o.gAdd + gAdd,
                              bMult * o.bAdd + bAdd, aMult * o.aAdd + aAdd};
    }

    Rgba apply(Rgba c) const {
        auto ch = [](double v, double m, double add) {
            return static_cast<std::uint8_t>(std::clamp(v * m + add, 0.0, 255.0));
        };
        return Rgba{ch(c.r, rMult, rAdd), ch(c.g, gMult, gAdd), ch(c.b, bMult, bAdd),
                    ch(c.a, aMult, aAdd)};
    }
};

} // namespace kinovex::flash
