#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUuid>
#include <optional>

class QMimeData;

namespace quillory {

class Item;
class LibraryStore;

// What dragging a tag carries: its id, as the JSON object {"tagId": "<UUID>"} under its own
// MIME type. Several tags travel as a JSON array of such objects.
struct TagDragItem
{
    QUuid tagId;

    static inline const QString mimeType = QStringLiteral("com.quillory.tag");

    // The id in 36-character upper-case text without braces.
    QByteArray toJson() const;
    // Absent unless `json` is an object whose "tagId" is a string holding a UUID.
    static std::optional<TagDragItem> fromJson(const QByteArray &json);

    // The caller (usually a QDrag) owns the result.
    QMimeData *toMimeData() const;
    static QMimeData *toMimeData(const QList<TagDragItem> &items);
    // Every decodable payload in `mime`, in order; entries that do not decode are skipped.
    static QList<TagDragItem> fromMimeData(const QMimeData &mime);
    // Gives `item` the dragged tags that are still in `store` and saves at once, as every
    // change made by hand to an item's tags is. False when `mime` holds no tag.
    static bool addTo(Item &item, LibraryStore &store, const QMimeData &mime);

    bool operator==(const TagDragItem &other) const = default;
};

} // namespace quillory
