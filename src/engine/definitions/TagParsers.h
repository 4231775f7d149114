#pragma once
// Parsers from tag bodies to characters and frame commands. Each returns false when the body is
// malformed; the caller reports that and drops the tag.

#include "engine/definitions/Characters.h"
#include "engine/swf/BitReader.h"

namespace kinovex::flash {

// version: 1..4 for DefineShape..DefineShape4.
bool parseShape(BitReader& r, int version, Shape& shape);
bool parseMorphShape(BitReader& r, int version, MorphShape& morph);
bool parseFillStyles(BitReader& r, int version, std::vector<FillStyle>& out);
bool parseLineStyles(BitReader& r, int version, std::vector<LineStyle>& out);
// Records up to and including the end record. `styles` receives new style tables (and may be
// null where none are allowed: glyphs and morph end edges).
bool parseShapeRecords(BitReader& r, int version, std::vector<ShapeRecord>& out,
                       std::vector<StyleTable>* styles);

// code: TagPlaceObject, TagPlaceObject2 or TagPlaceObject3. The movie's version decides how
// wide the clip actions' event flags are.
bool parsePlaceObject(BitReader& r, int code, PlaceCommand& out, int swfVersion = 6);
// The clip actions at the end of a PlaceObject2/3 (the reader stands at their start).
bool parseClipActions(BitReader& r, int swfVersion, PlaceCommand& out);
bool parseFilters(BitReader& r, std::vector<Filter>& out);

// code: TagDefineFont, TagDefineFont2 or TagDefineFont3.
bool parseFont(BitReader& r, int code, Font& font);
// version 1 or 2 (colours with alpha).
bool parseText(BitReader& r, int version, StaticText& text);
bool parseEditText(BitReader& r, EditText& text);
// version 1 or 2.
bool parseButton(BitReader& r, int version, Button& button);
// The bodies of DefineButtonCxform and DefineButtonSound after the button's id, which the
// caller has read to find the button.
bool parseButtonCxform(BitReader& r, Button& button);
bool parseButtonSound(BitReader& r, Button& button);

} // namespace kinovex::flash
