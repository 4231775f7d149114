#include "desktop/moviepage/CPlayerWidget.h"

#include <QTest>

#include <gtest/gtest.h>

namespace kinovex {
namespace {

const QString kHead = QStringLiteral(KINOVEX_PROGRAM_DIR "/head.swf");

int CountNotBackground(const QImage& image, unsigned background) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += (image.pixel(x, y) & 0xFFFFFFu) != background;
    return count;
}

TEST(PlayerWidget, PlaysTheIntroductoryMovieWhileShown) {
    CPlayerWidget player;
    player.resize(250, 150);
    ASSERT_TRUE(player.LoadMovie(kHead));
    EXPECT_FALSE(player.IsRunning()); // hidden: the clock waits
    EXPECT_EQ(player.Player().currentFrame(), 1u);

    player.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&player));
    EXPECT_TRUE(player.IsRunning());
    ASSERT_TRUE(QTest::qWaitFor([&] { return player.Player().currentFrame() >= 6; }, 20000));

    const QImage frame = player.CurrentImage();
    ASSERT_EQ(frame.size(), QSize(250, 150));
    EXPECT_EQ(frame.format(), QImage::Format_ARGB32_Premultiplied);
    EXPECT_GT(CountNotBackground(frame, player.Player().backgroundColor()), 250 * 150 / 50);
    // What the widget paints is that frame.
    EXPECT_EQ(player.grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied),
              player.CurrentImage());

    player.hide();
    EXPECT_FALSE(player.IsRunning());
    const std::uint32_t stoppedAt = player.Player().currentFrame();
    QCoreApplication::processEvents();
    EXPECT_EQ(player.Player().currentFrame(), stoppedAt);
}

TEST(PlayerWidget, MissingMovieLeavesAnEmptyWindow) {
    CPlayerWidget player;
    player.resize(100, 80);
    EXPECT_FALSE(player.LoadMovie(QStringLiteral(KINOVEX_PROGRAM_DIR "/no such movie.swf")));
    player.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&player));
    EXPECT_FALSE(player.IsRunning());
    EXPECT_TRUE(player.CurrentImage().isNull());
}

} // namespace
} // namespace kinovex
