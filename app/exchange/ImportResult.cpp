#include <exchange/ImportResult.h>

#include <model/FolderNesting.h>
#include <text/CountedNoun.h>

#include <QLocale>

namespace quillory {

QString ImportResult::summary() const
{
    QString text =
        QStringLiteral("Imported %1, %2, %3")
            .arg(CountedNoun::of(itemsImported, QStringLiteral("item"), QStringLiteral("items")),
                 CountedNoun::of(foldersImported, QStringLiteral("folder"),
                                 QStringLiteral("folders")),
                 CountedNoun::of(tagsImported, QStringLiteral("tag"), QStringLiteral("tags")));
    if (foldersMovedUp > 0)
        text += QStringLiteral(". ") + foldersMovedUpText(foldersMovedUp);
    return text;
}

QString ImportResult::foldersMovedUpText(qsizetype count)
{
    const QString depth = QString::number(FolderNesting::maxDepth);
    if (count == 1)
        return QStringLiteral("1 folder lay deeper than %1 levels and was moved up to level %1.")
            .arg(depth);
    return QStringLiteral("%1 folders lay deeper than %2 levels and were moved up to level %2.")
        .arg(QLocale().toString(count), depth);
}

} // namespace quillory
