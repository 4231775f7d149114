#include "desktop/help/CAboutDlg.h"

#include "platform/qt/Bitmaps.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainterPath>
#include <QRegion>

namespace kinovex {

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), m_wndPicture(new QLabel(this)) {
    setWindowTitle(QStringLiteral("About Kinovex"));
    setFixedSize(kWidth, kHeight);
    // The picture shows from the top-left corner and lets clicks through to the box.
    m_wndPicture->setGeometry(0, 0, kWidth, kHeight);
    m_wndPicture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_wndPicture->setPixmap(LoadBitmap(162));
    m_wndPicture->setAttribute(Qt::WA_TransparentForMouseEvents);
}

bool CAboutDlg::OnInitDialog() {
    QPainterPath outline;
    outline.addRoundedRect(QRectF(0, 0, kWidth, kHeight), kCornerSize / 2.0, kCornerSize / 2.0);
    setMask(QRegion(outline.toFillPolygon().toPolygon()));
    return true;
}

void CAboutDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_bInitialised) {
        m_bInitialised = true;
        OnInitDialog();
    }
}

void CAboutDlg::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        reject();
        return;
    }
    QDialog::mousePressEvent(event);
}

void CAboutDlg::keyPressEvent(QKeyEvent* event) {
    // With no buttons on the box Enter would otherwise do nothing; it closes it as OK does.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        accept();
        return;
    }
    QDialog::keyPressEvent(event); // Escape rejects
}

} // namespace kinovex
