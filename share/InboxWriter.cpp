#include "InboxWriter.h"

#include <InboxFiles.h>
#include <InboxLayout.h>
#include <PendingItemRecord.h>

#include <QDir>
#include <QFileInfo>

namespace quillory {

InboxWriter::InboxWriter(std::function<QDateTime()> now) : m_now(std::move(now))
{
}

InboxWriter::Outcome InboxWriter::saveItems(const QList<SharedItem> &items) const
{
    const auto inbox = InboxLayout::ensureInbox();
    if (!inbox)
        return {0,
                {QStringLiteral("There is no place for the inbox (no HOME and no "
                                "XDG_DATA_HOME, or the folder cannot be made).")}};
    return saveItems(items, *inbox);
}

InboxWriter::Outcome InboxWriter::saveItems(const QList<SharedItem> &items,
                                            const QString &inbox) const
{
    Outcome outcome;
    const QString imported = inbox + QLatin1Char('/') + InboxLayout::importedName;
    QDir().mkpath(imported);
    for (const SharedItem &item : items) {
        PendingItemRecord record;
        record.type = item.type.rawValue();
        record.title = item.title;
        record.createdAt = m_now();
        if (item.url && !item.url->isLocalFile()) {
            record.url = item.url->toString(QUrl::FullyEncoded);
        } else if (item.url) {
            const QString name = InboxLayout::uniqueName(
                QLatin1Char('_') + QFileInfo(item.url->toLocalFile()).fileName());
            if (InboxFiles::copyAtomically(item.url->toLocalFile(),
                                           imported + QLatin1Char('/') + name))
                record.filePath = InboxLayout::importedName + QLatin1Char('/') + name;
            else
                outcome.problems
                    << QStringLiteral("Could not copy %1.").arg(item.url->toLocalFile());
        }
        if (item.imageData && item.type != SharedItemType::Document) {
            const QString name = InboxLayout::uniqueName(QStringLiteral(".jpg"));
            if (!InboxFiles::writeAtomically(inbox + QLatin1Char('/') + name, *item.imageData))
                outcome.problems << QStringLiteral("Could not write the picture of \u201C%1\u201D.")
                                        .arg(item.title);
            record.imageFileName = name;
        } else if (item.imageData) {
            const QString name = InboxLayout::uniqueName(QStringLiteral(".pdf"));
            if (InboxFiles::writeAtomically(imported + QLatin1Char('/') + name, *item.imageData))
                record.filePath = InboxLayout::importedName + QLatin1Char('/') + name;
            else
                outcome.problems << QStringLiteral("Could not write the document \u201C%1\u201D.")
                                        .arg(item.title);
        }
        record.note = item.note;
        const QString recordPath =
            inbox + QLatin1Char('/') + InboxLayout::uniqueName(InboxLayout::recordSuffix);
        if (InboxFiles::writeAtomically(recordPath, record.toJson()))
            ++outcome.written;
        else
            outcome.problems
                << QStringLiteral("Could not write the record of \u201C%1\u201D.").arg(item.title);
    }
    return outcome;
}

} // namespace quillory
