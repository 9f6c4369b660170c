#include <model/Folder.h>

#include <model/HexColor.h>
#include <model/Item.h>

#include <algorithm>

namespace quillory {

Folder::Folder(const QString &name, const QString &iconName, const QColor &color, Folder *parent)
    : Record(RecordKind::Folder), m_name(name), m_iconName(iconName),
      m_colorHex(HexColor::toHexOrDefault(color))
{
    linkParent(parent);
}

Folder::~Folder()
{
    linkParent(nullptr);
    for (Folder *child : std::as_const(m_children))
        child->m_parent = nullptr;
    for (Item *item : std::as_const(m_items))
        item->m_folder = nullptr;
}

void Folder::setName(const QString &name)
{
    if (name == m_name || !mayChange())
        return;
    m_name = name;
    didChange();
}

void Folder::setIconName(const QString &iconName)
{
    if (iconName == m_iconName || !mayChange())
        return;
    m_iconName = iconName;
    didChange();
}

void Folder::setColorHex(const QString &hex)
{
    if (hex == m_colorHex || !mayChange())
        return;
    m_colorHex = hex;
    didChange();
}

QColor Folder::color() const
{
    return HexColor::fromHex(m_colorHex);
}

void Folder::setSortOrder(int sortOrder)
{
    if (sortOrder == m_sortOrder || !mayChange())
        return;
    m_sortOrder = sortOrder;
    didChange();
}

bool Folder::setParent(Folder *parent)
{
    if (parent == m_parent)
        return true;
    if (parent == this || (parent != nullptr && isAncestorOf(*parent)) || !mayChange())
        return false;
    linkParent(parent);
    didChange();
    return true;
}

QList<Folder *> Folder::sortedChildren() const
{
    QList<Folder *> sorted = m_children;
    std::stable_sort(sorted.begin(), sorted.end(), [](const Folder *a, const Folder *b) {
        return a->m_sortOrder < b->m_sortOrder;
    });
    return sorted;
}

QList<Folder *> Folder::allDescendants() const
{
    QList<Folder *> result;
    // Explicit stack: imported trees may be deep.
    QList<Folder *> stack(m_children.crbegin(), m_children.crend());
    while (!stack.isEmpty()) {
        Folder *f = stack.takeLast();
        result.append(f);
        for (auto it = f->m_children.crbegin(); it != f->m_children.crend(); ++it)
            stack.append(*it);
    }
    return result;
}

bool Folder::isAncestorOf(const Folder &folder) const
{
    for (const Folder *p = folder.m_parent; p != nullptr; p = p->m_parent) {
        if (p == this)
            return true;
    }
    return false;
}

void Folder::linkParent(Folder *parent)
{
    if (m_parent != nullptr)
        m_parent->m_children.removeOne(this);
    m_parent = parent;
    if (m_parent != nullptr) {
        m_childRank =
            m_parent->m_children.isEmpty() ? 0 : m_parent->m_children.last()->m_childRank + 1;
        m_parent->m_children.append(this);
    }
}

} // namespace quillory
