#include "desktop/app/ProgramIcon.h"

#include "platform/ProgramFolder.h"

#include <QApplication>
#include <QDir>

namespace kinovex {

QIcon ProgramIcon(const QString& programFolder) {
    QIcon shipped;
    const QDir icons(programFolder + QStringLiteral("/res/icons"));
    const QStringList pictures =
        icons.entryList({QStringLiteral("kinovex-*.png")}, QDir::Files, QDir::Name);
    for (const QString& picture : pictures)
        shipped.addFile(icons.filePath(picture));
    return QIcon::fromTheme(QStringLiteral("kinovex"), shipped);
}

void SetUpProgramIcon() {
    QGuiApplication::setDesktopFileName(QStringLiteral("kinovex"));
    QApplication::setWindowIcon(ProgramIcon(QString::fromStdString(ProgramFolder())));
}

} // namespace kinovex
