// The whole road through the desktop program, in process: start-up on a temporary home, a
// dropped movie that draws moving shapes and plays a 1 kHz tone, Play and Record, three seconds
// of recording, Stop Recording, the conversion by the real encoder, and the clean-up at exit.
// Runs under the private X server and sound server of scripts/with-test-services.sh.

#include "core/record/RecordingRun.h"
#include "desktop/app/CConverterApp.h"
#include "desktop/mainwindow/CMainDlg.h"
#include "desktop/moviepage/CMoviePage.h"
#include "platform/AudioMixer.h"

#include "NotedDialogs.h"
#include "ShapesAndTone.h"
#include "TempDir.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

namespace kinovex {
namespace {

namespace fs = std::filesystem;
using test::ExpectShapesAndTone;
using test::ScopedEnv;
using test::TempDir;

TEST(DesktopRoad, DropPlayRecordStopConvert) {
    {
        CAudioMixer mixer;
        std::vector<std::string> names;
        if (!mixer.GetInputSourceName(names) || names.empty()) {
            if (std::getenv("CI") != nullptr)
                FAIL() << "no sound server (run under scripts/with-test-services.sh)";
            GTEST_SKIP() << "no sound server";
        }
    }
    TempDir home("desktop road");
    // A program folder of its own (its Temp folder is ours to watch) with the built parts.
    const fs::path program = home / "program";
    fs::create_directories(program);
    for (const char* part : {"ffmpeg", "res", "head.swf"})
        fs::create_symlink(fs::path(KINOVEX_PROGRAM_DIR) / part, program / part);
    ScopedEnv programFolder("KINOVEX_PROGRAM_FOLDER", program.string());
    ScopedEnv documents("KINOVEX_DOCUMENTS", (home / "Documents").string());
    ScopedEnv settings("KINOVEX_SETTINGS", (home / "settings.conf").string());
    fs::create_directories(home / "movies");
    const fs::path moviePath = home / "movies" / "Shapes.swf";
    test::WriteShapesAndToneMovie(moviePath);

    QStringList boxes;
    const auto dialogs = std::make_shared<test::NotedDialogs>();
    dialogs->onBox = [&](const QString& text, const QString&) { boxes.append(text); };
    dialogs->onOpen = [](const QString&) { return true; };
    MainWindowServices services = DesktopMainWindowServices(dialogs);
    services.volumeControl = [] {};

    bool idleBeforeConversion = false;
    bool tempHeldRecording = false;
    bool driven = false;
    QTimer::singleShot(0, [&] {
        CMainDlg* dialog = nullptr;
        ASSERT_TRUE(QTest::qWaitFor([&] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (auto* main = qobject_cast<CMainDlg*>(widget); main && main->isVisible())
                    dialog = main;
            }
            return dialog != nullptr;
        }));
        // How the window looks when the conversion starts.
        struct ConversionWatch : RunObserver {
            CMainDlg* dialog;
            fs::path recording;
            bool& idle;
            bool& held;
            ConversionWatch(CMainDlg* d, fs::path r, bool& i, bool& h)
                : dialog(d), recording(std::move(r)), idle(i), held(h) {}
            void OnRunEvent(RunEvent event) override {
                if (event != RunEvent::ConversionStarting)
                    return;
                idle = dialog->Run().State() == RunState::Idle && dialog->m_barMain.isVisible() &&
                       !dialog->m_barEndRecord.isVisible();
                held = fs::exists(recording);
            }
        } watch{dialog, program / "Temp" / "Shapes.avi", idleBeforeConversion, tempHeldRecording};
        dialog->Run().AddObserver(watch);
        // However the steps end, the window closes, so the program's run ends.
        struct Closer {
            CMainDlg* dialog;
            RunObserver& watch;
            ~Closer() {
                if (dialog->Run().State() == RunState::Recording)
                    dialog->OnRecord();
                dialog->Run().RemoveObserver(watch);
                dialog->close();
            }
        } closer{dialog, watch};

        dialog->OnDropFiles({QString::fromStdString(moviePath.string())});
        ASSERT_EQ(dialog->Run().State(), RunState::Playing);
        dialog->OnRecord();
        ASSERT_EQ(dialog->Run().State(), RunState::Recording);
        ASSERT_TRUE(QTest::qWaitFor([&] { return dialog->Run().RecordElapsed() >= 3000; }, 30000));
        dialog->OnRecord(); // Stop Recording: returns when the conversion window has closed
        driven = true;
    });
    {
        CConverterApp app(services);
        app.InitInstance();
    }
    ASSERT_TRUE(driven);

    EXPECT_TRUE(idleBeforeConversion);
    EXPECT_TRUE(tempHeldRecording);
    EXPECT_TRUE(boxes.contains("Conversion finished successfully!"))
        << boxes.join(" | ").toStdString();
    // The temporary files are gone with their folder.
    EXPECT_FALSE(fs::exists(program / "Temp"));

    std::vector<fs::path> outputs;
    for (const auto& entry : fs::directory_iterator(home / "Documents" / "Tessaline"))
        if (entry.path().extension() == ".mp4")
            outputs.push_back(entry.path());
    ASSERT_EQ(outputs.size(), 1u);
    const QString output = QString::fromStdString(outputs.front().string());
    EXPECT_EQ(outputs.front().filename().string().rfind("Shapes(", 0), 0u);

    ExpectShapesAndTone(output);
}

} // namespace
} // namespace kinovex
