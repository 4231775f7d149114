// What the artwork programs share: the skin's palette, its font, the gear-and-play emblem and
// writing a bitmap by its id.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QString>

namespace art {

// The slate of the main window and the about box.
inline const QColor kBandTop(0x2e, 0x42, 0x5c);
inline const QColor kBandBottom(0x1c, 0x29, 0x39);
inline const QColor kEdgeLight(0x4f, 0x68, 0x88);
inline const QColor kEdgeDark(0x0d, 0x14, 0x1d);
inline const QColor kText(0xe8, 0xec, 0xf9);
// The blues every window shares.
inline const QColor kAccentDark(0x17, 0x3f, 0x73);
inline const QColor kAccent(0x2f, 0x6f, 0xbf);
inline const QColor kAccentLight(0x5d, 0x9c, 0xe6);

// DejaVu Sans at a pixel size, fully hinted so that small captions stay crisp.
QFont Font(int pixels, bool bold);

QImage NewImage(int width, int height, QColor fill = Qt::transparent);

// Writes `image` as folder/<id>.png; says so on stderr and returns false when it cannot.
bool Save(const QImage& image, const QString& folder, int id);

// A gear of `teeth` teeth around `centre`, tips at `outer`, gaps at `root`.
QPainterPath Gear(QPointF centre, double outer, double root, int teeth);

// The emblem: a gear around a white hub with a play mark (turning a movie into video).
// Raised adds a soft shadow, an outlined gear and a shaded hub, for sizes where they show;
// Flat is for the title bar's small copy.
enum class EmblemFinish { Flat, Raised };
void DrawEmblem(QPainter& painter, QPointF centre, double outer, EmblemFinish finish);

} // namespace art
