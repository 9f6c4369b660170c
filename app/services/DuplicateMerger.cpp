#include "DuplicateMerger.h"

#include <Item.h>
#include <LibraryStore.h>
#include <Tag.h>

#include <algorithm>

namespace quillory {

bool DuplicateMerger::merge(LibraryStore &store, Item &keep, const std::vector<Item *> &others)
{
    if (store.isReadOnly() || std::find(others.begin(), others.end(), &keep) != others.end())
        return false;
    std::optional<QString> note = keep.note();
    qint64 created = keep.createdAtMSecs();
    bool favorite = keep.isFavorite();
    for (const Item *other : others) {
        for (Tag *tag : other->tags()) {
            if (!keep.tags().contains(tag))
                keep.addTag(tag);
        }
        if (other->note() && other->note()->size() > (note ? note->size() : 0))
            note = other->note();
        created = std::min(created, other->createdAtMSecs());
        favorite = favorite || other->isFavorite();
    }
    if (note != keep.note())
        keep.setNote(note);
    if (created != keep.createdAtMSecs())
        keep.setCreatedAt(QDateTime::fromMSecsSinceEpoch(created, Qt::UTC));
    if (favorite != keep.isFavorite())
        keep.setFavorite(true);
    for (Item *other : others)
        store.remove(other);
    return true;
}

} // namespace quillory
