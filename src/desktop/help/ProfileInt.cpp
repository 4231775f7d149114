#include "desktop/help/ProfileInt.h"

#include <QFile>

#include <limits>

namespace kinovex {
namespace {

// The leading whole number of `text` (blanks, then an optional sign and digits); 0 without
// one. Values beyond the range of int stop at its ends.
int LeadingNumber(QStringView text) {
    text = text.trimmed();
    bool negative = false;
    if (!text.isEmpty() && (text.front() == u'-' || text.front() == u'+')) {
        negative = text.front() == u'-';
        text = text.mid(1);
    }
    long long value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            break;
        value = value * 10 + (c.unicode() - u'0');
        if (value > std::numeric_limits<int>::max())
            return negative ? std::numeric_limits<int>::min() : std::numeric_limits<int>::max();
    }
    return static_cast<int>(negative ? -value : value);
}

} // namespace

int ReadProfileInt(const QString& path, const QString& section, const QString& key,
                   int defaultValue) {
    // Read directly rather than through QSettings, which keeps parsed files in a cache of its
    // own: a file rewritten with the same size within the same moment could read as before.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return defaultValue;
    // A file far larger than any settings file is not one; do not read all of it.
    const QString text = QString::fromUtf8(file.read(1 << 20));

    bool inSection = false;
    for (QStringView line : QStringView(text).split(u'\n')) {
        line = line.trimmed();
        if (line.startsWith(QChar(0xFEFF)))
            line = line.mid(1).trimmed();
        if (line.isEmpty() || line.startsWith(u';'))
            continue;
        if (line.startsWith(u'[')) {
            const qsizetype end = line.indexOf(u']');
            inSection = end > 0 &&
                        line.mid(1, end - 1).trimmed().compare(section, Qt::CaseInsensitive) == 0;
            continue;
        }
        if (!inSection)
            continue;
        const qsizetype equals = line.indexOf(u'=');
        if (equals < 0)
            continue;
        if (line.left(equals).trimmed().compare(key, Qt::CaseInsensitive) == 0)
            return LeadingNumber(line.mid(equals + 1));
    }
    return defaultValue;
}

} // namespace kinovex
