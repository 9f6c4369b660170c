#pragma once

#include <model/Record.h>

#include <QColor>
#include <QHashFunctions>
#include <QList>
#include <QString>
#include <string>

namespace quillory {

class Item;

// A user label. Unlike items and folders, tags are equal when their ids are equal.
class Tag final : public Record
{
public:
    Tag(const QString &name, const QColor &color);
    ~Tag() override;

    const QString &name() const { return m_name; }
    void setName(const QString &name);
    const QString &colorHex() const { return m_colorHex; }
    void setColorHex(const QString &hex);
    QColor color() const;
    int sortOrder() const { return m_sortOrder; }
    void setSortOrder(int sortOrder);

    const QList<Item *> &items() const { return m_items; }
    // Items carrying the tag that are not archived.
    int itemCount() const;

    // Lower-cased UTF-8 name for search.
    const std::string &searchName() const { return m_searchName; }

    bool operator==(const Tag &other) const { return id() == other.id(); }
    // sortOrder first, then name by localized case-insensitive comparison.
    static bool lessThan(const Tag &a, const Tag &b);
    bool operator<(const Tag &other) const { return lessThan(*this, other); }

private:
    Tag(const QUuid &id, qint64 createdAt, qint64 modifiedAt)
        : Record(RecordKind::Tag, id, createdAt, modifiedAt)
    {
    }

    friend class Item;
    friend class LibraryStore;
    friend class StoreFile;

    QString m_name;
    QString m_colorHex;
    int m_sortOrder = 0;
    QList<Item *> m_items;
    std::string m_searchName;
};

inline size_t qHash(const Tag &tag, size_t seed = 0)
{
    return qHash(tag.id(), seed);
}

} // namespace quillory
