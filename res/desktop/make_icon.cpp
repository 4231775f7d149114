// Draws the program's icon: a film strip with a play button on the about box's blue, as
// kinovex.svg and as kinovex-<size>.png for each size asked for.
//
//   kinovex_make_icon OUTDIR SIZE...

#include <cairo-svg.h>
#include <cairo.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// The drawing is made on a 256-unit square.
constexpr double kSide = 256;

void setRgb(cairo_t* cr, unsigned rgb, double alpha = 1) {
    cairo_set_source_rgba(cr, ((rgb >> 16) & 0xff) / 255.0, ((rgb >> 8) & 0xff) / 255.0,
                          (rgb & 0xff) / 255.0, alpha);
}

void roundedRect(cairo_t* cr, double x, double y, double w, double h, double r) {
    constexpr double kQuarter = 1.5707963267948966;
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -kQuarter, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, kQuarter);
    cairo_arc(cr, x + r, y + h - r, r, kQuarter, 2 * kQuarter);
    cairo_arc(cr, x + r, y + r, r, 2 * kQuarter, 3 * kQuarter);
    cairo_close_path(cr);
}

// The film strip across the tile: a dark band with a row of perforations above and below.
void drawFilmStrip(cairo_t* cr) {
    setRgb(cr, 0x141d29);
    cairo_rectangle(cr, 16, 60, 224, 136);
    cairo_fill(cr);
    setRgb(cr, 0xe1e7f2, 0.9);
    for (double x = 28; x < 232; x += 32) {
        roundedRect(cr, x, 68, 16, 16, 3);
        roundedRect(cr, x, 172, 16, 16, 3);
    }
    cairo_fill(cr);
}

void drawIcon(cairo_t* cr) {
    // The tile, in the about box's blues, darker towards the bottom.
    roundedRect(cr, 16, 16, 224, 224, 44);
    cairo_pattern_t* blue = cairo_pattern_create_linear(0, 16, 0, 240);
    cairo_pattern_add_color_stop_rgb(blue, 0, 0x2b / 255.0, 0x46 / 255.0, 0x68 / 255.0);
    cairo_pattern_add_color_stop_rgb(blue, 1, 0x1c / 255.0, 0x37 / 255.0, 0x59 / 255.0);
    cairo_set_source(cr, blue);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(blue);
    cairo_save(cr);
    cairo_clip(cr);
    drawFilmStrip(cr);
    cairo_restore(cr);
    // The play button in the middle of the strip.
    cairo_arc(cr, 128, 128, 42, 0, 6.283185307179586);
    setRgb(cr, 0x4170aa);
    cairo_fill_preserve(cr);
    cairo_set_line_width(cr, 6);
    setRgb(cr, 0xe1e7f2);
    cairo_stroke(cr);
    cairo_move_to(cr, 114, 104);
    cairo_line_to(cr, 154, 128);
    cairo_line_to(cr, 114, 152);
    cairo_close_path(cr);
    cairo_fill(cr);
}

bool writePng(const std::string& path, int size) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
    cairo_t* cr = cairo_create(surface);
    cairo_scale(cr, size / kSide, size / kSide);
    drawIcon(cr);
    cairo_destroy(cr);
    const bool written = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return written;
}

bool writeSvg(const std::string& path) {
    cairo_surface_t* surface = cairo_svg_surface_create(path.c_str(), kSide, kSide);
    cairo_svg_surface_set_document_unit(surface, CAIRO_SVG_UNIT_PX);
    cairo_t* cr = cairo_create(surface);
    drawIcon(cr);
    cairo_destroy(cr);
    cairo_surface_finish(surface);
    const bool written = cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return written;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: kinovex_make_icon OUTDIR SIZE...\n");
        return 2;
    }
    const std::string folder = argv[1];
    bool ok = writeSvg(folder + "/kinovex.svg");
    for (int i = 2; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        ok = size > 0 && writePng(folder + "/kinovex-" + std::to_string(size) + ".png", size) && ok;
    }
    if (!ok) {
        std::fprintf(stderr, "kinovex_make_icon: cannot write the icon into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
