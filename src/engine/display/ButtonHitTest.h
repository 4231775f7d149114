#pragma once
// Whether a point lies on what a display object draws: the fill areas of its shapes (by the
// fill rule the renderer uses) and the width of their lines, the boxes of texts, the pixels of
// bitmaps, through every sprite below it, with masks taken into account. Buttons use it for
// their hit areas.

#include "engine/definitions/ShapeGeometry.h"
#include "engine/display/HitOutline.h"
#include "engine/display/Timeline.h"

#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

namespace kinovex::flash {

class ButtonInstance;
class ScriptDrawing;

// A box in stage twips; empty until something is added.
struct HitBox {
    double xMin = 1e300;
    double yMin = 1e300;
    double xMax = -1e300;
    double yMax = -1e300;
    bool empty() const { return xMin > xMax; }
    void add(double x, double y);
};

class HitTester {
public:
    HitTester();
    ~HitTester();
    HitTester(const HitTester&) = delete;
    HitTester& operator=(const HitTester&) = delete;

    // `parent` maps the object's parent to the space `p` is in (stage twips for the main
    // timeline's objects). Invisible objects are hit too: callers decide about visibility.
    bool hitsObject(const DisplayObject& obj, const Matrix& parent, Point p, int nesting = 0);
    // What a script drew into `clip` (`full` maps the clip's space to that of `p`).
    bool hitsDrawing(const TimelineInstance& clip, const Matrix& full, Point p);
    // A drawing of no clip's (one a script made and keeps); none is never hit.
    bool hitsDrawing(const ScriptDrawing* drawing, const Matrix& full, Point p);
    // A clip's drawing or any of its objects (`full` maps the clip's space to that of `p`).
    bool hitsClip(const TimelineInstance& clip, const Matrix& full, Point p, int nesting = 0) {
        return hitsDrawing(clip, full, p) || hitsList(clip.displayList(), full, p, nesting);
    }
    // Any visible object of the list that no mask hides at `p`.
    bool hitsList(const DisplayList& list, const Matrix& m, Point p, int nesting = 0);
    // The visible objects of `list` that its masks leave uncovered at `p`, lowest depth first;
    // masks themselves are left out.
    std::vector<const DisplayObject*> unmasked(const DisplayList& list, const Matrix& m, Point p,
                                               int nesting = 0);
    // The button's hit area (`full` maps the button's own space to that of `p`).
    bool hitsButtonArea(const ButtonInstance& button, const Matrix& full, Point p, int nesting = 0);
    // The box of the hit area, in the space `full` maps to.
    HitBox buttonAreaBox(const ButtonInstance& button, const Matrix& full);

    std::size_t cachedShapes() const { return m_shapes.size(); }

private:
    struct ShapePaths {
        std::vector<FillOutline> fills; // one per fill style: areas of two styles never cancel
        std::vector<StrokeOutline> lines;
        bool nonZero = false;
        HitBox box; // of every edge, lines' half-widths included
    };

    bool hitsCharacter(const Character& c, const DisplayObject& obj, const Matrix& full, Point p);
    static ShapePaths buildPaths(const std::vector<ShapeRecord>& records,
                                 const std::vector<StyleTable>& styles, bool nonZero);
    const ShapePaths& pathsFor(const Shape& shape);
    static bool inPaths(const ShapePaths& paths, const Matrix& full, Point p);
    void addBox(const DisplayObject& obj, const Matrix& parent, HitBox& box, int nesting);
    void addListBox(const DisplayList& list, const Matrix& m, HitBox& box, int nesting);

    std::unordered_map<const Shape*, ShapePaths> m_shapes;
    // Scripts' drawings by serial, as of the version given (their shapes change as they draw).
    const ShapePaths* drawingPaths(const ScriptDrawing* drawing);
    struct DrawingPaths {
        std::uint64_t version = 0;
        ShapePaths paths;
    };
    std::unordered_map<std::uint64_t, DrawingPaths> m_drawings;
    // Morph shapes change with their ratio; the last ratio tested is kept.
    std::unordered_map<const MorphShape*, std::pair<std::uint16_t, ShapePaths>> m_morphs;
};

} // namespace kinovex::flash
