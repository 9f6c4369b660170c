#pragma once

#include <share/SharedItem.h>

#include <QDateTime>
#include <QList>
#include <QString>
#include <functional>

namespace quillory {

class InboxFolder;

// Writes shared items into the inbox as Quillory reads them: for each item its companion
// files first (a copy of a shared file in Imported, picture bytes beside the record, document
// bytes in Imported), its record last, each file under a temporary name until it is complete
// and on the disk. What cannot be written costs that file or record only; an item left with
// nothing Quillory could import, or whose record would be too large to be read, gets no record.
// The inbox and its Imported folder are opened without following links, and every file is
// written relative to them, so a planted link never sends a share elsewhere.
class InboxWriter final
{
public:
    explicit InboxWriter(std::function<QDateTime()> now = &QDateTime::currentDateTimeUtc);

    struct Outcome
    {
        int written = 0; // records
        QStringList problems;
    };
    // Into the inbox of the shared container; nothing at all without a container.
    Outcome saveItems(const QList<SharedItem> &items) const;
    // Into the inbox at `inbox` (its Imported folder is made when missing).
    Outcome saveItems(const QList<SharedItem> &items, const QString &inbox) const;

private:
    Outcome saveItems(const QList<SharedItem> &items, const InboxFolder &inbox) const;

    std::function<QDateTime()> m_now;
};

} // namespace quillory
