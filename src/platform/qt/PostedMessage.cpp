#include "platform/qt/PostedMessage.h"

#include <QCoreApplication>

namespace kinovex {

QEvent::Type CPostedMessage::EventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

void CQtMessageTarget::Post(unsigned message, WPARAM wParam, LPARAM lParam) {
    // QCoreApplication::postEvent is thread-safe and keeps the order of one sender's events.
    // QPointer is only read here; the receiver outlives every worker that posts to it.
    QObject* receiver = m_pReceiver.data();
    if (receiver != nullptr)
        QCoreApplication::postEvent(receiver, new CPostedMessage(message, wParam, lParam));
}

} // namespace kinovex
