#include <pages/PageQuery.h>

#include <QStringList>
#include <algorithm>

namespace quillory {

QString PageQuery::fromUserText(const QString &text)
{
    QStringList strings;
    QString cleaned = text;
    // Control characters (a NUL among them) are no part of any word and would end the
    // query early in the engine's parser.
    std::replace_if(
        cleaned.begin(), cleaned.end(),
        [](QChar c) { return c.category() == QChar::Other_Control; }, QLatin1Char(' '));
    for (const QString &word : cleaned.simplified().split(u' ', Qt::SkipEmptyParts)) {
        if (strings.size() == maxWords)
            break;
        if (!std::any_of(word.begin(), word.end(), [](QChar c) { return c.isLetterOrNumber(); }))
            continue;
        QString quoted = word;
        quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
        strings.append(u'"' + quoted + u'"');
    }
    return strings.join(u' ');
}

} // namespace quillory
