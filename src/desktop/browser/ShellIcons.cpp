#include "desktop/browser/ShellIcons.h"

#include <QApplication>
#include <QHash>
#include <QMimeDatabase>
#include <QPainter>
#include <QStyle>

namespace kinovex {
namespace {

// Without a desktop session no icon theme is set; the freedesktop default is then used, so
// the browser looks the same under any session (and in screenshots taken without one).
void EnsureIconTheme() {
    static const bool once = [] {
        if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor"))
            QIcon::setThemeName(QStringLiteral("Adwaita"));
        return true;
    }();
    (void)once;
}

QIcon Themed(std::initializer_list<const char*> names, QStyle::StandardPixmap fallback) {
    EnsureIconTheme();
    for (const char* name : names) {
        const QIcon icon = QIcon::fromTheme(QString::fromLatin1(name));
        if (!icon.isNull())
            return icon;
    }
    return QApplication::style()->standardIcon(fallback);
}

} // namespace

QSize SmallIconSize() {
    return {16, 16};
}

QSize LargeIconSize() {
    return {48, 48};
}

QIcon MovieFileIcon(const QString& path) {
    // One icon per file type, as the shell's image list held one image per type.
    static QHash<QString, QIcon> byType;
    static const QMimeDatabase database;
    const QMimeType type = database.mimeTypeForFile(path, QMimeDatabase::MatchExtension);
    const QString key = type.name();
    auto found = byType.find(key);
    if (found != byType.end())
        return *found;
    EnsureIconTheme();
    QIcon icon = QIcon::fromTheme(type.iconName());
    if (icon.isNull())
        icon = QIcon::fromTheme(type.genericIconName());
    if (icon.isNull())
        icon = Themed({"video-x-generic", "application-x-generic"}, QStyle::SP_FileIcon);
    byType.insert(key, icon);
    return icon;
}

QIcon FolderIcon(bool open) {
    return open ? Themed({"folder-open", "folder"}, QStyle::SP_DirOpenIcon)
                : Themed({"folder"}, QStyle::SP_DirClosedIcon);
}

QIcon DriveIcon(DriveType type) {
    switch (type) {
    case DRIVE_REMOVABLE:
        return Themed({"drive-removable-media", "media-removable"}, QStyle::SP_DriveFDIcon);
    case DRIVE_REMOTE:
        return Themed({"folder-remote", "network-server"}, QStyle::SP_DriveNetIcon);
    case DRIVE_CDROM:
        return Themed({"media-optical", "drive-optical"}, QStyle::SP_DriveCDIcon);
    default:
        return Themed({"drive-harddisk"}, QStyle::SP_DriveHDIcon);
    }
}

QIcon PlaceIcon(const QString& place) {
    if (place == QLatin1String("home"))
        return Themed({"user-home"}, QStyle::SP_DirHomeIcon);
    if (place == QLatin1String("documents"))
        return Themed({"folder-documents", "folder"}, QStyle::SP_DirIcon);
    if (place == QLatin1String("computer"))
        return Themed({"computer"}, QStyle::SP_ComputerIcon);
    if (place == QLatin1String("server"))
        return Themed({"network-server"}, QStyle::SP_DriveNetIcon);
    if (place == QLatin1String("share"))
        return Themed({"folder-remote", "folder"}, QStyle::SP_DirIcon);
    return Themed({"network-workgroup", "network-server"}, QStyle::SP_DriveNetIcon);
}

QIcon WithShareOverlay(const QIcon& icon) {
    EnsureIconTheme();
    const QSize size = SmallIconSize();
    QPixmap pixmap = icon.pixmap(size);
    QPainter painter(&pixmap);
    const QIcon emblem = QIcon::fromTheme(QStringLiteral("emblem-shared"));
    const QRect corner(0, size.height() / 2, size.width() / 2, size.height() / 2);
    if (!emblem.isNull()) {
        emblem.paint(&painter, corner);
    } else {
        // A small hand-drawn stand-in: a blue arrow leaving the corner.
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor(30, 90, 200), 1.5));
        painter.drawLine(corner.bottomLeft(), corner.topRight());
        painter.drawLine(corner.topRight(), corner.topRight() + QPoint(-3, 0));
        painter.drawLine(corner.topRight(), corner.topRight() + QPoint(0, 3));
    }
    painter.end();
    return QIcon(pixmap);
}

} // namespace kinovex
