#include "platform/qt/MessageBox.h"

#include <QCoreApplication>
#include <QMessageBox>

#include <mutex>

namespace kinovex {
namespace {

std::mutex g_hookMutex;
MessageBoxHook g_hook;

} // namespace

void SetMessageBoxHook(MessageBoxHook hook) {
    std::lock_guard lock(g_hookMutex);
    g_hook = std::move(hook);
}

void MessageBox(const QString& text, QWidget* parent, const QString& caption) {
    const QString title = caption.isEmpty() ? QStringLiteral("Kinovex") : caption;
    MessageBoxHook hook;
    {
        std::lock_guard lock(g_hookMutex);
        hook = g_hook;
    }
    if (hook) {
        hook(text, title);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
    box.exec();
}

} // namespace kinovex
