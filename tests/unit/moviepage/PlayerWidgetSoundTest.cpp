// The player widget's sound: a movie that makes a sound is heard through the sound server; a
// silent one never contacts it.

#include "desktop/moviepage/CPlayerWidget.h"

#include "Sound.h"
#include "SwfWriter.h"
#include "TempDir.h"

#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace kinovex {
namespace {

std::string ToneMovie(const test::TempDir& dir) {
    swf::SwfWriter movie(100, 100, 24);
    std::vector<std::int16_t> tone(44100);
    for (std::size_t i = 0; i < tone.size(); ++i)
        tone[i] = static_cast<std::int16_t>(8000 * std::sin(2 * M_PI * 440 * i / 44100.0));
    const auto id =
        swf::DefineSound(movie, {swf::SoundCodec::PcmLittle, 3, true, false},
                         static_cast<std::uint32_t>(tone.size()), swf::Pcm16Bytes(tone));
    swf::StartSound(movie, id);
    for (int n = 0; n < 48; ++n)
        movie.showFrame();
    const auto bytes = movie.finish();
    const auto path = dir / "tone.swf";
    test::WriteFile(path, std::string(bytes.begin(), bytes.end()));
    return path.string();
}

TEST(PlayerWidgetSound, AMovieWithSoundIsHeardThroughTheServer) {
    if (std::getenv("PULSE_SERVER") == nullptr) {
        if (std::getenv("CI") != nullptr)
            FAIL() << "no sound server: run under scripts/with-test-services.sh";
        GTEST_SKIP() << "no sound server";
    }
    test::TempDir dir("kinovex player sound");
    CPlayerWidget player;
    player.resize(100, 100);
    ASSERT_TRUE(player.LoadMovie(QString::fromStdString(ToneMovie(dir))));
    player.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&player));
    EXPECT_TRUE(QTest::qWaitFor([&] { return player.IsSoundOpen(); }, 10000));
}

TEST(PlayerWidgetSound, ASilentMovieLeavesTheServerAlone) {
    CPlayerWidget player;
    player.resize(100, 100);
    ASSERT_TRUE(player.LoadMovie(QStringLiteral(KINOVEX_PROGRAM_DIR "/head.swf")));
    player.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&player));
    ASSERT_TRUE(QTest::qWaitFor([&] { return player.Player().currentFrame() >= 4; }, 20000));
    EXPECT_FALSE(player.IsSoundOpen());
}

} // namespace
} // namespace kinovex
