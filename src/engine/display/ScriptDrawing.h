#pragma once
// What scripts draw into a movie clip with moveTo, lineTo, curveTo, beginFill and friends.
//
// The commands are kept as the records of a shape, so a drawing is filled, stroked, measured
// and hit-tested by the same code as the shapes a movie defines. The drawing lies beneath the
// clip's children.
//
// A fill runs from beginFill to endFill. Its outline is closed back to where it started when
// it ends (endFill, a new beginFill, or a moveTo inside it), with an edge that is filled but not
// stroked. A fill still open is shown closed the same way. Each fill starts a new layer, so
// what is drawn later covers what was drawn before, strokes included.
//
// Positions are stage pixels in the clip's own space; they are kept in whole twips.

#include "engine/definitions/Characters.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace kinovex::flash {

class ScriptDrawing {
public:
    ScriptDrawing();
    // A drawing that shows the same and goes on the same way (duplicateMovieClip), with a
    // serial of its own.
    std::shared_ptr<ScriptDrawing> copy() const;

    // Everything drawn goes; no line or fill is set any more and the pen is back at 0, 0.
    void clear();
    // The line drawn from now on; nothing for no line. Its width is in twips.
    void setLineStyle(const std::optional<LineStyle>& line);
    // Starts a fill at the pen (ending the one that is open first); nothing ends the fill.
    void beginFill(const std::optional<FillStyle>& fill);
    void endFill();
    void moveTo(double x, double y);
    void lineTo(double x, double y);
    void curveTo(double controlX, double controlY, double x, double y);

    bool empty() const { return m_edges == 0; }
    std::size_t edgeCount() const { return m_edges; }
    // Twips, in the clip's space: every edge with curves at their true extent and lines with half
    // their width. All zero when nothing is drawn.
    Rect bounds() const;
    // The drawing as a shape, open fill closed. Made again only after a change; the shape
    // given out is never changed afterwards.
    std::shared_ptr<const Shape> shape() const;
    // Changes with every change of what the drawing shows.
    std::uint64_t version() const { return m_version; }
    // Never the same for two drawings of one run, unlike their addresses.
    std::uint64_t serial() const { return m_serial; }

private:
    struct Pen {
        std::int32_t x = 0;
        std::int32_t y = 0;
        bool operator==(const Pen&) const = default;
    };

    static std::int32_t toTwips(double pixels);
    void changed();
    // The styles the next edge is drawn with; a style change record when they differ from
    // those of the last edge.
    void useStyles(std::uint32_t fill, std::uint32_t line);
    void newLayer();
    void closeFill(); // back to where the fill's outline started, filled only
    void addEdge(const ShapeRecord& edge, Pen to, Pen control);
    void include(double x, double y, double grow);

    std::vector<StyleTable> m_styles; // style tables as built so far: one per layer
    std::vector<ShapeRecord> m_recs;  // records as built so far
    std::size_t m_edges = 0;          // edges in m_recs
    Pen m_pen;                        // where the next edge starts
    Pen m_fillStart;                  // where the open fill's outline started
    bool m_filling = false;           // a fill is open (with a style, or without one)
    std::uint32_t m_fill = 0;         // its index in the current table; 0: nothing to fill
    std::uint32_t m_line = 0;         // the line's index in the current table; 0: none
    std::optional<LineStyle> m_lineStyle;
    std::uint32_t m_usedFill = 0; // styles of the last record written
    std::uint32_t m_usedLine = 0;
    bool m_layerUsed = false; // the current table has edges
    bool m_moved = true;      // the pen moved since the last edge: the next one says where
    double m_minX = 0, m_minY = 0, m_maxX = 0, m_maxY = 0;
    bool m_hasBounds = false;
    std::uint64_t m_version = 0;
    std::uint64_t m_serial;
    mutable std::shared_ptr<const Shape> m_shape; // the last shape given out
    mutable std::uint64_t m_shapeVersion = ~std::uint64_t{0};
};

} // namespace kinovex::flash
