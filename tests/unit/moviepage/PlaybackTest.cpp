// The movie page's playback and recording operations with a generated movie, and the player
// window's input.

#include "core/record/RecordingRun.h"
#include "desktop/moviepage/CMoviePage.h"
#include "desktop/moviepage/CPlayerWnd.h"

#include "AviFrames.h"
#include "FakeRecordingServices.h"
#include "NotedDialogs.h"
#include "SwfWriter.h"
#include "TempDir.h"

#include <QTest>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

namespace kinovex {
namespace {

namespace fs = std::filesystem;
using test::ScopedEnv;
using test::TempDir;

constexpr std::uint32_t kBackground = 0x3366CC;
constexpr std::uint32_t kBox = 0xFF0000;

void SaveMovie(const fs::path& path) {
    swf::SwfWriter movie(80, 60, 24);
    movie.setBackground(swf::Rgb(kBackground));
    swf::ShapeBuilder box;
    box.fill0(box.addFill(swf::FillStyle::solid(swf::Rgb(kBox)))).rectangle(0, 0, 40, 60);
    movie.place(1, movie.defineShape(box));
    for (int i = 0; i < 24; ++i)
        movie.showFrame();
    movie.save(path);
}

class PagePlayback : public ::testing::Test {
protected:
    PagePlayback() {
        SaveMovie(m_movies / "movie.swf");
        test::WriteFile(m_movies / "broken.swf", "this is not a movie");
        m_dialogs.onBox = [this](const QString& text, const QString&) { m_boxes << text; };
    }

    // The page as the main window leaves it before Play: a movie chosen and its place set.
    void Choose(CMoviePage& page, const QString& name) {
        page.resize(3 * 300, 200);
        page.m_strMovieFolder = QString::fromStdString(m_movies.str()) + "/";
        page.m_strMovieName = name;
        page.m_rcMovie = QRect(410, 70, 80, 60);
    }

    TempDir m_program{"page playback program"};
    TempDir m_movies{"page playback movies"};
    ScopedEnv m_programFolder{"KINOVEX_PROGRAM_FOLDER", m_program.str()};
    QStringList m_boxes;
    test::NotedDialogs m_dialogs;
};

TEST_F(PagePlayback, PlaysRecordsAndStops) {
    // Sound capture from a fake input: two blocks of silence as fast as they are taken.
    FakeCaptureOptions capture;
    capture.totalBytes = 2 * kCaptureBlockBytes;
    const test::FakeRecording fake = test::MakeFakeRecording(capture);
    RecordingRun run(fake.Services());

    CMoviePage page(run, m_dialogs, (m_program / "Temp").string());
    page.OnInitDialog();
    Choose(page, "movie");
    page.StartPlayback();

    // The introductory movie made way for the player window at the given place.
    EXPECT_EQ(page.m_pHeadWnd, nullptr);
    EXPECT_EQ(page.m_nHeadState, CMoviePage::HeadDestroyed);
    EXPECT_EQ(run.State(), RunState::Playing);
    CPlayerWnd* window = page.PlayerWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->geometry(), QRect(410, 70, 80, 60));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->HasFrame(); }, 10000));
    const QImage frame = window->CurrentImage();
    EXPECT_EQ(frame.size(), QSize(80, 60));
    EXPECT_EQ(frame.pixel(10, 30) & 0xFFFFFF, kBox);
    EXPECT_EQ(frame.pixel(70, 30) & 0xFFFFFF, kBackground);

    // A stale recording of the same movie is replaced, never appended to.
    const std::string base = page.TempBase();
    EXPECT_EQ(base, m_program.str() + "/Temp/movie");
    fs::create_directories(m_program / "Temp");
    test::WriteFile(base + ".avi", "an old recording");
    run.Record();
    ASSERT_TRUE(QTest::qWaitFor([&] { return run.RecordElapsed() >= 300; }, 10000));
    fake.capture->WaitDelivered();
    // Stopping the recording stops playback too and hands the recording to the encoder step.
    run.StopRecording();
    EXPECT_EQ(run.State(), RunState::Idle);
    const std::uint32_t elapsed = run.RecordElapsed();
    ASSERT_EQ(fake.encoder->requests.size(), 1u);
    EXPECT_EQ(fake.encoder->requests[0].tempBase, base);
    EXPECT_EQ(fake.encoder->requests[0].movieName, "movie");
    EXPECT_EQ(fake.encoder->requests[0].elapsedMs, elapsed);

    // ceil(elapsed / 83) frames; the elapsed time is read a moment after the catch-up and may
    // have crossed into the next period.
    const std::string avi = test::ReadFile(base + ".avi");
    EXPECT_EQ(avi.substr(0, 4), "RIFF");
    EXPECT_NEAR(test::CountAviFrames(avi), static_cast<int>((elapsed + 82) / 83), 1);
    const std::string wav = test::ReadFile(base + ".wav");
    EXPECT_EQ(wav.size(), 56 + 2 * kCaptureBlockBytes);

    // The window goes when the thread has ended.
    EXPECT_TRUE(QTest::qWaitFor([&] { return page.PlayerWindow() == nullptr; }, 10000));
    EXPECT_FALSE(page.IsPlayerRunning());
    EXPECT_TRUE(m_boxes.isEmpty()) << m_boxes.join('|').toStdString();

    // Playing again works the same, and the recorder's files are the same pair.
    page.StartPlayback();
    ASSERT_NE(page.PlayerWindow(), nullptr);
    EXPECT_TRUE(QTest::qWaitFor([&] { return page.PlayerWindow()->HasFrame(); }, 10000));
    run.StopPlaying();
    EXPECT_TRUE(QTest::qWaitFor([&] { return page.PlayerWindow() == nullptr; }, 10000));
}

TEST_F(PagePlayback, MovieThatCannotBeLoadedIsReportedAndLeavesTheWindowEmpty) {
    const test::FakeRecording fake = test::MakeFakeRecording();
    RecordingRun run(fake.Services());
    CMoviePage page(run, m_dialogs, (m_program / "Temp").string());
    Choose(page, "broken");
    page.StartPlayback();
    CPlayerWnd* window = page.PlayerWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_boxes.isEmpty(); }, 10000));
    EXPECT_TRUE(m_boxes.first().startsWith(CMoviePage::kCannotPlayText));
    EXPECT_EQ(m_boxes.size(), 1);

    // Until playback stops the window stays where it was, empty.
    QCoreApplication::processEvents();
    EXPECT_EQ(page.PlayerWindow(), window);
    EXPECT_FALSE(window->HasFrame());
    run.StopPlaying();
    EXPECT_TRUE(QTest::qWaitFor([&] { return page.PlayerWindow() == nullptr; }, 10000));
}

TEST_F(PagePlayback, WindowPassesLeftButtonAndKeysToTheMovie) {
    std::mutex mutex;
    std::vector<PlayerEvent> delivered;
    PlayerThreadOptions options;
    options.moviePath = (m_movies / "movie.swf").string();
    options.viewWidth = 80;
    options.viewHeight = 60;
    options.playSound = false;
    options.onEvent = [&](const PlayerEvent& event) {
        std::lock_guard lock(mutex);
        delivered.push_back(event);
    };
    FrameRecorder recorder;
    PlayerThread thread(options, recorder);
    thread.Start();
    CPlayerWnd window;
    window.resize(160, 60);
    window.Attach(&thread);

    QTest::mouseClick(&window, Qt::RightButton, {}, QPoint(5, 5));
    QTest::mouseClick(&window, Qt::MiddleButton, {}, QPoint(5, 5));
    QTest::mouseClick(&window, Qt::LeftButton, {}, QPoint(120, 30));
    QTest::keyClick(&window, Qt::Key_A);
    QTest::keyClick(&window, Qt::Key_Left);
    // The window posts as it gets the events; the thread has them once it is idle.
    thread.WaitUntilIdle();
    std::lock_guard lock(mutex);
    using T = PlayerEvent::Type;
    std::vector<T> types;
    for (const PlayerEvent& event : delivered)
        if (event.type != T::MouseMove)
            types.push_back(event.type);
    EXPECT_EQ(types, (std::vector<T>{T::MouseDown, T::MouseUp, T::KeyDown, T::KeyUp, T::KeyDown,
                                     T::KeyUp}));
    const auto down = std::find_if(delivered.begin(), delivered.end(),
                                   [](const PlayerEvent& e) { return e.type == T::MouseDown; });
    ASSERT_NE(down, delivered.end());
    EXPECT_EQ(down->button, PlayerEvent::Button::Left);
    EXPECT_EQ(down->x, 120);
    const auto key = std::find_if(delivered.begin(), delivered.end(),
                                  [](const PlayerEvent& e) { return e.type == T::KeyDown; });
    ASSERT_NE(key, delivered.end());
    EXPECT_EQ(key->keyCode, 65);
    EXPECT_EQ(key->charCode, static_cast<std::uint32_t>('a'));
    EXPECT_EQ(CPlayerWnd::FlashKeyCode(Qt::Key_Left), 37);
    EXPECT_EQ(CPlayerWnd::FlashKeyCode(Qt::Key_Return), 13);
    EXPECT_EQ(CPlayerWnd::FlashKeyCode(Qt::Key_F1), 112);
    window.Attach(nullptr);
}

} // namespace
} // namespace kinovex
