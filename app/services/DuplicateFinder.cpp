#include "DuplicateFinder.h"

#include "WebAddressKey.h"

#include <Item.h>

#include <QHash>
#include <algorithm>

namespace quillory {

namespace {

bool olderFirst(const Item *a, const Item *b)
{
    if (a->createdAtMSecs() != b->createdAtMSecs())
        return a->createdAtMSecs() < b->createdAtMSecs();
    return a->sequence() < b->sequence();
}

} // namespace

std::vector<DuplicateFinder::Group> DuplicateFinder::groups(const std::vector<Item *> &items)
{
    QHash<QString, Group> byKey;
    byKey.reserve(qsizetype(items.size()));
    for (Item *item : items) {
        if (item->urlString() && !item->urlString()->isEmpty())
            byKey[WebAddressKey::of(*item->urlString())].push_back(item);
    }
    std::vector<Group> found;
    for (auto it = byKey.begin(); it != byKey.end(); ++it) {
        if (it->size() < 2)
            continue;
        std::sort(it->begin(), it->end(), olderFirst);
        found.push_back(std::move(*it));
    }
    std::sort(found.begin(), found.end(),
              [](const Group &a, const Group &b) { return olderFirst(a.front(), b.front()); });
    return found;
}

DuplicateFinder::Group DuplicateFinder::sameAs(const Item &item, const std::vector<Item *> &items)
{
    Group same;
    if (!item.urlString() || item.urlString()->isEmpty())
        return same;
    const QString key = WebAddressKey::of(*item.urlString());
    for (Item *other : items) {
        if (other != &item && other->urlString() && WebAddressKey::of(*other->urlString()) == key)
            same.push_back(other);
    }
    std::sort(same.begin(), same.end(), olderFirst);
    return same;
}

} // namespace quillory
