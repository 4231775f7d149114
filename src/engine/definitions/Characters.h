#pragma once
// What the dictionary holds: every kind of character a movie defines, as parsed from its tag.

#include "engine/definitions/SoundCommands.h"
#include "engine/swf/Types.h"

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace kinovex::flash {

enum class SpreadMode : std::uint8_t { Pad, Reflect, Repeat };
enum class Interpolation : std::uint8_t { Normal, LinearRgb };

struct GradientStop {
    std::uint8_t ratio = 0;
    Rgba color;

    bool operator==(const GradientStop&) const = default;
};

struct Gradient {
    SpreadMode spread = SpreadMode::Pad;
    Interpolation interpolation = Interpolation::Normal;
    std::vector<GradientStop> stops;
    double focalPoint = 0.0; // -1..1 along the x axis; focal gradients only
};

struct FillStyle {
    enum class Type : std::uint8_t { Solid, Linear, Radial, Focal, Bitmap };
    Type type = Type::Solid;
    Rgba color;
    Matrix matrix; // gradient square or bitmap pixels to shape space
    Gradient gradient;
    std::uint16_t bitmapId = 0;
    bool bitmapRepeat = true;
    bool bitmapSmooth = true;
};

enum class CapStyle : std::uint8_t { Round, None, Square };
enum class JoinStyle : std::uint8_t { Round, Bevel, Miter };

struct LineStyle {
    std::uint16_t width = 0; // twips
    Rgba color;
    CapStyle startCap = CapStyle::Round;
    CapStyle endCap = CapStyle::Round;
    JoinStyle join = JoinStyle::Round;
    double miterLimit = 3.0;
    bool noHScale = false;
    bool noVScale = false;
    bool noClose = false;
    bool hasFill = false;
    FillStyle fill;
};

struct StyleTable {
    std::vector<FillStyle> fills;
    std::vector<LineStyle> lines;
};

// One shape record. Positions in edges are deltas in twips; a move is absolute.
struct ShapeRecord {
    enum class Type : std::uint8_t { StyleChange, Line, Curve };
    Type type = Type::StyleChange;
    bool hasMove = false;
    bool hasFill0 = false;
    bool hasFill1 = false;
    bool hasLine = false;
    bool hasNewStyles = false;
    std::int32_t moveX = 0;
    std::int32_t moveY = 0;
    std::uint32_t fill0 = 0;
    std::uint32_t fill1 = 0;
    std::uint32_t line = 0;
    std::uint32_t styleTable = 0; // index into Shape::styles when hasNewStyles
    std::int32_t controlDx = 0;   // curves only
    std::int32_t controlDy = 0;
    std::int32_t anchorDx = 0;
    std::int32_t anchorDy = 0;
};

struct Character {
    enum class Kind : std::uint8_t {
        Shape,
        MorphShape,
        Bitmap,
        Font,
        Text,
        EditText,
        Sprite,
        Button,
        Video
    };
    explicit Character(Kind k) : kind(k) {}
    virtual ~Character() = default;
    Character(const Character&) = delete;
    Character& operator=(const Character&) = delete;

    Kind kind;
    std::uint16_t id = 0;
};

struct Shape : Character {
    Shape() : Character(Kind::Shape) {}
    Rect bounds;
    bool nonZeroWinding = false;    // DefineShape4 may ask for it instead of even-odd
    std::vector<StyleTable> styles; // [0] is the initial table, then one per new-styles record
    std::vector<ShapeRecord> records;
};

struct MorphShape : Character {
    MorphShape() : Character(Kind::MorphShape) {}
    Rect startBounds;
    Rect endBounds;
    StyleTable startStyles;
    StyleTable endStyles; // the same styles at the end of the morph, index for index
    std::vector<ShapeRecord> startRecords;
    std::vector<ShapeRecord> endRecords;
};

// A bitmap as stored; it is decoded the first time it is drawn.
struct BitmapCharacter : Character {
    enum class Format : std::uint8_t { Jpeg, Lossless, Lossless2 };
    BitmapCharacter() : Character(Kind::Bitmap) {}
    Format format = Format::Jpeg;
    std::vector<std::uint8_t> data;       // image data (JPEG/PNG/GIF) or the zlib stream
    std::vector<std::uint8_t> jpegTables; // DefineBits only: the movie's shared tables
    std::vector<std::uint8_t> alpha;      // JPEG3/4: zlib-compressed alpha plane
    std::uint8_t losslessFormat = 0;      // 3 colour-mapped, 4 RGB15, 5 RGB24/ARGB
    std::uint16_t width = 0;              // lossless only
    std::uint16_t height = 0;
    std::uint16_t colorTableSize = 0;
};

// Extra room between two characters of a font, in glyph units (DefineFont2/3 layout).
struct KerningPair {
    std::uint16_t left = 0;
    std::uint16_t right = 0;
    std::int16_t adjustment = 0;
};

struct Font : Character {
    Font() : Character(Kind::Font) {}
    // Glyph outlines: one style table with a single solid fill (index 1).
    std::vector<std::vector<ShapeRecord>> glyphs;
    double unitsPerEm = 1024.0; // DefineFont3 glyphs are 20 times finer
    std::string name;
    bool bold = false;
    bool italic = false;
    // For editable text: character code of each glyph, and the layout when the font has one
    // (in glyph units, like the outlines).
    std::vector<std::uint16_t> codes;
    bool hasLayout = false;
    double ascent = 0;
    double descent = 0;
    double leading = 0;
    std::vector<double> advances;
    std::vector<KerningPair> kerning;
};

// A text field (DefineEditText) as the movie defines it. What a placed field shows while the
// movie plays is in its TextField (flash/text/TextField.h).
struct EditText : Character {
    EditText() : Character(Kind::EditText) {}
    Rect bounds;
    bool hasFont = false;
    std::uint16_t fontId = 0;
    std::string fontClass;
    std::uint16_t height = 240; // twips
    Rgba color{0, 0, 0, 255};
    std::uint8_t align = 0; // left, right, centre, justify
    std::uint16_t leftMargin = 0;
    std::uint16_t rightMargin = 0;
    std::uint16_t indent = 0;
    std::int16_t leading = 0;
    bool wordWrap = false;
    bool multiline = false;
    bool password = false;
    bool border = false;
    bool html = false;
    bool useOutlines = false;
    bool autoSize = false;
    bool readOnly = false;
    bool selectable = true;
    std::uint16_t maxLength = 0; // 0: no limit
    std::string variableName;
    std::string text;
};

struct TextGlyph {
    std::uint32_t index = 0;
    std::int32_t advance = 0;
};

struct TextRun {
    std::uint16_t fontId = 0;
    Rgba color;
    std::int32_t x = 0; // twips, pen position of the first glyph
    std::int32_t y = 0;
    std::uint16_t height = 0; // twips
    std::vector<TextGlyph> glyphs;
};

struct StaticText : Character {
    StaticText() : Character(Kind::Text) {}
    Rect bounds;
    Matrix matrix;
    std::vector<TextRun> runs;
};

enum class BlendMode : std::uint8_t {
    Normal = 1,
    Layer = 2,
    Multiply = 3,
    Screen = 4,
    Lighten = 5,
    Darken = 6,
    Difference = 7,
    Add = 8,
    Subtract = 9,
    Invert = 10,
    Alpha = 11,
    Erase = 12,
    Overlay = 13,
    Hardlight = 14,
};

struct Filter {
    enum class Type : std::uint8_t {
        DropShadow,
        Blur,
        Glow,
        Bevel,
        GradientGlow,
        Convolution,
        ColorMatrix,
        GradientBevel
    };
    Type type = Type::Blur;
    Rgba color;         // shadow / glow colour
    Rgba highlight;     // bevel
    double blurX = 0.0; // pixels
    double blurY = 0.0;
    double angle = 0.0; // radians
    double distance = 0.0;
    double strength = 1.0;
    bool inner = false;
    bool knockout = false;
    bool compositeSource = true;
    bool onTop = false; // bevels: drawn inside and outside the object ("full")
    int passes = 1;
    std::vector<GradientStop> gradient; // gradient glow / bevel
    std::vector<float> matrix;          // colour matrix (20) or convolution kernel
    int matrixX = 0;                    // convolution size
    int matrixY = 0;
    float divisor = 1.0f;
    float bias = 0.0f;
    bool clamp = true;
    bool preserveAlpha = false;

    bool operator==(const Filter&) const = default;
};

// Action bytecode as a movie stores it (DoAction, DoInitAction, clip actions), shared with the
// interpreter, which keeps it alive as long as functions defined in it are.
using ActionCode = std::shared_ptr<const std::vector<std::uint8_t>>;

// The events a PlaceObject2/3 clip action answers (bits as the file stores them).
enum ClipEventFlag : std::uint32_t {
    ClipEventLoad = 1u << 0,
    ClipEventEnterFrame = 1u << 1,
    ClipEventUnload = 1u << 2,
    ClipEventMouseMove = 1u << 3,
    ClipEventMouseDown = 1u << 4,
    ClipEventMouseUp = 1u << 5,
    ClipEventKeyDown = 1u << 6,
    ClipEventKeyUp = 1u << 7,
    ClipEventData = 1u << 8,
    ClipEventInitialize = 1u << 9,
    ClipEventPress = 1u << 10,
    ClipEventRelease = 1u << 11,
    ClipEventReleaseOutside = 1u << 12,
    ClipEventRollOver = 1u << 13,
    ClipEventRollOut = 1u << 14,
    ClipEventDragOver = 1u << 15,
    ClipEventDragOut = 1u << 16,
    ClipEventKeyPress = 1u << 17,
    ClipEventConstruct = 1u << 18,
};

struct ClipAction {
    std::uint32_t events = 0;
    std::uint8_t keyCode = 0; // for ClipEventKeyPress
    ActionCode code;
};

// One PlaceObject / PlaceObject2 / PlaceObject3, normalised: what a placement says, in full.
struct PlaceCommand {
    std::uint16_t depth = 0;
    bool move = false;
    bool hasCharacter = false;
    bool hasMatrix = false;
    bool hasColorTransform = false;
    bool hasRatio = false;
    bool hasName = false;
    bool hasClipDepth = false;
    bool hasFilters = false;
    bool hasBlendMode = false;
    bool hasCacheAsBitmap = false;
    bool hasVisible = false;
    std::uint16_t characterId = 0;
    Matrix matrix;
    ColorTransform colorTransform;
    std::uint16_t ratio = 0;
    std::string name;
    std::uint16_t clipDepth = 0;
    std::vector<Filter> filters;
    BlendMode blendMode = BlendMode::Normal;
    bool cacheAsBitmap = false;
    bool visible = true;
    std::shared_ptr<const std::vector<ClipAction>> clipActions; // null when there are none

    bool operator==(const PlaceCommand&) const = default; // clip actions: the same list
};

// A matrix as movies store it: scale and skew in 16.16 fixed point, translation in twips. Every
// matrix read from a file fits, and turns back into the same doubles.
struct PackedMatrix {
    std::int32_t a = 0x10000;
    std::int32_t b = 0;
    std::int32_t c = 0;
    std::int32_t d = 0x10000;
    std::int32_t tx = 0;
    std::int32_t ty = 0;

    // False (and `out` untouched) when `m` has a value that fixed point cannot hold exactly.
    static bool pack(const Matrix& m, PackedMatrix& out);
    Matrix unpack() const;
};

// What a placement rarely carries, kept out of line: most frames of a movie only move objects.
struct PlaceExtra {
    std::string name;
    std::vector<Filter> filters;
    std::shared_ptr<const std::vector<ClipAction>> clipActions;
    bool hasWideMatrix = false; // the matrix did not fit a PackedMatrix
    Matrix wideMatrix;
};

// A placement as a frame keeps it: the fields nearly every placement has, inline; a colour
// transform and the rare parts as indexes into the timeline's side tables.
struct PlaceRecord {
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
    enum Flag : std::uint16_t {
        Move = 1u << 0,
        HasCharacter = 1u << 1,
        HasMatrix = 1u << 2,
        HasColorTransform = 1u << 3,
        HasRatio = 1u << 4,
        HasName = 1u << 5,
        HasClipDepth = 1u << 6,
        HasFilters = 1u << 7,
        HasBlendMode = 1u << 8,
        HasCacheAsBitmap = 1u << 9,
        HasVisible = 1u << 10,
        CacheAsBitmap = 1u << 11,
        Visible = 1u << 12,
    };
    PackedMatrix matrix;
    std::uint32_t colorTransform = kNone; // index into TimelineDef::colorTransforms
    std::uint32_t extra = kNone;          // index into TimelineDef::placeExtras
    std::uint16_t depth = 0;
    std::uint16_t characterId = 0;
    std::uint16_t ratio = 0;
    std::uint16_t clipDepth = 0;
    std::uint16_t flags = Visible;
    BlendMode blendMode = BlendMode::Normal;

    bool has(Flag f) const { return (flags & f) != 0; }
};

struct FrameCommand {
    enum class Type : std::uint8_t { Place, Remove, Sound, Action, InitAction };
    Type type = Type::Place;
    std::uint16_t depth = 0;      // Remove
    std::uint16_t initSprite = 0; // InitAction: the sprite its actions are for
    std::uint32_t sound = 0;      // Sound: index into TimelineDef::sounds
    // Action: index into TimelineDef::actions; InitAction: the same, for sprite `initSprite`.
    std::uint32_t action = 0;
    PlaceRecord place; // Place: read it back with TimelineDef::placeCommand
};

struct TimelineDef {
    std::uint32_t frameCount = 1;
    std::vector<std::vector<FrameCommand>> frames; // frameCount entries
    std::map<std::string, std::uint32_t> labels;   // label to 0-based frame
    std::vector<SoundCommand> sounds;              // StartSound, stream heads and blocks
    std::vector<ActionCode> actions;               // DoAction and DoInitAction bodies
    std::vector<ColorTransform> colorTransforms;   // of placements that carry one
    std::vector<PlaceExtra> placeExtras;           // of placements with rare parts

    // The record a frame keeps for `place`; its colour transform and rare parts go to the side
    // tables.
    PlaceRecord recordPlace(PlaceCommand&& place);
    // The placement a record stands for, exactly as it was recorded.
    PlaceCommand placeCommand(const PlaceRecord& record) const;
};

struct Sprite : Character {
    Sprite() : Character(Kind::Sprite) {}
    TimelineDef timeline;
};

// Which looks of a button a record belongs to (its flags as stored).
enum ButtonLook : std::uint8_t {
    ButtonLookUp = 0x01,
    ButtonLookOver = 0x02,
    ButtonLookDown = 0x04,
    ButtonLookHit = 0x08, // the area that reacts to the mouse, never drawn
};

struct ButtonRecord {
    std::uint8_t looks = 0; // ButtonLook bits
    std::uint16_t characterId = 0;
    std::uint16_t depth = 0;
    Matrix matrix;
    ColorTransform colorTransform;
    BlendMode blendMode = BlendMode::Normal;
    std::vector<Filter> filters;
};

// The transitions of a button's state that an action list can be run on; the bits are those
// of the 16-bit condition field as stored (the key code sits above them).
enum ButtonCondition : std::uint16_t {
    ButtonIdleToOverUp = 0x0001,      // roll over
    ButtonOverUpToIdle = 0x0002,      // roll out
    ButtonOverUpToOverDown = 0x0004,  // press
    ButtonOverDownToOverUp = 0x0008,  // release
    ButtonOverDownToOutDown = 0x0010, // drag out
    ButtonOutDownToOverDown = 0x0020, // drag over
    ButtonOutDownToIdle = 0x0040,     // release outside
    ButtonIdleToOverDown = 0x0080,    // drag over, menu buttons
    ButtonOverDownToIdle = 0x0100,    // drag out, menu buttons
};

struct ButtonAction {
    std::uint16_t conditions = 0; // ButtonCondition bits
    std::uint8_t keyCode = 0;     // 0: none; otherwise runs on that key (see ButtonKeyCode)
    std::shared_ptr<const std::vector<std::uint8_t>> code; // the action bytes
};

// A sound a button makes on one transition (DefineButtonSound); id 0 is none.
struct ButtonSound {
    std::uint16_t soundId = 0;
    SoundInfo info;
};

// The transitions DefineButtonSound gives sounds for, in the order it stores them.
enum class ButtonSoundSlot : std::uint8_t {
    OverUpToIdle,
    IdleToOverUp,
    OverUpToOverDown,
    OverDownToOverUp
};

// DefineButton / DefineButton2, with what DefineButtonCxform and DefineButtonSound add to it.
struct Button : Character {
    Button() : Character(Kind::Button) {}
    bool trackAsMenu = false;
    std::vector<ButtonRecord> records; // in the order stored
    // DefineButton has one list, run on release; DefineButton2 one per set of conditions.
    std::vector<ButtonAction> actions;
    std::array<ButtonSound, 4> sounds; // by ButtonSoundSlot
};

} // namespace kinovex::flash
