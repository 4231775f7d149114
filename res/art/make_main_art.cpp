// Draws the main window's bitmaps:
//   196, 197, 198, 199   the frame: bottom band 808 x 108, left border 16 x 486, right border
//                        18 x 486, top band 808 x 36
//   136-139              the title buttons (55 x 17): pressed, disabled, hover, normal
//   172-174              the same with Restore in the middle: pressed, hover, normal
//   140-143              the command bar (360 x 93): pressed, disabled, hover, normal
//   166-168, 175         the command bar while playing (Stop Playing): pressed, hover, normal,
//                        disabled
//   169-171, 176         the command bar while recording (Stop Recording): pressed, hover,
//                        normal, disabled
//   144-150              the playing animation (108 x 51 each)
//   177, 178             the recording clock's two phases (108 x 51)
//   200-203              the Menu button (66 x 31): pressed, disabled, hover, normal
//   204-207              the Info button (48 x 47): pressed, disabled, hover, normal
// Usage: make_main_art <output folder>
//
// One skin with the movie page's slate tile and the conversion window's blues: dark slate
// bands, inset displays for the movie information and the activity indicator, light icons that
// turn white and glow blue under the mouse. The parts of the bands that stretch are plain in
// the direction they stretch, and every button lies where the window places it.

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

const QColor kWell(0x0e, 0x16, 0x20);
const QColor kWellEdge(0x3a, 0x50, 0x6c);
const QColor kRecord(0xe0, 0x45, 0x3a);
const QColor kRecordLight(0xff, 0x7a, 0x6b);
const QColor kIcon(0xc9, 0xd4, 0xe3);
const QColor kIconDisabled(0x55, 0x66, 0x7b);

constexpr int kWidth = 808;
constexpr int kTop = 36;
constexpr int kBottom = 108;
constexpr int kSide = 486;

enum class Look { Normal, Hover, Pressed, Disabled };

QColor IconColour(Look look) {
    switch (look) {
    case Look::Normal:
        return kIcon;
    case Look::Hover:
    case Look::Pressed:
        return Qt::white;
    case Look::Disabled:
        return kIconDisabled;
    }
    return kIcon;
}

// A sunken display: dark glass with a dark inner edge and a light lower edge.
void DrawWell(QPainter& painter, const QRectF& rect, double radius) {
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 28));
    painter.drawRoundedRect(rect.adjusted(-1, -1, 1, 1.5), radius + 1, radius + 1);
    QLinearGradient glass(rect.topLeft(), rect.bottomLeft());
    glass.setColorAt(0, kWell.darker(130));
    glass.setColorAt(1, kWell.lighter(115));
    painter.setBrush(glass);
    painter.setPen(QPen(kEdgeDark, 1));
    painter.drawRoundedRect(rect, radius, radius);
    painter.restore();
}

// ---- The frame ----

QImage TopBand() {
    QImage image = NewImage(kWidth, kTop);
    QPainter painter(&image);
    QLinearGradient band(0, 0, 0, kTop);
    band.setColorAt(0, kBandTop.lighter(110));
    band.setColorAt(1, kBandTop.darker(115));
    painter.fillRect(image.rect(), band);
    painter.fillRect(QRect(0, 0, kWidth, 1), kEdgeLight);
    painter.fillRect(QRect(0, kTop - 1, kWidth, 1), kEdgeDark);
    painter.fillRect(QRect(0, 0, 1, kTop), kEdgeLight);
    painter.fillRect(QRect(kWidth - 1, 0, 1, kTop), kEdgeDark);

    painter.setRenderHint(QPainter::Antialiasing);
    DrawEmblem(painter, QPointF(28, 19), 10, EmblemFinish::Flat);
    painter.setFont(Font(15, true));
    painter.setPen(kText);
    painter.drawText(QRect(46, 0, 200, kTop), Qt::AlignVCenter | Qt::AlignLeft,
                     QStringLiteral("Kinovex"));
    painter.setFont(Font(13, false));
    painter.setPen(QColor(0x9d, 0xb0, 0xc8));
    painter.drawText(QRect(117, 1, 200, kTop), Qt::AlignVCenter | Qt::AlignLeft,
                     QStringLiteral("Converter"));
    // A thin accent line under the name fades out before the stretched part.
    QLinearGradient line(46, 0, 380, 0);
    line.setColorAt(0, kAccentLight);
    line.setColorAt(1, QColor(kAccentLight.red(), kAccentLight.green(), kAccentLight.blue(), 0));
    painter.fillRect(QRectF(46, 28, 334, 1), line);
    return image;
}

QImage SideBorder(int width, bool left) {
    QImage image = NewImage(width, kSide);
    QPainter painter(&image);
    // Plain from top to bottom: the border is stretched to the window's height.
    QLinearGradient across(0, 0, width, 0);
    across.setColorAt(0, left ? kBandTop : kBandBottom);
    across.setColorAt(1, left ? kBandBottom : kBandTop);
    painter.fillRect(image.rect(), across);
    painter.fillRect(QRect(left ? 0 : width - 1, 0, 1, kSide), left ? kEdgeLight : kEdgeDark);
    // The page sits in a dark groove.
    painter.fillRect(QRect(left ? width - 2 : 0, 0, 2, kSide), kEdgeDark);
    return image;
}

QImage BottomBand() {
    QImage image = NewImage(kWidth, kBottom);
    QPainter painter(&image);
    QLinearGradient band(0, 0, 0, kBottom);
    band.setColorAt(0, kBandTop);
    band.setColorAt(1, kBandBottom);
    painter.fillRect(image.rect(), band);
    painter.fillRect(QRect(0, 0, kWidth, 1), kEdgeDark);
    painter.fillRect(QRect(0, 1, kWidth, 1), kEdgeLight);
    painter.fillRect(QRect(0, kBottom - 1, kWidth, 1), kEdgeDark);
    painter.fillRect(QRect(0, 0, 1, kBottom), kEdgeLight);
    painter.fillRect(QRect(kWidth - 1, 0, 1, kBottom), kEdgeDark);

    painter.setRenderHint(QPainter::Antialiasing);
    // The movie information display: the three lines start at x 108, 26 pixels down.
    DrawWell(painter, QRectF(99.5, 20.5, 126, 68), 6);
    // The activity indicator's display, exactly under the 108 x 51 pictures.
    DrawWell(painter, QRectF(593.5, 27.5, 109, 52), 5);
    // A faint groove where the command bar sits, so the band reads as one console.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 40));
    painter.drawRoundedRect(QRectF(232, 30, 344, 42), 21, 21);
    return image;
}

// ---- Buttons ----

// A capsule segment's fill for a look.
QBrush SegmentFill(const QRectF& rect, Look look) {
    QLinearGradient fill(rect.topLeft(), rect.bottomLeft());
    switch (look) {
    case Look::Normal:
    case Look::Disabled:
        fill.setColorAt(0, QColor(0x3a, 0x50, 0x6c));
        fill.setColorAt(1, QColor(0x22, 0x31, 0x44));
        break;
    case Look::Hover:
        fill.setColorAt(0, kAccentLight);
        fill.setColorAt(1, kAccent);
        break;
    case Look::Pressed:
        fill.setColorAt(0, kAccentDark);
        fill.setColorAt(1, kAccent.darker(110));
        break;
    }
    return fill;
}

void DrawPlay(QPainter& painter, QPointF centre, double size, QColor colour) {
    QPainterPath play;
    play.moveTo(centre.x() - size * 0.4, centre.y() - size * 0.5);
    play.lineTo(centre.x() + size * 0.55, centre.y());
    play.lineTo(centre.x() - size * 0.4, centre.y() + size * 0.5);
    play.closeSubpath();
    painter.fillPath(play, colour);
}

void DrawStop(QPainter& painter, QPointF centre, double size, QColor colour) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawRoundedRect(QRectF(centre.x() - size / 2, centre.y() - size / 2, size, size), 2, 2);
}

void DrawFolder(QPainter& painter, QPointF at, QColor colour) {
    QPainterPath folder;
    folder.moveTo(at.x(), at.y() + 2);
    folder.lineTo(at.x() + 6, at.y() + 2);
    folder.lineTo(at.x() + 8, at.y() + 4);
    folder.lineTo(at.x() + 18, at.y() + 4);
    folder.lineTo(at.x() + 18, at.y() + 15);
    folder.lineTo(at.x(), at.y() + 15);
    folder.closeSubpath();
    painter.fillPath(folder, colour);
    painter.fillRect(QRectF(at.x() + 1.5, at.y() + 7, 15, 1), QColor(0, 0, 0, 60));
}

void DrawGear(QPainter& painter, QPointF centre, QColor colour) {
    QPainterPath gear;
    const int teeth = 8;
    for (int i = 0; i < teeth * 2; ++i) {
        const double a = i * M_PI / teeth;
        const double r = i % 2 == 0 ? 8.5 : 6.5;
        const QPointF p(centre.x() + r * std::cos(a), centre.y() + r * std::sin(a));
        if (i == 0)
            gear.moveTo(p);
        else
            gear.lineTo(p);
    }
    gear.closeSubpath();
    QPainterPath hole;
    hole.addEllipse(centre, 2.8, 2.8);
    painter.fillPath(gear.subtracted(hole), colour);
}

enum class Bar { Main, StopPlay, EndRecord };

// One whole command bar in one look. The skinned bar copies each button's rectangle from the
// image of its look, so every image holds the whole bar.
QImage CommandBar(Bar kind, Look look) {
    QImage image = NewImage(360, 93);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor icon = IconColour(look);

    // The capsule: File | Play || Play and Record | Option, the Record disc in the middle.
    const QRectF capsule(5.5, 30.5, 350, 33);
    painter.setPen(QPen(kEdgeDark, 1));
    painter.setBrush(SegmentFill(capsule, Look::Normal));
    painter.drawRoundedRect(capsule, 16.5, 16.5);
    // Each segment in the image's look, clipped to the capsule.
    QPainterPath capsulePath;
    capsulePath.addRoundedRect(capsule.adjusted(1, 1, -1, -1), 15.5, 15.5);
    painter.save();
    painter.setClipPath(capsulePath);
    painter.setPen(Qt::NoPen);
    // The segments stay out of the Record button's rectangle, and the dividers cover the
    // columns two buttons share, so no look bleeds into a neighbour.
    for (const QRectF& segment : {QRectF(5, 30, 93, 34), QRectF(100, 30, 38, 34),
                                  QRectF(221, 30, 39, 34), QRectF(262, 30, 94, 34)})
        painter.fillRect(segment, SegmentFill(segment, look));
    // Gloss on the upper half.
    painter.fillRect(QRectF(5, 31, 350, 14), QColor(255, 255, 255, look == Look::Pressed ? 8 : 22));
    for (double x : {98.0, 260.0})
        painter.fillRect(QRectF(x, 30, 2, 34), QColor(0x16, 0x21, 0x2e));
    painter.restore();

    const double shift = look == Look::Pressed ? 1 : 0;
    // File.
    DrawFolder(painter, QPointF(20, 38 + shift), icon);
    painter.setFont(Font(13, true));
    painter.setPen(icon);
    painter.drawText(QRectF(44, 30 + shift, 52, 34), Qt::AlignVCenter | Qt::AlignLeft,
                     QStringLiteral("File"));
    // Play, or Stop Playing.
    if (kind == Bar::Main)
        DrawPlay(painter, QPointF(118, 47 + shift), 14, icon);
    else
        DrawStop(painter, QPointF(118.5, 47 + shift), 11, icon);
    // Play and Record: a play mark with a red dot.
    DrawPlay(painter, QPointF(236, 47 + shift), 12, icon);
    painter.setPen(Qt::NoPen);
    painter.setBrush(look == Look::Disabled ? kIconDisabled : kRecord);
    painter.drawEllipse(QPointF(249, 47 + shift), 4, 4);
    // Option.
    DrawGear(painter, QPointF(279, 47 + shift), icon);
    painter.setPen(icon);
    painter.drawText(QRectF(293, 30 + shift, 60, 34), Qt::AlignVCenter | Qt::AlignLeft,
                     QStringLiteral("Option"));

    // The Record disc: a ring around a red button.
    const QPointF centre(179.5, 45.5);
    painter.setPen(QPen(kEdgeDark, 1.5));
    QLinearGradient ring(centre.x(), 3, centre.x(), 88);
    ring.setColorAt(0, QColor(0x4a, 0x62, 0x80));
    ring.setColorAt(1, QColor(0x1a, 0x26, 0x35));
    painter.setBrush(ring);
    painter.drawEllipse(centre, 40, 40);
    QColor core = kRecord;
    QColor coreLight = kRecordLight;
    switch (look) {
    case Look::Hover:
        core = kRecord.lighter(112);
        coreLight = QColor(0xff, 0xa0, 0x94);
        break;
    case Look::Pressed:
        core = kRecord.darker(125);
        coreLight = kRecord;
        break;
    case Look::Disabled:
        core = QColor(0x4a, 0x3a, 0x40);
        coreLight = QColor(0x5e, 0x4c, 0x52);
        break;
    case Look::Normal:
        break;
    }
    if (look == Look::Hover) { // a soft glow around the button
        QRadialGradient glow(centre, 40);
        glow.setColorAt(0.7, QColor(0xff, 0x6b, 0x5e, 110));
        glow.setColorAt(1, QColor(0xff, 0x6b, 0x5e, 0));
        painter.setPen(Qt::NoPen);
        painter.setBrush(glow);
        painter.drawEllipse(centre, 40, 40);
    }
    QRadialGradient face(centre.x() - 8, centre.y() - 10 + shift, 36);
    face.setColorAt(0, coreLight);
    face.setColorAt(1, core);
    painter.setPen(QPen(core.darker(150), 1));
    painter.setBrush(face);
    painter.drawEllipse(centre + QPointF(0, shift), 30, 30);
    if (kind == Bar::EndRecord) {
        DrawStop(painter, centre + QPointF(0, shift), 20,
                 look == Look::Disabled ? kIconDisabled : Qt::white);
    } else {
        painter.setPen(Qt::NoPen);
        painter.setBrush(look == Look::Disabled ? kIconDisabled : QColor(255, 255, 255, 235));
        painter.drawEllipse(centre + QPointF(0, shift), 10, 10);
    }
    return image;
}

// The title buttons: Minimize (0-16), Maximize or Restore (18-35), Close (39-54).
QImage TitleButtons(Look look, bool restore) {
    QImage image = NewImage(55, 17);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF buttons[] = {QRectF(1, 1, 15, 15), QRectF(19.5, 1, 15, 15),
                              QRectF(39.5, 1, 15, 15)};
    for (int i = 0; i < 3; ++i) {
        const QRectF& rect = buttons[i];
        QColor top(0x44, 0x5b, 0x78);
        QColor bottom(0x2a, 0x3b, 0x51);
        if (look == Look::Hover) {
            top = i == 2 ? kRecordLight : kAccentLight;
            bottom = i == 2 ? kRecord : kAccent;
        } else if (look == Look::Pressed) {
            top = i == 2 ? kRecord.darker(130) : kAccentDark;
            bottom = i == 2 ? kRecord.darker(110) : kAccent.darker(110);
        }
        QLinearGradient fill(rect.topLeft(), rect.bottomLeft());
        fill.setColorAt(0, top);
        fill.setColorAt(1, bottom);
        painter.setPen(QPen(kEdgeDark, 1));
        painter.setBrush(fill);
        painter.drawEllipse(rect);

        const QColor glyph = IconColour(look);
        painter.setPen(QPen(glyph, 1.6, Qt::SolidLine, Qt::RoundCap));
        painter.setBrush(Qt::NoBrush);
        const QPointF c = rect.center();
        if (i == 0) {
            painter.drawLine(QPointF(c.x() - 3.5, c.y() + 2.5), QPointF(c.x() + 3.5, c.y() + 2.5));
        } else if (i == 1 && !restore) {
            painter.setPen(QPen(glyph, 1.3));
            painter.drawRect(QRectF(c.x() - 3.5, c.y() - 3.5, 7, 7));
        } else if (i == 1) {
            painter.setPen(QPen(glyph, 1.1));
            painter.drawRect(QRectF(c.x() - 1.5, c.y() - 4, 5.5, 5.5));
            painter.setBrush(bottom);
            painter.drawRect(QRectF(c.x() - 4, c.y() - 1.5, 5.5, 5.5));
        } else {
            painter.drawLine(c + QPointF(-3.2, -3.2), c + QPointF(3.2, 3.2));
            painter.drawLine(c + QPointF(-3.2, 3.2), c + QPointF(3.2, -3.2));
        }
    }
    return image;
}

QImage MenuButton(Look look) {
    QImage image = NewImage(66, 31);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF shape(0.5, 0.5, 65, 30);
    painter.setPen(QPen(kEdgeDark, 1));
    painter.setBrush(SegmentFill(shape, look));
    painter.drawRoundedRect(shape, 15, 15);
    painter.fillRect(QRectF(8, 2, 50, 11), QColor(255, 255, 255, look == Look::Pressed ? 6 : 18));
    const QColor icon = IconColour(look);
    const double shift = look == Look::Pressed ? 1 : 0;
    for (int i = 0; i < 3; ++i)
        painter.fillRect(QRectF(11, 10 + shift + 4.5 * i, 11, 2), icon);
    painter.setFont(Font(12, true));
    painter.setPen(icon);
    painter.drawText(QRectF(25, shift, 38, 31), Qt::AlignVCenter | Qt::AlignLeft,
                     QStringLiteral("Menu"));
    return image;
}

QImage InfoButton(Look look) {
    QImage image = NewImage(48, 47);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(24, 23.5);
    // A ring like the Record disc's, smaller.
    QLinearGradient ring(0, 1, 0, 46);
    ring.setColorAt(0, QColor(0x4a, 0x62, 0x80));
    ring.setColorAt(1, QColor(0x1a, 0x26, 0x35));
    painter.setPen(QPen(kEdgeDark, 1));
    painter.setBrush(ring);
    painter.drawEllipse(centre, 22, 22);
    const QRectF inner(centre.x() - 17, centre.y() - 17, 34, 34);
    painter.setBrush(SegmentFill(inner, look));
    painter.drawEllipse(inner);
    const QColor icon = IconColour(look);
    const double shift = look == Look::Pressed ? 1 : 0;
    painter.setPen(Qt::NoPen);
    painter.setBrush(icon);
    painter.drawEllipse(QPointF(centre.x(), centre.y() - 8 + shift), 2.4, 2.4);
    painter.drawRoundedRect(QRectF(centre.x() - 2.2, centre.y() - 3 + shift, 4.4, 14), 1.5, 1.5);
    return image;
}

// ---- The activity indicator ----

QImage IndicatorFace() {
    QImage image = NewImage(108, 51, kBandBottom);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // Drawn as the band draws its empty display, so the pictures sit in it seamlessly.
    QImage band = NewImage(108, 51);
    {
        QPainter bandPainter(&band);
        QLinearGradient gradient(0, -28, 0, 80);
        gradient.setColorAt(0, kBandTop);
        gradient.setColorAt(1, kBandBottom);
        bandPainter.fillRect(band.rect(), gradient);
    }
    painter.drawImage(0, 0, band);
    DrawWell(painter, QRectF(-0.5, -0.5, 109, 52), 5);
    return image;
}

QImage PlayingFrame(int frame) {
    QImage image = IndicatorFace();
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // A play mark that pulses, and a level meter whose bars dance through seven frames.
    const double pulse = 0.5 + 0.5 * std::cos(2 * M_PI * frame / 7.0);
    QColor mark = kAccentLight;
    mark.setAlphaF(0.65 + 0.35 * pulse);
    DrawPlay(painter, QPointF(20, 25.5), 16, mark);
    painter.setFont(Font(9, true));
    painter.setPen(QColor(0x7f, 0x9c, 0xc0));
    painter.drawText(QRectF(10, 35, 40, 12), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("PLAY"));
    const int bars = 9;
    for (int i = 0; i < bars; ++i) {
        const double phase = 2 * M_PI * (frame / 7.0 + i * 0.23);
        const double level = 0.25 + 0.75 * std::fabs(std::sin(phase) * std::cos(phase * 0.5 + i));
        const double height = 6 + level * 28;
        const QRectF bar(44 + i * 6.5, 41 - height, 4.5, height);
        QLinearGradient fill(bar.bottomLeft(), QPointF(bar.left(), 7));
        fill.setColorAt(0, kAccent);
        fill.setColorAt(1, kAccentLight.lighter(130));
        painter.setPen(Qt::NoPen);
        painter.setBrush(fill);
        painter.drawRoundedRect(bar, 1.2, 1.2);
    }
    return image;
}

QImage ClockFace(bool lit) {
    QImage image = IndicatorFace();
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // The recording lamp blinks; the clock's text goes on at (60, 18).
    const QPointF lamp(20, 25.5);
    if (lit) {
        QRadialGradient glow(lamp, 14);
        glow.setColorAt(0, QColor(0xff, 0x6b, 0x5e, 150));
        glow.setColorAt(1, QColor(0xff, 0x6b, 0x5e, 0));
        painter.setPen(Qt::NoPen);
        painter.setBrush(glow);
        painter.drawEllipse(lamp, 14, 14);
    }
    QRadialGradient face(lamp - QPointF(2, 2), 8);
    face.setColorAt(0, lit ? kRecordLight : QColor(0x6a, 0x2c, 0x2a));
    face.setColorAt(1, lit ? kRecord : QColor(0x45, 0x1e, 0x1d));
    painter.setPen(QPen(kEdgeDark, 1));
    painter.setBrush(face);
    painter.drawEllipse(lamp, 7, 7);
    painter.setFont(Font(9, true));
    painter.setPen(lit ? kRecordLight : QColor(0x8a, 0x4a, 0x46));
    painter.drawText(QRectF(34, 4, 60, 12), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("REC"));
    return image;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_main_art <output folder>\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    bool ok = Save(BottomBand(), folder, 196) && Save(SideBorder(16, true), folder, 197) &&
              Save(SideBorder(18, false), folder, 198) && Save(TopBand(), folder, 199);
    // pressed, disabled, hover, normal
    const int titles[] = {136, 137, 138, 139};
    const int menus[] = {200, 201, 202, 203};
    const int infos[] = {204, 205, 206, 207};
    const int mains[] = {140, 141, 142, 143};
    const Look looks[] = {Look::Pressed, Look::Disabled, Look::Hover, Look::Normal};
    for (int i = 0; i < 4; ++i) {
        ok = ok && Save(TitleButtons(looks[i], false), folder, titles[i]) &&
             Save(MenuButton(looks[i]), folder, menus[i]) &&
             Save(InfoButton(looks[i]), folder, infos[i]) &&
             Save(CommandBar(Bar::Main, looks[i]), folder, mains[i]);
    }
    ok = ok && Save(TitleButtons(Look::Pressed, true), folder, 172) &&
         Save(TitleButtons(Look::Hover, true), folder, 173) &&
         Save(TitleButtons(Look::Normal, true), folder, 174);
    ok = ok && Save(CommandBar(Bar::StopPlay, Look::Pressed), folder, 166) &&
         Save(CommandBar(Bar::StopPlay, Look::Hover), folder, 167) &&
         Save(CommandBar(Bar::StopPlay, Look::Normal), folder, 168) &&
         Save(CommandBar(Bar::StopPlay, Look::Disabled), folder, 175);
    ok = ok && Save(CommandBar(Bar::EndRecord, Look::Pressed), folder, 169) &&
         Save(CommandBar(Bar::EndRecord, Look::Hover), folder, 170) &&
         Save(CommandBar(Bar::EndRecord, Look::Normal), folder, 171) &&
         Save(CommandBar(Bar::EndRecord, Look::Disabled), folder, 176);
    for (int frame = 0; frame < 7; ++frame)
        ok = ok && Save(PlayingFrame(frame), folder, 144 + frame);
    ok = ok && Save(ClockFace(true), folder, 177) && Save(ClockFace(false), folder, 178);
    return ok ? 0 : 1;
}
