#include "engine/render/VideoDraw.h"

#include "engine/media/VideoDecoder.h"

#include <algorithm>
#include <cmath>

namespace kinovex::flash {

namespace {

// A copy of the picture with the colour transform applied, as a surface of its own.
cairo_surface_t* transformedPicture(const VideoPicture& picture, const ColorTransform& cx) {
    cairo_surface_t* s =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, picture.width, picture.height);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        return nullptr;
    }
    unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    const std::uint32_t* in = picture.pixels.data();
    for (int y = 0; y < picture.height; ++y) {
        auto* out =
            reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        for (int x = 0; x < picture.width; ++x, ++in) {
            const std::uint32_t p = *in;
            const std::uint32_t a = p >> 24;
            Rgba c{0, 0, 0, static_cast<std::uint8_t>(a)};
            if (a != 0) {
                auto straight = [a](std::uint32_t v) {
                    return static_cast<std::uint8_t>(std::min<std::uint32_t>(255, v * 255 / a));
                };
                c.r = straight((p >> 16) & 255);
                c.g = straight((p >> 8) & 255);
                c.b = straight(p & 255);
            }
            c = cx.apply(c);
            const std::uint32_t na = c.a;
            auto premultiplied = [na](std::uint32_t v) { return (v * na + 127) / 255; };
            out[x] =
                na << 24 | premultiplied(c.r) << 16 | premultiplied(c.g) << 8 | premultiplied(c.b);
        }
    }
    cairo_surface_mark_dirty(s);
    return s;
}

bool paddedToMacroblocks(std::uint8_t codec) {
    return codec == static_cast<std::uint8_t>(VideoCodec::Vp6) ||
           codec == static_cast<std::uint8_t>(VideoCodec::Vp6Alpha);
}

} // namespace

void drawVideo(cairo_t* cr, const VideoStream& stream, const DisplayObject* obj,
               const Matrix& matrix, const ColorTransform& cx, bool mask, Log& log) {
    if (obj == nullptr) {
        return;
    }
    if (!obj->video || &obj->video->stream() != &stream) {
        obj->video = std::make_shared<VideoDecoder>(stream);
    }
    const VideoPicture* picture = obj->video->pictureAt(obj->ratio, log);
    // The box is the stream's size; a stream that gives none is shown at its pictures' size.
    int boxWidth = stream.width;
    int boxHeight = stream.height;
    if (boxWidth == 0 || boxHeight == 0) {
        if (picture == nullptr) {
            return;
        }
        boxWidth = picture->width;
        boxHeight = picture->height;
    }
    const double twipsWide = boxWidth * 20.0;
    const double twipsHigh = boxHeight * 20.0;
    cairo_save(cr);
    const cairo_matrix_t m{matrix.a, matrix.b, matrix.c, matrix.d, matrix.tx, matrix.ty};
    cairo_set_matrix(cr, &m);
    cairo_new_path(cr);
    cairo_rectangle(cr, 0, 0, twipsWide, twipsHigh);
    if (mask) {
        cairo_set_source_rgba(cr, 1, 1, 1, 1);
        cairo_fill(cr);
        cairo_restore(cr);
        return;
    }
    if (picture == nullptr) {
        cairo_new_path(cr);
        cairo_restore(cr);
        return;
    }
    // VP6 codes whole 16 x 16 blocks: what lies beyond the stream's size is padding, cut off.
    // Other pictures fill the box, scaled if their size differs from it.
    int shownWidth = picture->width;
    int shownHeight = picture->height;
    if (paddedToMacroblocks(stream.codec)) {
        shownWidth = std::min(shownWidth, boxWidth);
        shownHeight = std::min(shownHeight, boxHeight);
    }
    cairo_surface_t* surface = nullptr;
    if (cx.isIdentity()) {
        // Cairo only reads the pixels; the picture stays the decoder's.
        surface = cairo_image_surface_create_for_data(
            reinterpret_cast<unsigned char*>(const_cast<std::uint32_t*>(picture->pixels.data())),
            CAIRO_FORMAT_ARGB32, picture->width, picture->height, picture->width * 4);
    } else {
        surface = transformedPicture(*picture, cx);
    }
    if (surface == nullptr || cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        cairo_new_path(cr);
        cairo_restore(cr);
        return;
    }
    cairo_pattern_t* pattern = cairo_pattern_create_for_surface(surface);
    cairo_matrix_t toPicture;
    cairo_matrix_init_scale(&toPicture, shownWidth / twipsWide, shownHeight / twipsHigh);
    cairo_pattern_set_matrix(pattern, &toPicture);
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
    cairo_pattern_set_filter(pattern, stream.smoothing ? CAIRO_FILTER_GOOD : CAIRO_FILTER_NEAREST);
    cairo_set_source(cr, pattern);
    cairo_fill(cr);
    cairo_restore(cr);
    cairo_pattern_destroy(pattern);
    cairo_surface_destroy(surface);
}

} // namespace kinovex::flash
