#pragma once
// Window messages carried through Qt's event queue.

#include "platform/WindowMessages.h"

#include <QEvent>
#include <QPointer>

namespace kinovex {

// One posted event type for every program message: the message id and its two parameters.
class CPostedMessage : public QEvent {
public:
    CPostedMessage(unsigned message, WPARAM wParam, LPARAM lParam)
        : QEvent(EventType()), m_nMessage(message), m_wParam(wParam), m_lParam(lParam) {}

    static QEvent::Type EventType();

    unsigned message() const { return m_nMessage; }
    WPARAM wParam() const { return m_wParam; }
    LPARAM lParam() const { return m_lParam; }

private:
    unsigned m_nMessage;
    WPARAM m_wParam;
    LPARAM m_lParam;
};

// A message target that posts CPostedMessage events to a QObject (normally a window).
// Posting after the receiver is gone is harmless: the event is dropped.
class CQtMessageTarget final : public CMessageTarget {
public:
    explicit CQtMessageTarget(QObject* receiver) : m_pReceiver(receiver) {}
    void Post(unsigned message, WPARAM wParam, LPARAM lParam) override;

private:
    QPointer<QObject> m_pReceiver;
};

} // namespace kinovex
