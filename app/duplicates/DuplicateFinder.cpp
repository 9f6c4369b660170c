#include <duplicates/DuplicateFinder.h>

#include <duplicates/WebAddressKey.h>

#include <model/Item.h>

#include <QHash>
#include <QUrl>
#include <algorithm>
#include <string>
#include <string_view>

namespace quillory {

namespace {

// A file's address names a place on the disk, not its contents: two pictures dropped from
// one path on different days are different pictures, and each item keeps its own copy.
bool namesAFile(std::string_view address)
{
    constexpr std::string_view scheme = "file:";
    return address.size() >= scheme.size() &&
           std::equal(scheme.begin(), scheme.end(), address.begin(),
                      [](char a, char b) { return a == (b | 0x20) || a == b; });
}

bool olderFirst(const Item *a, const Item *b)
{
    if (a->createdAtMSecs() != b->createdAtMSecs())
        return a->createdAtMSecs() < b->createdAtMSecs();
    return a->sequence() < b->sequence();
}

// Text every address of the page must contain, to skip the others without working out
// their key: the host, without "www.", when it is plain ASCII. Empty when there is none.
std::string hostNeedle(const QString &address)
{
    QString host = QUrl(address).host().toLower();
    if (host.startsWith(u"www."))
        host.remove(0, 4);
    for (const QChar c : std::as_const(host)) {
        if (c.unicode() >= 0x80)
            return {};
    }
    return host.toStdString();
}

// Whether `address` (UTF-8) can hold the page whose host is `needle` (lower case): it names
// that host as written, or spells its own host otherwise than in plain lower case (capitals,
// escapes, punycode or another script), which only its key can tell. Looks at the host part
// only, so most addresses are passed over at the cost of one case-sensitive search, without
// being decoded.
bool mayHoldHost(std::string_view address, std::string_view needle)
{
    if (needle.empty() || address.find(needle) != std::string_view::npos)
        return true;
    const size_t start = address.find("://");
    if (start == std::string_view::npos)
        return true;
    const size_t end = std::min(address.find_first_of("/?#", start + 3), address.size());
    const std::string_view host = address.substr(start + 3, end - start - 3);
    for (const char c : host) {
        if ((c >= 'A' && c <= 'Z') || c == '%' || static_cast<unsigned char>(c) >= 0x80)
            return true;
    }
    return host.find("xn--") != std::string_view::npos;
}

} // namespace

std::vector<DuplicateFinder::Group> DuplicateFinder::groups(const std::vector<Item *> &items)
{
    QHash<QString, Group> byKey;
    byKey.reserve(qsizetype(items.size()));
    for (Item *item : items) {
        const std::optional<std::string_view> utf8 = item->urlUtf8();
        if (!utf8 || utf8->empty() || namesAFile(*utf8))
            continue;
        byKey[WebAddressKey::of(QString::fromUtf8(utf8->data(), qsizetype(utf8->size())))]
            .push_back(item);
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
    const std::optional<std::string_view> own = item.urlUtf8();
    if (!own || own->empty() || namesAFile(*own))
        return same;
    const QString key = WebAddressKey::of(*item.urlString());
    const std::string needle = hostNeedle(*item.urlString());
    for (Item *other : items) {
        if (other == &item)
            continue;
        const std::optional<std::string_view> address = other->urlUtf8();
        if (address && !namesAFile(*address) && mayHoldHost(*address, needle) &&
            WebAddressKey::of(QString::fromUtf8(address->data(), qsizetype(address->size()))) ==
                key)
            same.push_back(other);
    }
    std::sort(same.begin(), same.end(), olderFirst);
    return same;
}

} // namespace quillory
