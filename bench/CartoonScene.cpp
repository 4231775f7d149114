#include "CartoonScene.h"

#include <cmath>
#include <vector>

namespace kinovex::bench {

CartoonScene::CartoonScene(swf::SwfWriter& movie, int shapes, Motion motion, bool filtered)
    : m_movie(movie), m_groups(shapes / 10), m_motion(motion), m_filtered(filtered) {
    movie.setBackground(swf::Rgb(0x203040));
    const auto bitmap = movie.defineBitsJpeg2(swf::Image::rainbow(128, 96, false), 85);
    swf::ShapeBuilder back;
    back.fill0(back.addFill(swf::FillStyle::bitmap(bitmap, swf::Matrix::bitmap(4.3, 0, 0), false)))
        .rectangle(0, 0, 550, 400);
    m_backdrop = movie.defineShape(back);

    std::vector<std::uint16_t> kinds;
    for (int k = 0; k < 8; ++k) {
        swf::ShapeBuilder s;
        swf::Gradient g;
        g.stops = {{0, swf::Rgb(0xffffff, 230)},
                   {120, swf::Rgb(0x40a0ff - k * 0x1000, 200)},
                   {255, swf::Rgb(0x102040 + k * 0x100000, 180)}};
        const auto fill =
            k % 2 == 0 ? swf::FillStyle::radial(swf::Matrix::gradientBox(40, 40, 0, 0, 0), g)
                       : swf::FillStyle::linear(swf::Matrix::gradientBox(40, 40, k, 0, 0), g);
        s.fill0(s.addFill(fill)).line(s.addLine(swf::LineStyle::solid(1, swf::Rgb(0x000000, 128))));
        if (k % 3 == 0) {
            s.ellipse(0, 0, 20, 14);
        } else {
            s.polygon({{-20, -10}, {0, -20}, {20, -10}, {15, 15}, {-15, 15}});
        }
        kinds.push_back(movie.defineShape(s, 3));
    }
    swf::Sprite group;
    for (int i = 0; i < 10; ++i) {
        group.place(static_cast<std::uint16_t>(i + 1),
                    kinds[static_cast<std::size_t>(i) % kinds.size()],
                    swf::Matrix::transform(0.8, 0.8, i * 0.6, (i % 5) * 22.0, (i / 5) * 22.0));
    }
    group.showFrame();
    m_group = movie.defineSprite(group);
}

void CartoonScene::placeFrame(int f) {
    swf::Place backPlace;
    backPlace.depth = 1;
    if (f == 0) {
        backPlace.character = m_backdrop;
    } else {
        backPlace.move = true;
    }
    backPlace.matrix = swf::Matrix::translate(-(f % 40) * 0.13, 0);
    m_movie.place(backPlace);
    for (int i = 0; i < m_groups; ++i) {
        const bool still = m_motion == Motion::Typical && i % 2 == 0;
        // Sliding groups wander over the stage and come back rather than leave it.
        const double x = 20 + std::fmod(i * 97.0 + (still ? 0 : f * 0.37), 500.0);
        const double y = 20 + std::fmod(i * 61.0 + (still ? 0 : f * 0.21), 350.0);
        swf::Place p;
        p.depth = static_cast<std::uint16_t>(i + 2);
        if (f == 0) {
            p.character = m_group;
            if (m_filtered && (i % 3 == 0 || i % 5 == 0)) {
                p.filters = std::vector<swf::Filter>{};
                if (i % 3 == 0) {
                    p.filters->push_back(swf::DropShadowFilter{});
                }
                if (i % 5 == 0) {
                    p.filters->push_back(swf::GlowFilter{});
                }
            }
        } else {
            p.move = true;
        }
        // The frame whose look the group has: this one, or when it last changed.
        const int shown = m_motion == Motion::Typical ? f - ((f - i) % 5 + 5) % 5 : f;
        const double grow = m_motion != Motion::Slide ? 1 + 0.2 * std::sin(shown * 0.1 + i) : 1;
        const double turn = m_motion != Motion::Slide ? shown * 0.02 : 0;
        p.matrix = swf::Matrix::transform(grow, grow, i * 0.3 + turn, x, y);
        m_movie.place(p);
    }
}

} // namespace kinovex::bench
