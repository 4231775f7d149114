// Draws bitmap 162, the about box (400 x 250, no alpha: the box's rounded outline cuts the
// corners away).
// Usage: make_about_art <output folder>
//
// The main window's slate with the movie page's diamond lattice, the gear-and-play emblem of
// the title bar and the conversion window grown large, the program's name beside it, and a
// quiet strip at the bottom. The 1-pixel edge follows the box's 14 x 14 corner curve.

#include "ArtKit.h"

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

const QColor kLattice(0x3a, 0x54, 0x70);
const QColor kSubtle(0xa9, 0xbe, 0xd8);
const QColor kQuiet(0x7f, 0x93, 0xad);

constexpr int kWidth = 400;
constexpr int kHeight = 250;
constexpr int kStrip = 204; // where the bottom strip starts

void DrawBackdrop(QPainter& painter) {
    QLinearGradient slate(0, 0, 0, kHeight);
    slate.setColorAt(0, kBandTop);
    slate.setColorAt(1, kBandBottom);
    painter.fillRect(QRect(0, 0, kWidth, kHeight), slate);

    // The lattice, fading out toward the text so that it stays readable.
    const int step = 24;
    QLinearGradient fade(0, 0, kWidth, 0);
    QColor strong = kLattice;
    strong.setAlpha(120);
    QColor faint = kLattice;
    faint.setAlpha(25);
    fade.setColorAt(0, strong);
    fade.setColorAt(0.55, faint);
    fade.setColorAt(1, faint);
    painter.setPen(QPen(QBrush(fade), 1));
    for (int k = -kHeight; k <= kWidth + kHeight; k += step) {
        painter.drawLine(QPointF(k, 0), QPointF(k + kStrip, kStrip));
        painter.drawLine(QPointF(k, kStrip), QPointF(k + kStrip, 0));
    }

    // A blue glow behind the emblem.
    QRadialGradient glow(QPointF(96, 104), 150);
    QColor centre = kAccent;
    centre.setAlpha(110);
    glow.setColorAt(0, centre);
    glow.setColorAt(1, QColor(0, 0, 0, 0));
    painter.fillRect(QRect(0, 0, kWidth, kStrip), glow);

    // The bottom strip, a shade darker, with an engraved line above it.
    painter.fillRect(QRect(0, kStrip, kWidth, kHeight - kStrip), QColor(0x14, 0x1e, 0x2a));
    painter.fillRect(QRect(0, kStrip, kWidth, 1), kEdgeDark);
    painter.fillRect(QRect(0, kStrip + 1, kWidth, 1), QColor(0x2a, 0x3b, 0x50));
}

void DrawTexts(QPainter& painter) {
    const int left = 178;
    painter.setPen(QColor(0, 0, 0, 90)); // a soft drop under the name
    painter.setFont(Font(44, true));
    painter.drawText(QRect(left + 1, 58, 220, 56), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Kinovex"));
    painter.setPen(kText);
    painter.drawText(QRect(left, 56, 220, 56), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Kinovex"));

    painter.fillRect(QRect(left + 2, 116, 40, 3), kAccentLight);

    painter.setPen(kSubtle);
    painter.setFont(Font(14, false));
    painter.drawText(QRect(left, 128, 220, 20), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Flash movies into video"));
    painter.setPen(kQuiet);
    painter.setFont(Font(12, false));
    painter.drawText(QRect(left, 150, 220, 18), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Version 1.00"));

    painter.setFont(Font(11, false));
    painter.drawText(QRect(18, kStrip + 2, 250, kHeight - kStrip - 2),
                     Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("\u00a9 2026 Tessaline"));
    painter.setPen(QColor(0x5d, 0x72, 0x8d));
    painter.drawText(QRect(kWidth - 218, kStrip + 2, 200, kHeight - kStrip - 2),
                     Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("Click to close"));
}

void DrawEdge(QPainter& painter) {
    // A light line inside a dark one, both on the box's own corner curve.
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(kEdgeDark, 1));
    painter.drawRoundedRect(QRectF(0.5, 0.5, kWidth - 1, kHeight - 1), 7, 7);
    QColor light = kEdgeLight;
    light.setAlpha(160);
    painter.setPen(QPen(light, 1));
    painter.drawRoundedRect(QRectF(1.5, 1.5, kWidth - 3, kHeight - 3), 6, 6);
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_about_art <output folder>\n");
        return 2;
    }
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    image.fill(kBandBottom);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        DrawBackdrop(painter);
        DrawEmblem(painter, QPointF(96, 104), 58, EmblemFinish::Raised);
        DrawTexts(painter);
        DrawEdge(painter);
    }
    const QString path = QString::fromLocal8Bit(argv[1]) + QStringLiteral("/162.png");
    if (!image.convertToFormat(QImage::Format_RGB888).save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }
    return 0;
}
