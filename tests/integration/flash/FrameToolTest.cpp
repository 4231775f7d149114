// kinovex-frame as a program: its command line, its exit codes and the pictures it writes.

#include "FrameToolRun.h"
#include "SwfWriter.h"
#include "TempDir.h"

#include <cairo.h>
#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>

namespace kinovex::test {
namespace {

// The tool's standard output and diagnostics together.
ToolRun run(const std::string& args) {
    return runFrameTool(args, ToolOutput::Both);
}

// 0xRRGGBB at (x, y) of a PNG, or -1 when it cannot be read.
long pixel(const std::filesystem::path& png, int x, int y, int* width = nullptr,
           int* height = nullptr) {
    cairo_surface_t* s = cairo_image_surface_create_from_png(png.c_str());
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        return -1;
    }
    if (width != nullptr) {
        *width = cairo_image_surface_get_width(s);
    }
    if (height != nullptr) {
        *height = cairo_image_surface_get_height(s);
    }
    const auto* row = cairo_image_surface_get_data(s) +
                      static_cast<std::ptrdiff_t>(y) * cairo_image_surface_get_stride(s);
    const long v = static_cast<long>(reinterpret_cast<const std::uint32_t*>(row)[x] & 0xffffff);
    cairo_surface_destroy(s);
    return v;
}

// Frame n (1-based) shows a red square at x = 10 * (n - 1) on blue.
void writeSlidingSquare(const std::filesystem::path& path) {
    swf::SwfWriter movie(100, 20, 12);
    movie.setBackground(swf::Rgb(0x0000ff));
    swf::ShapeBuilder box;
    box.fill0(box.addFill(swf::FillStyle::solid(swf::Rgb(0xff0000)))).rectangle(0, 0, 10, 10);
    const auto id = movie.defineShape(box);
    movie.place(1, id);
    movie.showFrame();
    for (int f = 1; f < 10; ++f) {
        movie.move(1, swf::Matrix::translate(10 * f, 0));
        movie.showFrame();
    }
    movie.save(path, swf::Compression::Zlib);
}

TEST(FrameTool, WritesTheNthFrameAtTheStageSizeOrTheSizeAsked) {
    TempDir dir("frame tool");
    writeSlidingSquare(dir / "slide.swf");
    const auto out = dir / "out one.png";
    ToolRun r = run(quote((dir / "slide.swf").string()) + " --frames 4 -o " + quote(out.string()));
    ASSERT_EQ(r.exitCode, 0) << r.output;
    int w = 0, h = 0;
    EXPECT_EQ(pixel(out, 35, 5, &w, &h), 0xff0000);
    EXPECT_EQ(pixel(out, 5, 5), 0x0000ff);
    EXPECT_EQ(w, 100);
    EXPECT_EQ(h, 20);

    r = run(quote((dir / "slide.swf").string()) + " --frames 1 --width 200 --height 40 -o " +
            quote(out.string()));
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(pixel(out, 15, 15, &w, &h), 0xff0000);
    EXPECT_EQ(w, 200);
    EXPECT_EQ(h, 40);
}

TEST(FrameTool, EveryKthFrameGoesToItsNumberedFile) {
    TempDir dir("frame tool every");
    writeSlidingSquare(dir / "slide.swf");
    const ToolRun r = run(quote((dir / "slide.swf").string()) + " --frames 9 --every 3 -o " +
                          quote((dir / "f%d.png").string()));
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_FALSE(std::filesystem::exists(dir / "f1.png"));
    EXPECT_FALSE(std::filesystem::exists(dir / "f2.png"));
    for (const int n : {3, 6, 9}) {
        const auto png = dir / ("f" + std::to_string(n) + ".png");
        ASSERT_TRUE(std::filesystem::exists(png)) << png;
        EXPECT_EQ(pixel(png, 10 * (n - 1) + 5, 5), 0xff0000) << n;
    }
}

TEST(FrameTool, FilesThatAreNotMoviesFailWithAClearMessage) {
    TempDir dir("frame tool bad");
    WriteFile(dir / "notes.swf", "just some text, no movie here");
    ToolRun r = run(quote((dir / "notes.swf").string()) + " --frames 1 -o " +
                    quote((dir / "x.png").string()));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find("not a Flash movie"), std::string::npos) << r.output;
    EXPECT_FALSE(std::filesystem::exists(dir / "x.png"));

    r = run(quote((dir / "missing.swf").string()) + " --frames 1 -o " +
            quote((dir / "x.png").string()));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find("cannot be read"), std::string::npos) << r.output;

    r = run("--frames 1"); // no movie, no output: a usage error, not a movie error
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.output.find("usage"), std::string::npos);
}

} // namespace
} // namespace kinovex::test
