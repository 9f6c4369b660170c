#pragma once

#include <views/widgets/ElidedTextCache.h>

#include <QStyledItemDelegate>

namespace quillory {

class Item;
class ThumbnailCache;

// Paints items as cards (grid) or rows (list). Pictures come from the thumbnail cache, so
// only rows on screen are ever decoded.
class ItemDelegate final : public QStyledItemDelegate
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ItemDelegate)

public:
    static constexpr int rowHeight = 60;
    static constexpr int cardHeight = 196;

    ItemDelegate(ThumbnailCache &thumbnails, QObject *parent = nullptr);

    void setGridMode(bool grid) { m_grid = grid; }
    void setCardWidth(int width) { m_cardWidth = width; }

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    // The rounded placeholder: the kind's tint at 10 % with its icon.
    static void paintPlaceholder(QPainter *painter, const QRect &rect, const Item &item,
                                 int radius);

private:
    // Where the query's words stand in the item's kept page; empty for other rows.
    struct Snippet
    {
        QString text;
        QList<std::pair<qsizetype, qsizetype>> marks;
    };

    void paintCard(QPainter *painter, const QStyleOptionViewItem &option, const Item &item,
                   const Snippet &snippet) const;
    void paintRow(QPainter *painter, const QStyleOptionViewItem &option, const Item &item,
                  const Snippet &snippet) const;
    void paintPicture(QPainter *painter, const QRect &rect, const Item &item, bool fullImageAllowed,
                      int radius) const;

    ThumbnailCache &m_thumbnails;
    mutable ElidedTextCache m_lines; // painting is const, and only fills this
    bool m_grid = true;
    int m_cardWidth = 200;
};

} // namespace quillory
