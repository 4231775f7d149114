#include "ArtKit.h"

#include <QLinearGradient>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace art {

QFont Font(int pixels, bool bold) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixels);
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

QImage NewImage(int width, int height, QColor fill) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(fill);
    return image;
}

bool Save(const QImage& image, const QString& folder, int id) {
    const QString path = folder + QStringLiteral("/%1.png").arg(id);
    if (!image.save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

QPainterPath Gear(QPointF centre, double outer, double root, int teeth) {
    QPainterPath path;
    const double step = 2 * M_PI / teeth;
    for (int i = 0; i < teeth; ++i) {
        const double a = i * step;
        const double points[][2] = {{a - step * 0.25, root},
                                    {a - step * 0.16, outer},
                                    {a + step * 0.16, outer},
                                    {a + step * 0.25, root},
                                    {a + step * 0.75, root}};
        for (const auto& p : points) {
            const QPointF point(centre.x() + p[1] * std::cos(p[0]),
                                centre.y() + p[1] * std::sin(p[0]));
            if (path.elementCount() == 0)
                path.moveTo(point);
            else
                path.lineTo(point);
        }
    }
    path.closeSubpath();
    return path;
}

void DrawEmblem(QPainter& painter, QPointF centre, double outer, EmblemFinish finish) {
    const bool raised = finish == EmblemFinish::Raised;
    const QPainterPath gear = Gear(centre, outer, outer * 0.81, 10);
    if (raised) {
        painter.save();
        painter.translate(0, outer * 0.07);
        painter.fillPath(gear, QColor(0, 0, 0, outer > 40 ? 70 : 40));
        painter.restore();
    }
    QLinearGradient body(centre - QPointF(outer, outer) * 0.86,
                         centre + QPointF(outer, outer) * 0.86);
    body.setColorAt(0, kAccentLight);
    body.setColorAt(1, kAccentDark);
    painter.fillPath(gear, body);

    const double hub = outer * 0.51;
    if (raised) {
        painter.setPen(QPen(kAccentDark.darker(125), std::max(1.0, outer / 40)));
        painter.drawPath(gear);
        QRadialGradient face(centre - QPointF(hub, hub) * 0.27, hub * 1.6);
        face.setColorAt(0, Qt::white);
        face.setColorAt(1, QColor(0xdd, 0xe6, 0xf2));
        painter.setPen(QPen(kAccentDark, hub / 11));
        painter.setBrush(face);
    } else {
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::white);
    }
    painter.drawEllipse(centre, hub, hub);

    QPainterPath play;
    play.moveTo(centre.x() - hub * 0.3, centre.y() - hub * 0.52);
    play.lineTo(centre.x() + hub * 0.57, centre.y());
    play.lineTo(centre.x() - hub * 0.3, centre.y() + hub * 0.52);
    play.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.fillPath(play, kAccent);
}

} // namespace art
