// The conversion window against a stand-in encoder: a shell script named ffmpeg in a program
// folder of the test's own, whose behaviour the test picks through KX_FAKE_MODE.

#include "core/convert/AviHeaderFix.h"
#include "core/convert/CConsoleRedirector.h"
#include "desktop/convertwindow/CConvertDlg.h"
#include "desktop/widgets/CSkinButtonBar.h"

#include "NotedDialogs.h"
#include "TempDir.h"

#include <QKeyEvent>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace kinovex {
namespace {

// Prints status updates the way the encoder front-end does, then ends as KX_FAKE_MODE says.
// The output path is the last argument.
constexpr const char* kFakeEncoder = R"(#!/bin/sh
for last; do :; done
status() { printf 'frame=  %s q=2.0 size=  12kB time=%s bitrate= 9.0kbits/s    \r' "$1" "$2"; }
case "$KX_FAKE_MODE" in
success)  status 12 1.00; status 30 2.50; printf 'movie' > "$last"; exit 0 ;;
keep)     status 30 2.50; exit 0 ;;
silent)   printf 'Input #0, avi, from x.avi:\n  Stream #0:0: Video: msvideo1\n'; exit 1 ;;
broken)   status 30 2.50; printf 'movie' > "$last"; printf 'Error writing trailer\n'; exit 1 ;;
subsecond) status 5 0.40; printf 'movie' > "$last"; exit 0 ;;
hang)     printf 'movie' > "$last"; status 12 1.00; sleep 1000; exit 0 ;;
esac
exit 2
)";

class ConvertDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto ffmpeg = programFolder / "ffmpeg";
        test::WriteFile(ffmpeg, kFakeEncoder);
        std::filesystem::permissions(ffmpeg, std::filesystem::perms::owner_all);
        std::filesystem::create_directory_symlink(std::filesystem::path(KINOVEX_SOURCE_DIR) / "res",
                                                  programFolder / "res");
        profile.outputFolder = outputFolder.str();
        ApplyProfilePreset(0, profile);
        m_dialogs.onBox = [this](const QString& text, const QString&) {
            messages.push_back(text.toStdString());
            shownAtMessage = shown;
            progressAtMessage = dialog ? dialog->Progress() : -1;
            if (dialog)
                faceAtMessage = dialog->grab().toImage();
        };
        m_dialogs.onOpen = [this](const QString& opens) {
            opened.push_back(opens.toStdString());
            return true;
        };
    }
    // Runs the window modally to its end; `onProgress` runs after each progress report has been
    // shown.
    int Run(const std::string& mode, std::int32_t lengthMs = 3000,
            std::function<void(CConvertDlg&, int)> onProgress = {}) {
        test::ScopedEnv fake("KX_FAKE_MODE", mode);
        CConvertDlg window(m_dialogs, profile, (recording / "rec").string(), OutputBase(),
                           lengthMs);
        dialog = &window;
        QObject::connect(&window, &CConvertDlg::ProgressShown, [&](int seconds) {
            shown.push_back(seconds);
            if (onProgress)
                onProgress(window, seconds);
        });
        const int result = window.exec();
        dialog = nullptr;
        return result;
    }
    std::string OutputBase() const { return (outputFolder / "movie").string(); }
    std::filesystem::path OutputFile() const { return OutputBase() + profile.extension; }

    // Waits, handling no events, until the encoder has ended by itself: its end is then
    // waiting for the window, which has not seen it yet.
    static bool WaitForTheEncodersEnd() {
        for (int i = 0; i < 3000 && !GetProgressRedirector().ChildExitStatus(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return GetProgressRedirector().ChildExitStatus().has_value();
    }

    test::TempDir programFolder{"program"};
    test::TempDir outputFolder{"output folder"};
    test::TempDir recording{"recording"};
    test::ScopedEnv folder{"KINOVEX_PROGRAM_FOLDER", programFolder.str()};
    OutputProfile profile;
    CConvertDlg* dialog = nullptr;
    std::vector<std::string> messages;
    std::vector<std::string> opened;
    std::vector<int> shown;          // the progress reports the window has shown
    std::vector<int> shownAtMessage; // those shown before the result
    test::NotedDialogs m_dialogs;
    std::int32_t progressAtMessage = -1;
    QImage faceAtMessage;
};

TEST_F(ConvertDlgTest, SuccessShowsAFullBarThenOpensTheOutputFolder) {
    EXPECT_EQ(Run("success", 60000), CConvertDlg::kResultCancel);
    EXPECT_EQ(messages, std::vector<std::string>{"Conversion finished successfully!"});
    EXPECT_EQ(opened, std::vector<std::string>{outputFolder.str()});
    EXPECT_TRUE(std::filesystem::exists(OutputFile()));
    // 2 s of 60 s were reported, yet the window shows 100 % behind the message.
    EXPECT_EQ(progressAtMessage, 60 + 100);
    ASSERT_FALSE(faceAtMessage.isNull());
    const QColor barEnd = faceAtMessage.pixelColor(CConvertDlg::kBarX + 165, 25);
    const QColor trackEnd = QImage(QString(KINOVEX_SOURCE_DIR) + "/res/bitmaps/213.png")
                                .pixelColor(CConvertDlg::kBarX + 165, 25);
    EXPECT_NE(barEnd, trackEnd);
    // Every report came before the result, in rising whole seconds (the encoder's two lines
    // may arrive in one piece, which reports only the last).
    EXPECT_EQ(shownAtMessage, shown);
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back(), 2);
    EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end()));
}

TEST_F(ConvertDlgTest, RunsWithoutAWholeSecondOrWithAFailingEncoderFail) {
    for (const char* mode : {"silent", "subsecond", "broken", "keep"}) {
        SCOPED_TRACE(mode);
        messages.clear();
        std::filesystem::remove(OutputFile());
        Run(mode);
        EXPECT_EQ(messages, std::vector<std::string>{"Conversion failed."});
        EXPECT_TRUE(opened.empty());
        // What the encoder wrote stays.
        EXPECT_EQ(std::filesystem::exists(OutputFile()),
                  std::string(mode) != "silent" && std::string(mode) != "keep");
    }
}

TEST_F(ConvertDlgTest, AMissingEncoderFails) {
    std::filesystem::remove(programFolder / "ffmpeg");
    test::TempDir empty("empty path");
    test::ScopedEnv path("PATH", empty.str());
    Run("success");
    EXPECT_EQ(messages, std::vector<std::string>{"Conversion failed."});
}

TEST_F(ConvertDlgTest, CancelStopsTheEncoderAndDeletesTheOutput) {
    bool clicked = false;
    Run("hang", 3000, [&](CConvertDlg& window, int) {
        if (!clicked) {
            clicked = true;
            auto* bar = window.findChild<CSkinButtonBar*>();
            ASSERT_NE(bar, nullptr);
            QTest::mousePress(bar, Qt::LeftButton, {}, {30, 12});
            QTest::mouseRelease(bar, Qt::LeftButton, {}, {30, 12});
        }
    });
    EXPECT_TRUE(clicked);
    EXPECT_EQ(messages, std::vector<std::string>{"User canceled."});
    EXPECT_FALSE(std::filesystem::exists(OutputFile()));
    EXPECT_FALSE(GetProgressRedirector().IsChildRunning());
    EXPECT_TRUE(opened.empty());
}

TEST_F(ConvertDlgTest, CancelAfterTheEncoderHasEndedStillCancels) {
    Run("success", 3000, [&](CConvertDlg& window, int) {
        if (!window.Cancelled()) {
            ASSERT_TRUE(WaitForTheEncodersEnd());
            window.OnConvertButton(CConvertDlg::kCancelButtonId);
        }
    });
    EXPECT_EQ(messages, std::vector<std::string>{"User canceled."});
    EXPECT_FALSE(std::filesystem::exists(OutputFile()));
}

TEST_F(ConvertDlgTest, EnterDoesNothingAndEscapeCancelsWhileTheEncoderRuns) {
    bool pressed = false;
    Run("hang", 3000, [&](CConvertDlg& window, int) {
        if (pressed)
            return;
        pressed = true;
        QTest::keyClick(&window, Qt::Key_Return);
        QTest::keyClick(&window, Qt::Key_Enter);
        window.close();
        EXPECT_TRUE(window.isVisible());
        EXPECT_FALSE(window.Cancelled());
        QTest::keyClick(&window, Qt::Key_Escape);
        EXPECT_TRUE(window.isVisible()); // open until the end has been handled
        EXPECT_TRUE(window.Cancelled());
    });
    EXPECT_TRUE(pressed);
    EXPECT_EQ(messages, std::vector<std::string>{"User canceled."});
}

TEST_F(ConvertDlgTest, AWindowDestroyedMidRunTakesTheEncoderWithIt) {
    test::ScopedEnv fake("KX_FAKE_MODE", "hang");
    for (const bool waitForProgress : {true, false}) {
        SCOPED_TRACE(waitForProgress ? "encoder running" : "encoder not started yet");
        auto window = std::make_unique<CConvertDlg>(
            m_dialogs, profile, (recording / "rec").string(), OutputBase(), 3000);
        window->show();
        if (waitForProgress) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return window->Progress() > 0; }, 30000));
        }
        window.reset(); // would wait for the encoder's end if it were not stopped
        EXPECT_FALSE(GetProgressRedirector().IsChildRunning());
        EXPECT_EQ(GetProgressRedirector().ReaderThread(), nullptr);
    }
    EXPECT_TRUE(messages.empty());
}

TEST(ConvertDlgArithmetic, BarAndPercentFollowTheRecordingLength) {
    EXPECT_EQ(CConvertDlg::BarWidth(30, 60000), 84);
    EXPECT_EQ(CConvertDlg::Percent(30, 60000), 50);
    EXPECT_EQ(CConvertDlg::BarWidth(61, 60000), 168);
    EXPECT_EQ(CConvertDlg::Percent(61, 60000), 100);
    EXPECT_EQ(CConvertDlg::BarWidth(0, 60000), 0);
    EXPECT_EQ(CConvertDlg::Percent(5, 0), 0);
    // Five and a half hours: 32-bit products would have wrapped long before.
    EXPECT_EQ(CConvertDlg::BarWidth(15000, 20000000), 126);
    EXPECT_EQ(CConvertDlg::Percent(15000, 20000000), 75);
}

TEST(AviHeaderFix, WritesTheCodeOnlyIntoAStandardAviHeader) {
    test::TempDir folder("avi");
    std::string avi(400, '\0');
    for (const auto& [offset, text] :
         std::vector<std::pair<std::size_t, std::string>>{{0, "RIFF"},
                                                          {8, "AVI "},
                                                          {12, "LIST"},
                                                          {100, "strh"},
                                                          {108, "vids"},
                                                          {112, "DIV3"},
                                                          {164, "strf"},
                                                          {188, "DIV3"}})
        avi.replace(offset, 4, text);
    test::WriteFile(folder / "a.avi", avi);
    EXPECT_EQ(FixMsmpeg4Header((folder / "a.avi").string()), AviHeaderFix::Patched);
    std::string expected = avi;
    expected.replace(112, 4, "MP43").replace(188, 4, "MP43");
    EXPECT_EQ(test::ReadFile(folder / "a.avi"), expected);

    const std::string mp4 = std::string("\0\0\0\x20"
                                        "ftypisom",
                                        12) +
                            std::string(300, 'x');
    test::WriteFile(folder / "b.mp4", mp4);
    EXPECT_EQ(FixMsmpeg4Header((folder / "b.mp4").string()), AviHeaderFix::NotAvi);
    EXPECT_EQ(test::ReadFile(folder / "b.mp4"), mp4);

    test::WriteFile(folder / "short.avi", avi.substr(0, 150));
    EXPECT_EQ(FixMsmpeg4Header((folder / "short.avi").string()), AviHeaderFix::NotAvi);
    EXPECT_EQ(FixMsmpeg4Header((folder / "missing.avi").string()), AviHeaderFix::CannotOpen);
}

} // namespace
} // namespace kinovex
