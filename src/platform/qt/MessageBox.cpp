#include "platform/qt/MessageBox.h"

#include "platform/HookSlot.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace kinovex {
namespace {

HookSlot<void(const QString&, const QString&)> g_hook;

} // namespace

void SetMessageBoxHook(MessageBoxHook hook) {
    g_hook.Set(std::move(hook));
}

void MessageBox(const QString& text, QWidget* parent, const QString& caption) {
    const QString title = caption.isEmpty() ? QStringLiteral("Kinovex") : caption;
    if (const MessageBoxHook hook = g_hook.Get()) {
        hook(text, title);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
    box.exec();
}

} // namespace kinovex
