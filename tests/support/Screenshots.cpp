#include "Screenshots.h"

#include <QGuiApplication>
#include <QProcess>
#include <QWidget>

#include <filesystem>

namespace kinovex::test {

QString ScreenshotFolder() {
    const QString folder = qEnvironmentVariable("KINOVEX_SCREENSHOTS");
    if (folder.isEmpty() || QGuiApplication::platformName() != QLatin1String("xcb"))
        return {};
    std::filesystem::create_directories(folder.toStdString());
    return folder;
}

bool CaptureScreenArea(QWidget& widget, const QString& file) {
    widget.repaint();
    const QRect area(widget.mapToGlobal(QPoint(0, 0)), widget.size());
    const QString crop = QStringLiteral("%1x%2+%3+%4")
                             .arg(area.width())
                             .arg(area.height())
                             .arg(area.x())
                             .arg(area.y());
    return QProcess::execute("import", {"-window", "root", "-crop", crop, "+repage", file}) == 0;
}

} // namespace kinovex::test
