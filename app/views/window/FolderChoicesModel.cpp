#include <views/window/FolderChoicesModel.h>

#include <views/widgets/DisplayText.h>
#include <views/widgets/SymbolIcon.h>

#include <model/Folder.h>
#include <model/LiveList.h>

#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QUuid>

namespace quillory {

// The folders without a parent, shown by name and tinted icon.
class FolderChoicesModel::TopLevel final : public QSortFilterProxyModel
{
public:
    explicit TopLevel(LiveList &folders)
    {
        setSourceModel(&folders);
        // Filtering only: rows keep the list's order.
        setDynamicSortFilter(true);
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!checkIndex(index, CheckIndexOption::IndexIsValid))
            return {};
        const Folder &folder = *folders().folder(mapToSource(index).row());
        switch (role) {
        case Qt::DisplayRole:
            return DisplayText::bounded(folder.name());
        case Qt::DecorationRole:
            return SymbolIcon::tintedIcon(folder.iconName(), folder.color());
        case Qt::UserRole:
            return folder.id();
        default:
            return {};
        }
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex &) const override
    {
        return folders().folder(row)->parent() == nullptr;
    }

private:
    const LiveList &folders() const { return static_cast<const LiveList &>(*sourceModel()); }
};

FolderChoicesModel::FolderChoicesModel(LibraryStore &store, QObject *parent)
    : QConcatenateTablesProxyModel(parent), m_folders(LiveList::foldersBySortOrder(store)),
      m_inbox(std::make_unique<QStandardItemModel>()),
      m_topLevel(std::make_unique<TopLevel>(*m_folders))
{
    auto *inbox = new QStandardItem(SymbolIcon::icon(QStringLiteral("tray")), tr("Inbox"));
    inbox->setData(QUuid(), Qt::UserRole);
    m_inbox->appendRow(inbox);
    addSourceModel(m_inbox.get());
    addSourceModel(m_topLevel.get());
}

// The sources go before the base class that still holds them.
FolderChoicesModel::~FolderChoicesModel()
{
    removeSourceModel(m_topLevel.get());
    removeSourceModel(m_inbox.get());
}

} // namespace quillory
