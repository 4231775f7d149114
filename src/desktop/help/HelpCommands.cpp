#include "desktop/help/HelpCommands.h"

#include "desktop/help/CAboutDlg.h"
#include "desktop/help/DownloadFile.h"
#include "desktop/help/HelpSettings.h"
#include "desktop/help/ProfileInt.h"
#include "platform/ProgramFolder.h"
#include "platform/qt/DesktopDialogs.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace kinovex {
namespace {

// The version of this program as the update server counts: 100 is 1.00.
constexpr int kThisVersion = 100;

QString ProgramFile(const char* name) {
    return QString::fromStdString(ProgramFolder()) + u'/' + QLatin1String(name);
}

// Where the update server's answer is kept: beside the program, where it has always been, as
// long as the program folder can be written; an installed program's folder belongs to root,
// so there it goes to the user's cache folder instead of failing every check.
QString VersionCopyPath() {
    const QString besideProgram = ProgramFile("version.ini");
    const QFileInfo copy(besideProgram);
    if (copy.exists() ? copy.isWritable() : QFileInfo(copy.path()).isWritable())
        return besideProgram;
    QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    if (!cache.startsWith(u'/'))
        cache = QDir::homePath() + QStringLiteral("/.cache");
    const QString folder = cache + QStringLiteral("/kinovex");
    QDir().mkpath(folder);
    return folder + QStringLiteral("/version.ini");
}

} // namespace

void ShowAboutBox(QWidget* owner) {
    CAboutDlg box(owner);
    box.exec();
}

void ShowHelp(DesktopDialogs& dialogs, QWidget* owner) {
    const QString manual = ProgramFile("help.html");
    if (!QFileInfo(manual).isFile()) {
        dialogs.MessageBox(QStringLiteral("Cannot find help file."), owner);
        return;
    }
    // A browser that does not start is not news.
    dialogs.OpenUrl(QUrl::fromLocalFile(manual).toString());
}

void OpenWebsite(DesktopDialogs& dialogs) {
    dialogs.OpenUrl(WebsiteUrl());
}

void CheckForUpdate(DesktopDialogs& dialogs, QWidget* owner) {
    // The copy stays; the next check overwrites it.
    const QString localCopy = VersionCopyPath();
    const QString result = DownloadFile(VersionFileUrl(), localCopy);
    if (result != QLatin1String("YES")) {
        dialogs.MessageBox(QStringLiteral("Error: ") + result, owner);
        return;
    }
    // The section's name is spelt as the update server has always spelt it.
    const int version =
        ReadProfileInt(localCopy, QStringLiteral("Gerneral"), QStringLiteral("version"), 0);
    if (version > kThisVersion) {
        dialogs.MessageBox(QStringLiteral("New version Found"), owner);
        dialogs.OpenUrl(WebsiteUrl());
    } else {
        dialogs.MessageBox(QStringLiteral("No new version"), owner);
    }
}

} // namespace kinovex
