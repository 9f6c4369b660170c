#include <model/Tag.h>

#include <model/HexColor.h>
#include <model/Item.h>
#include <model/SearchText.h>

#include <QCollator>
#include <algorithm>

namespace quillory {

Tag::Tag(const QString &name, const QColor &color)
    : Record(RecordKind::Tag), m_name(name), m_colorHex(HexColor::toHexOrDefault(color)),
      m_searchName(SearchText::fold(name))
{
}

Tag::~Tag()
{
    for (Item *item : std::as_const(m_items))
        item->m_tags.removeAll(this);
}

void Tag::setName(const QString &name)
{
    if (name == m_name || !mayChange())
        return;
    m_name = name;
    m_searchName = SearchText::fold(name);
    didChange();
}

void Tag::setColorHex(const QString &hex)
{
    if (hex == m_colorHex || !mayChange())
        return;
    m_colorHex = hex;
    didChange();
}

QColor Tag::color() const
{
    return HexColor::fromHex(m_colorHex);
}

void Tag::setSortOrder(int sortOrder)
{
    if (sortOrder == m_sortOrder || !mayChange())
        return;
    m_sortOrder = sortOrder;
    didChange();
}

int Tag::itemCount() const
{
    return int(std::count_if(m_items.cbegin(), m_items.cend(),
                             [](const Item *item) { return !item->isArchived(); }));
}

bool Tag::lessThan(const Tag &a, const Tag &b)
{
    if (a.m_sortOrder != b.m_sortOrder)
        return a.m_sortOrder < b.m_sortOrder;
    thread_local QCollator collator = [] {
        QCollator c;
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    return collator.compare(a.m_name, b.m_name) < 0;
}

} // namespace quillory
