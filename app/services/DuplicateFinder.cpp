#include "DuplicateFinder.h"

#include "WebAddressKey.h"

#include <Item.h>

#include <QHash>
#include <QStringMatcher>
#include <QUrl>
#include <algorithm>

namespace quillory {

namespace {

bool olderFirst(const Item *a, const Item *b)
{
    if (a->createdAtMSecs() != b->createdAtMSecs())
        return a->createdAtMSecs() < b->createdAtMSecs();
    return a->sequence() < b->sequence();
}

// Text every address of the page must contain, to skip the others without working out
// their key: the host, without "www.", when it is plain ASCII. Empty when there is none.
QString hostNeedle(const QString &address)
{
    QString host = QUrl(address).host().toLower();
    if (host.startsWith(u"www."))
        host.remove(0, 4);
    for (const QChar c : std::as_const(host)) {
        if (c.unicode() >= 0x80)
            return {};
    }
    return host;
}

// Whether `address` can hold the page whose host is `needle` (lower case): it names that
// host as written, or spells its own host otherwise than in plain lower case (capitals,
// escapes, punycode or another script), which only its key can tell. Looks at the host part
// only, so most addresses are passed over at the cost of one case-sensitive search.
bool mayHoldHost(const QString &address, const QStringMatcher &needle)
{
    if (needle.pattern().isEmpty() || needle.indexIn(address) >= 0)
        return true;
    const qsizetype start = address.indexOf(u"://");
    if (start < 0)
        return true;
    qsizetype end = start + 3;
    while (end < address.size() && address[end] != u'/' && address[end] != u'?' &&
           address[end] != u'#')
        ++end;
    const QStringView host = QStringView(address).sliced(start + 3, end - start - 3);
    for (const QChar c : host) {
        if ((c >= u'A' && c <= u'Z') || c == u'%' || c.unicode() >= 0x80)
            return true;
    }
    return host.contains(u"xn--");
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
    const QStringMatcher needle(hostNeedle(*item.urlString()));
    for (Item *other : items) {
        if (other == &item || !other->urlString())
            continue;
        const QString &address = *other->urlString();
        if (mayHoldHost(address, needle) && WebAddressKey::of(address) == key)
            same.push_back(other);
    }
    std::sort(same.begin(), same.end(), olderFirst);
    return same;
}

} // namespace quillory
