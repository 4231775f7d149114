#include "platform/qt/Bitmaps.h"

#include "platform/ProgramFolder.h"

#include <QDebug>

namespace kinovex {

QString BitmapPath(int id) {
    return QString::fromStdString(ProgramFolder()) + QStringLiteral("/res/bitmaps/%1.png").arg(id);
}

QPixmap LoadBitmap(int id) {
    const QString path = BitmapPath(id);
    QPixmap pixmap(path);
    if (pixmap.isNull())
        qWarning().noquote() << "bitmap" << id << "could not be loaded from" << path;
    return pixmap;
}

} // namespace kinovex
