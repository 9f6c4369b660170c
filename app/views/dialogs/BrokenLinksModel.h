#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QUuid>
#include <optional>
#include <vector>

namespace quillory {

class LibraryStore;
struct BrokenLink;

// The broken links as rows: the item's title and address, the day it last answered and
// whether a copy of it is kept. Ordered by title.
class BrokenLinksModel final : public QAbstractTableModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BrokenLinksModel)

public:
    enum Column { Title, Address, LastSeen, Copy, ColumnCount };
    static constexpr int ItemIdRole = Qt::UserRole + 1;

    explicit BrokenLinksModel(QObject *parent = nullptr);

    // Links whose item is no longer in `store` are left out.
    void reset(const std::vector<BrokenLink> &links, const LibraryStore &store);
    QUuid itemAt(int row) const;
    bool hasCopyAt(int row) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    struct Row
    {
        QUuid itemId;
        QString title;
        QString address;
        std::optional<qint64> lastSeenAlive;
        bool hasCopy = false;
    };
    std::vector<Row> m_rows;
};

} // namespace quillory
