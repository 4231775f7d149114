#pragma once
// What the BitmapData natives beyond reading and writing single pixels share: the pixels of a
// receiver or an argument, and the part of a script's rectangle that lies within a bitmap.

#include "engine/avm2/BitmapPixels.h"
#include "engine/avm2/Machine.h"

#include <algorithm>
#include <utility>

namespace kinovex::flash::avm2 {

// The pixels of a BitmapData; an ArgumentError (2015) for a disposed one.
BitmapPixels& bitmapPixels(Machine& vm, const Value& data);
// The pixels of the BitmapData argument `name`; a TypeError (2007) for null.
BitmapPixels& bitmapArgument(Machine& vm, const Value& data, const char* name);

// A null argument `name` that must not be: TypeError 2007.
[[noreturn]] void nullParameter(Machine& vm, const char* name);

// Pixel columns [x0, x1) and rows [y0, y1).
struct PixelRegion {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    int width() const { return std::max(x1 - x0, 0); }
    int height() const { return std::max(y1 - y0, 0); }
    bool empty() const { return width() == 0 || height() == 0; }
};

// The part of the Rectangle `rect` (x, y, width, height read as numbers, no wrapping) within
// a bitmap of the given size; a TypeError (2007) for null.
PixelRegion regionWithin(Machine& vm, const Value& rect, int width, int height);

// Where a copy reads and writes: the source region clipped so that both it and its image at
// the destination point lie within their bitmaps.
struct CopyArea {
    PixelRegion from;   // in the source
    int dx = 0, dy = 0; // destination minus source
};

// The area a copy from `source` to `dest` covers: the Rectangle `rect` of the source moved to
// the Point `point`, clipped to both bitmaps; a TypeError (2007) for a null rectangle.
CopyArea copyArea(Machine& vm, const BitmapPixels& source, const BitmapPixels& dest,
                  const Value& rect, const Value& point);

// A Point argument's x and y, whole pixels; (0, 0) for null or undefined.
std::pair<int, int> pointOf(Machine& vm, const Value& point);

// The two bitmaps of a copy between BitmapDatas: `dest`, the one the method was called on, and
// `source`, its "sourceBitmapData" argument, read from a copy of its own when it is `dest`
// itself, so that writing never changes what is still to be read.
struct CopyBitmaps {
    CopyBitmaps(Machine& vm, const Value& self, const Value& sourceArgument)
        : dest(bitmapPixels(vm, self)),
          source(readable(bitmapArgument(vm, sourceArgument, "sourceBitmapData"))) {}
    CopyBitmaps(const CopyBitmaps&) = delete;
    CopyBitmaps& operator=(const CopyBitmaps&) = delete;

    BitmapPixels& dest;
    BitmapPixels own; // the copy of `dest` read as the source, when it is one
    const BitmapPixels& source;

private:
    const BitmapPixels& readable(const BitmapPixels& given) {
        if (&given != &dest) {
            return given;
        }
        own = given;
        return own;
    }
};

void installBitmapCopies(Machine& m, ClassInfo* cls);  // copyPixels, copyChannel, scroll
void installBitmapColours(Machine& m, ClassInfo* cls); // colorTransform, threshold, histogram ...
void installBitmapMixes(Machine& m, ClassInfo* cls);   // merge, paletteMap
void installBitmapHits(Machine& m, ClassInfo* cls);    // hitTest
void installBitmapVectors(Machine& m, ClassInfo* cls); // get/setVector, get/setPixels

} // namespace kinovex::flash::avm2
