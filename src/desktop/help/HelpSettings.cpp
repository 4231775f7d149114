#include "desktop/help/HelpSettings.h"

#include "platform/qt/UserFolders.h"

#include <QSettings>

namespace kinovex {
namespace {

QString ReadSetting(const char* key, const char* defaultValue) {
    QSettings store(SettingsFilePath(), QSettings::IniFormat);
    store.beginGroup(QStringLiteral("Moviqa"));
    const QString value = store.value(QLatin1String(key)).toString().trimmed();
    return value.isEmpty() ? QString::fromLatin1(defaultValue) : value;
}

} // namespace

QString WebsiteUrl() {
    return ReadSetting("Website", kDefaultWebsite);
}

QString VersionFileUrl() {
    QString server = ReadSetting("UpdateServer", kDefaultUpdateServer);
    while (server.endsWith(u'/'))
        server.chop(1);
    return server + QStringLiteral("/version.ini");
}

} // namespace kinovex
