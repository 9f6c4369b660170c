#pragma once

#include <model/Record.h>

#include <QColor>
#include <QList>
#include <QString>

namespace quillory {

class Item;

// A user folder. Folders form a tree; deleting one deletes its sub-tree and leaves the
// items that lay in it unfiled.
class Folder final : public Record
{
public:
    Folder(const QString &name, const QString &iconName, const QColor &color,
           Folder *parent = nullptr);
    ~Folder() override;

    const QString &name() const { return m_name; }
    void setName(const QString &name);
    const QString &iconName() const { return m_iconName; }
    void setIconName(const QString &iconName);
    const QString &colorHex() const { return m_colorHex; }
    void setColorHex(const QString &hex);
    QColor color() const;
    int sortOrder() const { return m_sortOrder; }
    void setSortOrder(int sortOrder);

    Folder *parent() const { return m_parent; }
    // Refused (returns false) when it would make the folder its own ancestor.
    bool setParent(Folder *parent);
    const QList<Folder *> &children() const { return m_children; }
    const QList<Item *> &items() const { return m_items; }

    // Children by sortOrder; equal sortOrders keep their stored order.
    QList<Folder *> sortedChildren() const;
    // Every folder below this one, depth first, children in stored order.
    QList<Folder *> allDescendants() const;
    bool isAncestorOf(const Folder &folder) const;

private:
    Folder(const QUuid &id, qint64 createdAt, qint64 modifiedAt)
        : Record(RecordKind::Folder, id, createdAt, modifiedAt)
    {
    }

    friend class FolderNesting;
    friend class Item;
    friend class LibraryStore;
    friend class StoreFile;

    void linkParent(Folder *parent);

    QString m_name;
    QString m_iconName;
    QString m_colorHex;
    int m_sortOrder = 0;
    qint64 m_childRank = 0; // keeps the stored order of a parent's children across saves
    Folder *m_parent = nullptr;
    QList<Folder *> m_children;
    QList<Item *> m_items;
};

} // namespace quillory
