// Draws the conversion window's bitmaps:
//   208, 209, 210, 211  the Cancel button: normal, pressed, disabled, hover (62 x 26 each)
//   212                 the filled progress bar (168 x 22)
//   213                 the window face (250 x 91): gear emblem, empty track at (71, 14),
//                       the caption under it, a white strip for the button at the bottom
// Usage: make_convert_art <output folder>

#include "ArtKit.h"

#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <cstdio>

using namespace art;

namespace {

// One palette for the whole window.
const QColor kInk(0x2b, 0x33, 0x3d); // captions
const QColor kFaceTop(0xf7, 0xf9, 0xfc);
const QColor kFaceBottom(0xe4, 0xe9, 0xf0);
const QColor kTrack(0xcf, 0xd6, 0xe0);
const QColor kTrackEdge(0xa9, 0xb4, 0xc3);
const QColor kBorder(0x8b, 0x98, 0xa9);

QImage Background() {
    QImage image = NewImage(250, 91, Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    // The face above the button strip.
    QLinearGradient face(0, 0, 0, 58);
    face.setColorAt(0, kFaceTop);
    face.setColorAt(1, kFaceBottom);
    painter.fillRect(QRect(0, 0, 250, 58), face);
    painter.fillRect(QRect(0, 58, 250, 1), QColor(0xd3, 0xd9, 0xe2));
    painter.fillRect(QRect(0, 59, 250, 32), Qt::white);

    DrawEmblem(painter, QPointF(36, 30), 23, EmblemFinish::Raised);

    // The empty track: 168 x 22 at (71, 14), slightly sunken.
    const QRectF track(71.5, 14.5, 167, 21);
    painter.setPen(QPen(kTrackEdge, 1));
    QLinearGradient trackFill(0, 14, 0, 36);
    trackFill.setColorAt(0, kTrack.darker(108));
    trackFill.setColorAt(0.5, kTrack);
    trackFill.setColorAt(1, kTrack.lighter(106));
    painter.setBrush(trackFill);
    painter.drawRoundedRect(track, 3, 3);

    painter.setPen(kInk);
    painter.setFont(Font(12, true));
    painter.drawText(QRect(71, 39, 120, 16), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Converting.."));

    // The window's edge, following its rounded shape.
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(kBorder, 1));
    painter.drawRoundedRect(QRectF(0.5, 0.5, 249, 90), 6, 6);
    return image;
}

QImage Bar() {
    QImage image = NewImage(168, 22, Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient across(0, 0, 168, 0);
    across.setColorAt(0, kAccentDark);
    across.setColorAt(1, kAccent);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(0.5, 0.5, 167, 21), 3, 3);
    painter.fillPath(shape, across);
    // A gloss on the upper half and a darker lower edge give it some depth.
    QLinearGradient gloss(0, 0, 0, 22);
    gloss.setColorAt(0, QColor(255, 255, 255, 90));
    gloss.setColorAt(0.45, QColor(255, 255, 255, 25));
    gloss.setColorAt(0.55, QColor(0, 0, 0, 0));
    gloss.setColorAt(1, QColor(0, 0, 0, 45));
    painter.fillPath(shape, gloss);
    painter.setPen(QPen(kAccentDark.darker(130), 1));
    painter.drawPath(shape);
    return image;
}

enum class Look { Normal, Hover, Pressed, Disabled };

QImage Button(Look look) {
    QImage image = NewImage(62, 26, Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QRectF shape(0.5, 0.5, 61, 25);
    QColor top, bottom, edge, text;
    switch (look) {
    case Look::Normal:
        top = QColor(0xfb, 0xfc, 0xfd);
        bottom = QColor(0xe8, 0xec, 0xf1);
        edge = QColor(0xb3, 0xbd, 0xca);
        text = QColor(0x5a, 0x64, 0x70);
        break;
    case Look::Hover:
        top = kAccentLight;
        bottom = kAccent;
        edge = kAccentDark;
        text = Qt::white;
        break;
    case Look::Pressed:
        top = kAccentDark;
        bottom = kAccent.darker(115);
        edge = kAccentDark.darker(130);
        text = Qt::white;
        break;
    case Look::Disabled:
        top = QColor(0xf7, 0xf8, 0xfa);
        bottom = QColor(0xf1, 0xf3, 0xf6);
        edge = QColor(0xdc, 0xe1, 0xe7);
        text = QColor(0xbd, 0xc4, 0xcd);
        break;
    }
    QLinearGradient fill(0, 0, 0, 26);
    fill.setColorAt(0, top);
    fill.setColorAt(1, bottom);
    painter.setPen(QPen(edge, 1));
    painter.setBrush(fill);
    painter.drawRoundedRect(shape, 4, 4);

    painter.setFont(Font(12, look != Look::Disabled));
    QRect textRect(0, 0, 62, 26);
    if (look == Look::Pressed)
        textRect.translate(0, 1); // pushed in
    if (look == Look::Hover || look == Look::Pressed) {
        painter.setPen(QColor(0, 0, 0, 70));
        painter.drawText(textRect.translated(0, 1), Qt::AlignCenter, QStringLiteral("Cancel"));
    }
    painter.setPen(text);
    painter.drawText(textRect, Qt::AlignCenter, QStringLiteral("Cancel"));
    return image;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_convert_art <output folder>\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    const bool ok =
        Save(Button(Look::Normal), folder, 208) && Save(Button(Look::Pressed), folder, 209) &&
        Save(Button(Look::Disabled), folder, 210) && Save(Button(Look::Hover), folder, 211) &&
        Save(Bar(), folder, 212) && Save(Background(), folder, 213);
    return ok ? 0 : 1;
}
