#include "platform/qt/DesktopDialogs.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>

namespace kinovex {

void DesktopDialogs::MessageBox(const QString& text, QWidget* parent, const QString& caption) {
    ShowBox(text, caption.isEmpty() ? QStringLiteral("Kinovex") : caption, parent);
}

bool QtDesktopDialogs::OpenFolder(const QString& folder) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

bool QtDesktopDialogs::OpenUrl(const QString& url) {
    return QDesktopServices::openUrl(QUrl(url));
}

void QtDesktopDialogs::ShowBox(const QString& text, const QString& title, QWidget* parent) {
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
    box.exec();
}

} // namespace kinovex
