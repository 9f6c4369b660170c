#include <views/dialogs/BrokenLinksModel.h>

#include <views/widgets/DisplayText.h>

#include <model/Item.h>
#include <model/LibraryStore.h>
#include <pages/PageStore.h>

#include <QCollator>
#include <QDateTime>
#include <QLocale>
#include <algorithm>

namespace quillory {

BrokenLinksModel::BrokenLinksModel(QObject *parent) : QAbstractTableModel(parent)
{
}

void BrokenLinksModel::reset(const std::vector<BrokenLink> &links, const LibraryStore &store)
{
    std::vector<Row> rows;
    rows.reserve(links.size());
    for (const BrokenLink &link : links) {
        const Item *item = store.item(link.itemId);
        if (item == nullptr)
            continue;
        rows.push_back({link.itemId, DisplayText::bounded(item->title()),
                        DisplayText::bounded(item->urlString().value_or(QString())),
                        link.lastSeenAlive, link.hasCopy});
    }
    QCollator collator;
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(rows.begin(), rows.end(), [&collator](const Row &a, const Row &b) {
        return collator.compare(a.title, b.title) < 0;
    });
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

QUuid BrokenLinksModel::itemAt(int row) const
{
    return row >= 0 && row < rowCount() ? m_rows[size_t(row)].itemId : QUuid();
}

bool BrokenLinksModel::hasCopyAt(int row) const
{
    return row >= 0 && row < rowCount() && m_rows[size_t(row)].hasCopy;
}

int BrokenLinksModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int BrokenLinksModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant BrokenLinksModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Row &row = m_rows[size_t(index.row())];
    if (role == ItemIdRole)
        return QVariant::fromValue(row.itemId);
    if (role == Qt::ToolTipRole && index.column() == Address)
        return row.address;
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case Title:
        return row.title;
    case Address:
        return row.address;
    case LastSeen:
        if (!row.lastSeenAlive)
            return QStringLiteral("Never");
        return QLocale().toString(QDateTime::fromMSecsSinceEpoch(*row.lastSeenAlive).date(),
                                  QLocale::ShortFormat);
    case Copy:
        return row.hasCopy ? QStringLiteral("Kept") : QStringLiteral("None");
    default:
        return {};
    }
}

QVariant BrokenLinksModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case Title:
        return QStringLiteral("Title");
    case Address:
        return QStringLiteral("Address");
    case LastSeen:
        return QStringLiteral("Last Seen Working");
    case Copy:
        return QStringLiteral("Copy");
    default:
        return {};
    }
}

} // namespace quillory
