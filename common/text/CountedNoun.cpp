#include <text/CountedNoun.h>

#include <QLocale>

namespace quillory {

QString CountedNoun::of(qint64 count, const QString &one, const QString &many)
{
    return QLocale().toString(count) + QLatin1Char(' ') + (count == 1 ? one : many);
}

} // namespace quillory
