#pragma once
// Shape records turned into what can be drawn: for each fill style the closed contours that
// bound it, and for each line style the lines drawn with it. Built once per shape and kept.

#include "engine/definitions/Characters.h"

#include <cstdint>
#include <vector>

namespace kinovex::flash {

struct Point {
    double x = 0.0;
    double y = 0.0;
    bool operator==(const Point&) const = default;
};

struct Edge {
    Point from;
    Point control; // curves only
    Point to;
    bool curve = false;

    Edge reversed() const { return Edge{to, control, from, curve}; }
};

// Edges joined end to start.
using Contour = std::vector<Edge>;

struct FillPath {
    std::uint32_t fill = 0; // 1-based index into the layer's style table
    std::vector<Contour> contours;
};

struct StrokePath {
    std::uint32_t line = 0; // 1-based
    std::vector<Contour> lines;
};

// A new-styles record starts a new layer, drawn above the previous one.
struct ShapeLayer {
    std::uint32_t styleTable = 0;
    std::vector<FillPath> fills;     // in fill style order
    std::vector<StrokePath> strokes; // in line style order
};

struct ShapeGeometry {
    std::vector<ShapeLayer> layers;
};

// Every fill edge goes to the style on its right as given (fill1) and to the style on its left
// reversed (fill0), so each style's edges all run the same way round; they are then chained by
// matching end points into closed contours.
ShapeGeometry buildGeometry(const std::vector<ShapeRecord>& records);

// Joins edges into contours by matching end points. Open chains (damaged shapes) are kept as
// they are; drawing closes them.
std::vector<Contour> joinEdges(std::vector<Edge> edges);

// The records of a morph shape at `ratio` (0 = start, 65535 = end).
std::vector<ShapeRecord> interpolateMorph(const MorphShape& morph, std::uint16_t ratio);
StyleTable interpolateMorphStyles(const MorphShape& morph, std::uint16_t ratio);

} // namespace kinovex::flash
