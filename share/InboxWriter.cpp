#include <share/InboxWriter.h>

#include <inbox/InboxFolder.h>
#include <inbox/InboxLayout.h>
#include <inbox/PendingItemRecord.h>

#include <QFileInfo>

namespace quillory {

namespace {

// For messages: a title may be a whole file name or address, too long to read in one line.
QString shortened(const QString &title)
{
    constexpr qsizetype longest = 80;
    if (title.size() <= longest)
        return title;
    qsizetype cut = longest - 1;
    if (title.at(cut - 1).isHighSurrogate())
        --cut;
    return title.first(cut) + QChar(u'\u2026');
}

} // namespace

InboxWriter::InboxWriter(std::function<QDateTime()> now) : m_now(std::move(now))
{
}

InboxWriter::Outcome InboxWriter::saveItems(const QList<SharedItem> &items) const
{
    const InboxFolder inbox = InboxLayout::openInbox();
    if (!inbox.isOpen())
        return {0,
                {QStringLiteral("There is no place for the inbox (no HOME and no "
                                "XDG_DATA_HOME, the folder cannot be made, or a symbolic link "
                                "stands where it should be).")}};
    return saveItems(items, inbox);
}

InboxWriter::Outcome InboxWriter::saveItems(const QList<SharedItem> &items,
                                            const QString &inbox) const
{
    const InboxFolder folder = InboxFolder::open(inbox);
    if (!folder.isOpen())
        return {
            0, {QStringLiteral("The inbox %1 is not a folder, or is a symbolic link.").arg(inbox)}};
    return saveItems(items, folder);
}

InboxWriter::Outcome InboxWriter::saveItems(const QList<SharedItem> &items,
                                            const InboxFolder &inbox) const
{
    Outcome outcome;
    const InboxFolder imported =
        inbox.folder(InboxLayout::importedName, InboxFolder::Missing::Create);
    // Spelled out: a QStringBuilder returned would refer to the separator gone with the call.
    const auto importedPath = [](const QString &name) -> QString {
        return InboxLayout::importedName + QLatin1Char('/') + name;
    };
    for (const SharedItem &item : items) {
        const QString title = shortened(item.title);
        const qsizetype reported = outcome.problems.size();
        PendingItemRecord record;
        record.type = item.type.rawValue();
        record.title = item.title;
        record.createdAt = m_now();
        record.note = item.note;
        if (item.url && !item.url->isLocalFile())
            record.url = item.url->toString(QUrl::FullyEncoded);

        // Every name is chosen before anything is written, so that a record too large to be
        // read is refused before its companions are written and left behind without it.
        std::optional<QString> copyName;
        std::optional<QString> pictureName;
        std::optional<QString> documentName;
        if (item.url && item.url->isLocalFile())
            copyName = InboxLayout::uniqueName(QLatin1Char('_') +
                                               QFileInfo(item.url->toLocalFile()).fileName());
        if (item.imageData && item.type != SharedItemType::Document)
            pictureName = InboxLayout::uniqueName(QStringLiteral(".jpg"));
        else if (item.imageData)
            documentName = InboxLayout::uniqueName(QStringLiteral(".pdf"));
        PendingItemRecord whole = record;
        if (const auto name = documentName ? documentName : copyName)
            whole.filePath = importedPath(*name);
        whole.imageFileName = pictureName;
        if (whole.toJson().size() > PendingItemRecord::sizeLimit) {
            outcome.problems << QStringLiteral("\u201C%1\u201D is too large to save: its address, "
                                               "title and note come to more than %2 MiB.")
                                    .arg(title)
                                    .arg(PendingItemRecord::sizeLimit / (1024 * 1024));
            continue;
        }

        if (copyName) {
            if (imported.copy(item.url->toLocalFile(), *copyName))
                record.filePath = importedPath(*copyName);
            else
                outcome.problems
                    << QStringLiteral("Could not copy %1.").arg(item.url->toLocalFile());
        }
        if (pictureName) {
            if (inbox.write(*pictureName, *item.imageData))
                record.imageFileName = *pictureName;
            else
                outcome.problems
                    << QStringLiteral("Could not write the picture of \u201C%1\u201D.").arg(title);
        }
        if (documentName) {
            if (imported.write(*documentName, *item.imageData))
                record.filePath = importedPath(*documentName);
            else
                outcome.problems
                    << QStringLiteral("Could not write the document \u201C%1\u201D.").arg(title);
        }
        // Quillory throws away a record with nothing to import, so it is neither written nor
        // counted as saved.
        if (!record.url && !record.filePath && !record.imageFileName) {
            if (outcome.problems.size() == reported)
                outcome.problems
                    << QStringLiteral("\u201C%1\u201D holds nothing to save.").arg(title);
            continue;
        }

        if (inbox.write(InboxLayout::uniqueName(InboxLayout::recordSuffix), record.toJson()))
            ++outcome.written;
        else
            outcome.problems
                << QStringLiteral("Could not write the record of \u201C%1\u201D.").arg(title);
    }
    return outcome;
}

} // namespace quillory
