#include "desktop/app/CConverterApp.h"

#include "core/record/TempFolder.h"
#include "desktop/app/CommandLine.h"
#include "desktop/mainwindow/CMainDlg.h"
#include "desktop/moviepage/CMoviePage.h"
#include "desktop/widgets/CSettingsDlg.h"
#include "platform/ProgramFolder.h"
#include "platform/qt/UserFolders.h"

#include <QFile>
#include <QSettings>

#include <filesystem>
#include <memory>
#include <system_error>

namespace kinovex {
namespace {

namespace fs = std::filesystem;

CConverterApp* g_pApp = nullptr;

fs::path ToPath(const QString& text) {
    return fs::path(text.toStdString());
}

std::unique_ptr<QSettings> OpenSettings() {
    // One INI file per program name under the "Tessaline" organisation; the section is
    // "Moviqa" as the keys have always been.
    auto store = std::make_unique<QSettings>(SettingsFilePath(), QSettings::IniFormat);
    store->beginGroup(QStringLiteral("Moviqa"));
    return store;
}

QString TempFolderMessage(const TempFolderChoice& choice) {
    QString text = QStringLiteral(
        "Recordings need a folder for their temporary files, and none of these can be written:");
    for (const std::string& folder : choice.tried)
        text += u'\n' + QString::fromStdString(folder);
    return text;
}

// Selects the movie `path` as a click in the browser would, or says, once the window is up,
// why it cannot: the window then starts on the last folder.
void OpenStartMovie(CMainDlg& window, const QString& path,
                    std::shared_ptr<DesktopDialogs> dialogs) {
    QString text;
    switch (CheckMovieFile(QFile::encodeName(path).toStdString())) {
    case MovieFileProblem::None: {
        const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
        const QString file = path.mid(slash + 1);
        window.m_pPage->m_strMovieFolder = path.left(slash + 1);
        window.m_pPage->m_strStartMovie = file.left(file.lastIndexOf(QLatin1Char('.')));
        window.m_nPanel = 0; // the browser, where the movie shows selected
        return;
    }
    case MovieFileProblem::Missing:
        text = QStringLiteral("The movie %1 cannot be found.").arg(path);
        break;
    case MovieFileProblem::NotMovie:
        text = QStringLiteral("Invalid file type.");
        break;
    case MovieFileProblem::Unreadable:
        text = QStringLiteral("The movie %1 cannot be read.").arg(path);
        break;
    }
    CMainDlg* parent = &window;
    QMetaObject::invokeMethod(
        parent, [parent, dialogs, text] { dialogs->MessageBox(text, parent); },
        Qt::QueuedConnection);
}

} // namespace

CConverterApp* AfxGetApp() {
    return g_pApp;
}

CConverterApp::CConverterApp(MainWindowServices services) : m_services(std::move(services)) {
    g_pApp = this;
}

void EmptyAndRemoveFolder(const QString& folder) {
    std::error_code error;
    const fs::path root = ToPath(folder);
    for (fs::directory_iterator it(root, error), end; !error && it != end; it.increment(error)) {
        std::error_code typeError;
        if (it->is_directory(typeError) && !it->is_symlink(typeError))
            continue; // subfolders are left alone
        std::error_code removeError;
        fs::remove(it->path(), removeError);
    }
    std::error_code removeError;
    fs::remove(root, removeError); // fails, as it should, while anything is left in it
}

bool CConverterApp::InitInstance() {
    // 1. Control hosting: the player is our own engine in a plain widget; nothing to enable.

    // 2-3. The program folder becomes the current directory, so that relative names resolve
    // beside the program.
    m_strAppFolder = QString::fromStdString(ProgramFolder());
    std::error_code error;
    fs::current_path(ToPath(m_strAppFolder), error);

    // 4. Without the encoder nothing can be converted: say so and touch nothing.
    std::error_code statusError;
    if (!fs::exists(fs::status(ToPath(m_strAppFolder + QStringLiteral("/ffmpeg")), statusError))) {
        m_services.dialogs->MessageBox(QStringLiteral("File broken."));
        return false;
    }

    // 5. The temporary folder; it may exist already. The program folder's Temp when it can be
    // written there, else the user's cache; with neither, a recording could only fail, so say so
    // and touch nothing.
    const TempFolderChoice temp = ChooseTempFolder(m_strAppFolder.toStdString());
    if (temp.error != TempFolderError::None) {
        m_services.dialogs->MessageBox(TempFolderMessage(temp));
        return false;
    }
    m_services.tempFolder = temp.folder;
    const QString tempFolder = QString::fromStdString(temp.folder);

    // 6. Three-dimensional controls are the toolkit's default.

    // 7. The data folder with every missing parent.
    const QString documents = DocumentsFolder();
    fs::create_directories(ToPath(documents + QStringLiteral("/Tessaline/")), error);

    // 8. The main window, which builds the movie page and the settings page.
    auto mainDlg = std::make_unique<CMainDlg>(m_services);
    CMoviePage& page = *mainDlg->m_pPage;
    CSettingsDlg& settings = *page.m_pSettingsDlg;

    // 9-10. Load the three settings.
    {
        const auto store = OpenSettings();
        page.m_strMovieFolder =
            store->value(QStringLiteral("LastPath"), QStringLiteral("/")).toString();
        settings.profileIndex = store->value(QStringLiteral("Profile"), 0).toInt();
        settings.outputFolder =
            store->value(QStringLiteral("Output"), documents + QStringLiteral("/Tessaline"))
                .toString();
    }

    if (!m_strStartMovie.isEmpty())
        OpenStartMovie(*mainDlg, m_strStartMovie, m_services.dialogs);

    // 11. The whole interactive run.
    mainDlg->exec();

    // 12. Store the settings on every normal exit, changed or not.
    {
        const auto store = OpenSettings();
        store->setValue(QStringLiteral("LastPath"), page.m_strMovieFolder);
        store->setValue(QStringLiteral("Profile"), settings.profileIndex);
        store->setValue(QStringLiteral("Output"), settings.outputFolder);
        store->endGroup();
        store->sync();
    }

    // 13-14. Empty the temporary folder and remove it when nothing is left.
    EmptyAndRemoveFolder(tempFolder);

    // 15. The main window goes with this scope.
    return false;
}

} // namespace kinovex
