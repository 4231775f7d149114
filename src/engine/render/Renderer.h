#pragma once
// Draws display lists with cairo. Shapes are converted to cairo paths once and kept; bitmaps
// are decoded the first time they are drawn.

#include "engine/definitions/ShapeGeometry.h"
#include "engine/display/ScriptLayers.h"
#include "engine/display/Timeline.h"
#include "engine/media/BitmapDecoder.h"
#include "engine/render/BitmapTint.h"
#include "engine/render/Compositor.h"
#include "engine/render/Rasterizer.h"
#include "engine/swf/Log.h"

#include <algorithm>
#include <array>
#include <cairo.h>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace kinovex::flash {

class Movie;
class TextFieldPainter;
class TextFonts;

// A path in shape coordinates, built by hand so it needs no cairo context to exist.
struct CairoPath {
    std::vector<cairo_path_data_t> data;
    cairo_path_t view() const {
        return cairo_path_t{CAIRO_STATUS_SUCCESS, const_cast<cairo_path_data_t*>(data.data()),
                            static_cast<int>(data.size())};
    }
    bool empty() const { return data.empty(); }
};

CairoPath toCairoPath(const std::vector<Contour>& contours, bool closeContours);
// How cairo lays an object with `mode` over what lies beneath (Invert and Subtract: OVER).
cairo_operator_t blendOperator(BlendMode mode);
// The box `cr` may draw within, in device pixels: left, top, right, bottom.
std::array<double, 4> deviceClipExtents(cairo_t* cr);

struct CachedShape {
    struct Fill {
        std::uint32_t index; // 1-based into the layer's fills
        CairoPath path;
    };
    struct Stroke {
        std::uint32_t index;
        std::vector<CairoPath> lines; // one per polyline, closed ones closed
    };
    struct Layer {
        const StyleTable* styles = nullptr;
        std::vector<Fill> fills;
        std::vector<Stroke> strokes;
    };
    std::vector<Layer> layers;
    std::vector<StyleTable> ownStyles; // morph shapes: the styles at this ratio
    Rect bounds;                       // twips, of what is drawn, strokes included
    double maxNoScaleWidth = 0;        // twips: lines whose width ignores the object's scale
    bool nonZeroWinding = false;
};

// What a shape drawn into a bitmap of its own depends on. The whole-pixel part of the position
// is not part of it: the bitmap is drawn wherever the shape moves by whole pixels.
struct RasterKey {
    const void* shape = nullptr;
    double a = 0, b = 0, c = 0, d = 0, fx = 0, fy = 0;
    ColorTransform cx;
    double stagePixelScale = 0;
    bool operator==(const RasterKey&) const = default;
};

struct RasterKeyHash {
    std::size_t operator()(const RasterKey& k) const;
};

// A filtered object's picture as kept: its content, how it is turned, scaled and coloured,
// and its filters (not where it stands: it is laid on whole pixels). A picture the edge of
// what it was drawn on cut (an object reaching past the stage) holds only there: its key
// then has the whole pixel it stands on and the box it was drawn within.
struct FilteredKey {
    std::uint64_t content = 0;
    double a = 0, b = 0, c = 0, d = 0;
    ColorTransform cx;
    double stagePixelScale = 0;
    std::vector<Filter> filters;
    bool cut = false;
    std::array<double, 6> cutPlace{}; // x, y; the box's left, top, right, bottom
    bool operator==(const FilteredKey&) const = default;
};

struct FilteredKeyHash {
    std::size_t operator()(const FilteredKey& k) const;
};

class Renderer {
public:
    Renderer(const Movie& movie, Log& log);
    ~Renderer();
    Renderer(const Renderer&) = delete;
    Renderer& operator=(const Renderer&) = delete;

    // Draws `list` onto `cr`. `stageToDevice` maps twips of the stage to device pixels;
    // `stagePixelScale` is device pixels per stage pixel (for strokes that do not scale).
    void render(cairo_t* cr, const DisplayList& list, const Matrix& stageToDevice,
                double stagePixelScale, const std::vector<ScriptItem>& items = {});
    // The main timeline with what scripts drew into it, beneath its objects.
    void render(cairo_t* cr, const TimelineInstance& root, const Matrix& stageToDevice,
                double stagePixelScale);

    // Objects a script machine made, drawn among the timelines' own (none: only timelines).
    void setScriptLayers(const ScriptLayers* layers) { m_scriptLayers = layers; }

    std::size_t cachedShapeCount() const { return m_shapes.size(); }
    // Drawings made by scripts, as last drawn (only those drawn in the last two frames stay).
    std::size_t cachedDrawingCount() const { return m_drawings.size(); }
    // Memory for shapes kept drawn, to be placed again without drawing them anew.
    static constexpr std::size_t kDefaultShapeCacheBytes = 48u * 1024u * 1024u;
    void setShapeCacheBudget(std::size_t bytes) { m_rasterBudget = bytes; }
    std::size_t rasterCacheEntries() const { return m_raster.size(); }
    // The fonts text fields are laid out with (for their sizes as scripts read them).
    TextFonts& textFonts();

private:
    struct State {
        Matrix matrix;
        ColorTransform cx;
        bool mask = false;    // drawing a mask: only coverage counts
        bool inLayer = false; // inside a group that alpha and erase can act on
        int nesting = 0;
    };

    // `items`: objects scripts made, each drawn after the depth it stands above.
    void renderList(cairo_t* cr, const DisplayList& list, const State& state,
                    const std::vector<ScriptItem>& items = {});
    // What scripts made among `clip`'s children (none without script layers).
    std::vector<ScriptItem> scriptItemsOf(const TimelineInstance& clip) const;
    void renderScriptItem(cairo_t* cr, const ScriptItem& item, const State& parent);
    void drawScriptItemContent(cairo_t* cr, const ScriptItem& item, const State& state);
    // Its drawing, text or pixels, then its children.
    void drawScriptItemOwn(cairo_t* cr, const ScriptItem& item, const State& state);
    void drawPixels(cairo_t* cr, const ScriptPixels& pixels, const State& state);
    // `draw`'s picture through the coverage of a mask a script set, wherever the mask stands.
    // Clips to `scrollRect` (in the space of `state`) and moves what follows by its corner;
    // undone by cairo_restore.
    void beginScroll(cairo_t* cr, const Rect& scrollRect, State& state);
    void renderThroughMask(cairo_t* cr, const ScriptItem& mask, const State& state,
                           const std::function<void()>& draw);
    void drawDrawing(cairo_t* cr, const ScriptDrawing* drawing, const State& state);
    void renderObject(cairo_t* cr, const DisplayObject& obj, const State& parent);
    // Lays a blend mode's layer (`group`, as cairo_pop_group made it) on the target with our
    // own compositing; false, with nothing done, when the mode or the target needs cairo's.
    bool blendDirect(cairo_t* cr, cairo_pattern_t* group, BlendMode blend, const State& state);
    // What a script drew into `clip`, in the clip's space.
    void drawScriptDrawing(cairo_t* cr, const TimelineInstance& clip, const State& state);
    // A clip that a script masked with another clip (setMask): drawn through that clip's
    // coverage, wherever the mask clip stands.
    void renderScriptMasked(cairo_t* cr, const DisplayObject& obj, const State& state);
    void renderCharacter(cairo_t* cr, const Character* c, const DisplayObject* obj,
                         const State& state, std::uint16_t ratio);
    void drawShape(cairo_t* cr, const CachedShape& shape, const State& state);
    // Draws through the bitmap cache when the same shape is drawn the same way again.
    void drawShapeCached(cairo_t* cr, const CachedShape& shape, const State& state);
    void drawText(cairo_t* cr, const StaticText& text, const State& state);
    // Static text through the bitmap cache, as shapes.
    void drawTextCached(cairo_t* cr, const StaticText& text, const State& state);
    // What the bitmap cache keeps: a shape or a static text, which `draw` draws the same way
    // whenever it is given the same state; everything it draws lies within `bounds` (twips of
    // its own space), but for lines whose width ignores the scale, up to `maxNoScaleWidth`.
    struct Keepable {
        const void* key = nullptr;
        Rect bounds;
        double maxNoScaleWidth = 0;
        std::function<void(cairo_t*, const State&)> draw;
    };
    void drawKept(cairo_t* cr, const Keepable& what, const State& state);
    // The box of a static text's glyphs in its own twips; none when it shows no glyph.
    const std::optional<Rect>& textBounds(const StaticText& text);
    // `obj` (may be null) holds what the field shows now.
    void drawEditText(cairo_t* cr, const EditText& text, const DisplayObject* obj,
                      const State& state);
    // In its current look; `obj` (may be null) holds the button's state.
    void drawButton(cairo_t* cr, const Button& button, const DisplayObject* obj,
                    const State& state);
    bool setFillSource(cairo_t* cr, const FillStyle& fill, const State& state,
                       const Matrix& patternSpace);
    // A fill, or a line when `line` is set (`lineWidth` in device pixels).
    struct DirectPaint {
        const FillStyle* fill = nullptr;
        Matrix patternSpace; // the fill's space to the device (the object's matrix)
        cairo_fill_rule_t rule = CAIRO_FILL_RULE_EVEN_ODD;
        const LineStyle* line = nullptr;
        double lineWidth = 0.0;
    };
    // A rectangle of pixels, x1 and y1 excluded.
    struct PixelBox {
        int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        bool empty() const { return x1 <= x0 || y1 <= y0; }
        PixelBox intersect(const PixelBox& o) const {
            return PixelBox{std::max(x0, o.x0), std::max(y0, o.y0), std::min(x1, o.x1),
                            std::min(y1, o.y1)};
        }
    };
    // The image a context draws on, when it can be painted directly.
    struct DirectTarget {
        cairo_surface_t* surface = nullptr;
        double offX = 0, offY = 0; // device offset: pixel = device + offset
        int width = 0, height = 0;
        PixelBox clip;
    };
    bool directTarget(cairo_t* cr, const State& state, DirectTarget& out);
    bool directPaint(const DirectTarget& target, const DirectPaint& what, const ColorTransform& cx,
                     Paint& paint);
    // Draws the coverage of `paths` on the mask; the box of it that may be painted.
    PixelBox rasterize(const DirectTarget& target, const std::vector<const CairoPath*>& paths,
                       const Matrix& m, const DirectPaint& what);
    CoverageTarget coverageOver(std::uint32_t* pixels, int strideWords, int originX, int originY,
                                const PixelBox& box) const;
    static std::uint32_t* targetPixels(const DirectTarget& target);
    static void targetChanged(const DirectTarget& target, const PixelBox& box);
    // The objects a timeline mask reaches over, from beginMask to endMask. Where the target's
    // pixels can be reached they are drawn straight onto it, inside the box the mask covers,
    // and then what lay beneath comes back wherever the mask does not cover them fully; else
    // they are drawn in a group laid on through the mask.
    struct ActiveMask {
        std::uint16_t clipDepth = 0;
        cairo_pattern_t* coverage = nullptr; // the mask's own group (alpha only)
        bool direct = false;
        DirectTarget target;
        PixelBox box;                     // the target's pixels the objects may change
        std::vector<std::uint32_t> under; // what those pixels held before
        // The coverage image's pixels and where its corner lies in the target's pixels.
        const std::uint8_t* coverageBytes = nullptr;
        int coverageStride = 0;
        int coverageX = 0, coverageY = 0;
    };
    ActiveMask beginMask(cairo_t* cr, const DisplayObject& mask, const State& state);
    void endMask(cairo_t* cr, ActiveMask& active);
    // Sets up drawing straight onto the target under `active`'s coverage; false when the
    // target or the coverage cannot be reached.
    bool beginDirectMask(cairo_t* cr, const State& state, ActiveMask& active);
    // The smallest box holding every pixel of `box` the mask of `active` covers; empty when it
    // covers none.
    static PixelBox coveredWithin(const ActiveMask& active, PixelBox box);
    // The mask's coverage for target pixel (x, y).
    static const std::uint8_t* coverageAt(const ActiveMask& active, int x, int y);
    // Paints `paths` (shape coordinates, `m` to the device) with a solid or gradient fill
    // through a coverage mask straight into the target's pixels. False when the target or the
    // fill needs cairo's own compositing (the caller then draws with cairo).
    bool paintDirect(cairo_t* cr, const std::vector<const CairoPath*>& paths, const Matrix& m,
                     const DirectPaint& what, const State& state);
    // Every fill of a layer, added up before they go on the target. False (nothing drawn) when
    // one of them needs cairo.
    bool fillLayerDirect(cairo_t* cr, const CachedShape::Layer& layer, const State& state,
                         cairo_fill_rule_t rule);
    // The paths in device pixels, curves cut into lines no more than `tolerance` off.
    static void flatten(const std::vector<const CairoPath*>& paths, const Matrix& toPixels,
                        double tolerance, FlatPath& out);
    const GradientRamp& rampFor(const FillStyle& fill, const ColorTransform& cx);
    void applyFilters(cairo_surface_t* surface, const std::vector<Filter>& filters);

    const CachedShape& shapeFor(const Shape& shape);
    const CachedShape& morphFor(const MorphShape& morph, std::uint16_t ratio);
    const CairoPath& glyphFor(const Font& font, std::uint32_t index);
    cairo_surface_t* bitmapFor(std::uint16_t id);

    const Movie& m_movie;
    Log& m_log;
    double m_stagePixelScale = 1.0;
    std::unordered_map<const Shape*, CachedShape> m_shapes;
    std::map<std::pair<const MorphShape*, std::uint16_t>, CachedShape> m_morphs;
    std::map<std::pair<const Font*, std::uint32_t>, CairoPath> m_glyphs;
    std::unordered_map<const StaticText*, std::optional<Rect>> m_textBounds;
    struct BitmapEntry {
        cairo_surface_t* surface = nullptr; // null: cannot be decoded
        std::uint64_t lastUsed = 0;
        std::size_t bytes = 0;
    };
    std::unordered_map<std::uint16_t, BitmapEntry> m_bitmaps;
    std::size_t m_bitmapBytes = 0;
    // Bitmap `id` (`plain` as decoded) under a colour transform: a copy made once and kept
    // while the frames draw it so. The cache owns it.
    cairo_surface_t* tintedBitmapFor(std::uint16_t id, cairo_surface_t* plain,
                                     const ColorTransform& cx);
    struct TintKey {
        std::uint16_t id = 0;
        ColorTransform cx;
        bool operator==(const TintKey&) const = default;
    };
    struct TintKeyHash {
        std::size_t operator()(const TintKey& k) const;
    };
    std::unordered_map<TintKey, BitmapEntry, TintKeyHash> m_tinted;
    struct RasterEntry {
        cairo_surface_t* surface = nullptr;
        int ox = 0; // bitmap origin relative to the whole-pixel position
        int oy = 0;
        std::uint64_t lastUsed = 0;
        std::size_t bytes = 0;
    };
    // Where the shape drawn with `local` (its position within a pixel) lies on the device,
    // margins included; false when it is too large or strange to keep as a bitmap.
    bool rasterBox(const Keepable& what, const Matrix& local, PixelBox& out) const;
    // The shape drawn into a bitmap of its own covering `box` (`state` has the local matrix).
    RasterEntry drawRaster(cairo_t* cr, const Keepable& what, const State& state,
                           const PixelBox& box);
    // An object with filters whose content a fingerprint follows: its filtered picture is
    // kept and laid again while nothing changes but its place in whole pixels, as the player
    // keeps such objects. False when its content cannot be kept (it is drawn as usual then).
    bool drawFilteredKept(cairo_t* cr, const DisplayObject& obj, const State& state);
    // Draws the object into a layer and applies its filters: the picture, and whether the
    // layer's edge cut it. None when nothing is seen, or when the picture cannot be kept
    // (the layer is then laid on the target itself).
    struct FilteredPicture {
        RasterEntry entry;
        bool cut = false;
    };
    std::optional<FilteredPicture> drawFilteredLayer(cairo_t* cr, const DisplayObject& obj,
                                                     const State& state, double ix, double iy);
    // Clips `cr` (after a cairo_save the caller undoes) to the box the object's filtered
    // picture can cover: its content's box on the device widened by what its filters reach.
    // False, with nothing done, when that box is not known (the layer is the whole target).
    bool clipToFilterReach(cairo_t* cr, const DisplayObject& obj, const State& state);
    // What the object holds, drawn with `state`.
    void renderContent(cairo_t* cr, const DisplayObject& obj, const State& state);
    std::unordered_map<FilteredKey, RasterEntry, FilteredKeyHash> m_filtered;
    std::size_t m_filteredBytes = 0;
    // Memory for filtered pictures kept; beyond it no new one is kept.
    static constexpr std::size_t kFilteredBudgetBytes = 32u * 1024u * 1024u;
    static constexpr std::uint64_t kFilteredKeptFrames = 8;
    // A kept bitmap laid on the target at whole pixel `ix`, `iy`.
    void placeRaster(cairo_t* cr, const RasterEntry& entry, double ix, double iy,
                     const PixelBox& box, const State& state);
    std::unordered_map<RasterKey, RasterEntry, RasterKeyHash> m_raster;
    std::unordered_set<RasterKey, RasterKeyHash> m_seenOnce;
    std::size_t m_rasterBytes = 0;
    std::size_t m_rasterBudget = kDefaultShapeCacheBytes;
    std::uint64_t m_frame = 0;
    // Gradient colours per fill style and colour transform. Morph styles are rebuilt when the
    // morph cache is emptied, so this is emptied with it.
    struct RampKey {
        const FillStyle* fill = nullptr;
        ColorTransform cx;
        bool operator==(const RampKey&) const = default;
    };
    struct RampKeyHash {
        std::size_t operator()(const RampKey& k) const;
    };
    std::unordered_map<RampKey, std::unique_ptr<GradientRamp>, RampKeyHash> m_ramps;
    // The A8 mask fills are rasterised into, as large as the largest target so far.
    cairo_surface_t* m_coverage = nullptr;
    cairo_t* m_coverageCr = nullptr;
    std::vector<std::uint32_t> m_layerScratch; // a layer's fills added up
    FlatPath m_flat;
    Rasterizer m_rasterizer;
    std::unique_ptr<TextFieldPainter> m_textPainter;
    const ScriptLayers* m_scriptLayers = nullptr;
    // Scripts' drawings by serial: the shape as drawn and its paths, made again when the
    // drawing's version moves on.
    struct DrawingEntry {
        std::shared_ptr<const Shape> shape;
        std::uint64_t version = 0;
        CachedShape cached;
        std::uint64_t lastUsed = 0;
    };
    void forgetDrawing(const DrawingEntry& entry);
    std::unordered_map<std::uint64_t, DrawingEntry> m_drawings;
    Matrix m_stageToDevice;
};

} // namespace kinovex::flash
