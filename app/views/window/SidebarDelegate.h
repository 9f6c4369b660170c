#pragma once

#include <QStyledItemDelegate>

namespace quillory {

// Paints sidebar rows: section titles, tinted icons, trailing counts, tag colour dots and
// the accent background of the current choice.
class SidebarDelegate final : public QStyledItemDelegate
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SidebarDelegate)

public:
    explicit SidebarDelegate(QObject *parent = nullptr) : QStyledItemDelegate(parent) {}

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    void setCountsShown(bool shown) { m_countsShown = shown; }
    bool countsShown() const { return m_countsShown; }

private:
    bool m_countsShown = true;
};

} // namespace quillory
