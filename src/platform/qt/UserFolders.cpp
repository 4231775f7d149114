#include "platform/qt/UserFolders.h"

#include "platform/ProgramFolder.h"

#include <QSettings>
#include <QStandardPaths>

namespace kinovex {

QString DocumentsFolder() {
    const QString overridden = qEnvironmentVariable("KINOVEX_DOCUMENTS");
    QString folder = overridden.isEmpty()
                         ? QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
                         : overridden;
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder;
}

QString SettingsFilePath() {
    const QString overridden = qEnvironmentVariable("KINOVEX_SETTINGS");
    if (!overridden.isEmpty())
        return overridden;
    const QSettings store(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Tessaline"),
                          QString::fromStdString(ProgramBaseName()));
    return store.fileName();
}

} // namespace kinovex
