#include <duplicates/DuplicateMerger.h>

#include <model/Item.h>
#include <model/LibraryStore.h>
#include <model/Tag.h>

#include <algorithm>

namespace quillory {

bool DuplicateMerger::merge(LibraryStore &store, Item &keep, const std::vector<Item *> &others)
{
    if (store.isReadOnly() || std::find(others.begin(), others.end(), &keep) != others.end())
        return false;
    std::optional<QString> note = keep.note();
    qint64 created = keep.createdAtMSecs();
    bool favorite = keep.isFavorite();
    bool archived = keep.isArchived();
    Folder *folder = keep.folder();
    for (const Item *other : others) {
        for (Tag *tag : other->tags()) {
            if (!keep.tags().contains(tag))
                keep.addTag(tag);
        }
        note = joinedNotes(note, other->note());
        created = std::min(created, other->createdAtMSecs());
        favorite = favorite || other->isFavorite();
        // A copy still in use keeps the page in use; a copy filed keeps it filed.
        archived = archived && other->isArchived();
        if (folder == nullptr)
            folder = other->folder();
    }
    if (note != keep.note())
        keep.setNote(note);
    if (created != keep.createdAtMSecs())
        keep.setCreatedAt(QDateTime::fromMSecsSinceEpoch(created, Qt::UTC));
    if (favorite != keep.isFavorite())
        keep.setFavorite(true);
    if (archived != keep.isArchived())
        keep.setArchived(false);
    if (folder != keep.folder())
        keep.moveToFolder(folder);
    for (Item *other : others)
        store.remove(other);
    return true;
}

std::optional<QString> DuplicateMerger::joinedNotes(const std::optional<QString> &kept,
                                                    const std::optional<QString> &other)
{
    // Every word anyone wrote stays: a note already held in full adds nothing, any other is
    // added after a blank line.
    if (!other || other->isEmpty() || (kept && kept->contains(*other)))
        return kept;
    if (!kept || kept->isEmpty() || other->contains(*kept))
        return other;
    return *kept + QStringLiteral("\n\n") + *other;
}

} // namespace quillory
