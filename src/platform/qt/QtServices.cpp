#include "platform/qt/QtServices.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QThread>

namespace kinovex {

void CQtUiEventPump::ProcessEventsUntil(const std::function<bool()>& done) {
    // Sleeps in the event loop until an event arrives or Wake interrupts it.
    while (!done())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

void CQtUiEventPump::Wake() {
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr)
        return;
    // Thread-safe; a wake-up that comes before the loop sleeps is kept for it.
    if (QAbstractEventDispatcher* dispatcher =
            QAbstractEventDispatcher::instance(application->thread()))
        dispatcher->wakeUp();
}

void CQtMessageBoxService::Show(const std::string& text, const std::string& caption,
                                MessageBoxIcon /*icon*/) {
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr)
        return;
    const QString qtText = QString::fromStdString(text);
    const QString qtCaption = QString::fromStdString(caption);
    if (QThread::currentThread() == application->thread()) {
        m_dialogs->MessageBox(qtText, nullptr, qtCaption);
        return;
    }
    QMetaObject::invokeMethod(
        application,
        [dialogs = m_dialogs, qtText, qtCaption] {
            dialogs->MessageBox(qtText, nullptr, qtCaption);
        },
        Qt::QueuedConnection);
}

} // namespace kinovex
