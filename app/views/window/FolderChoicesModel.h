#pragma once

#include <QConcatenateTablesProxyModel>
#include <memory>

class QStandardItemModel;

namespace quillory {

class LibraryStore;
class LiveList;

// What an item can be filed in from its detail view: the Inbox, then the top-level folders
// in the sidebar's order, each with its id in Qt::UserRole (a null id for the Inbox). Follows
// the store row by row; a folder that becomes a sub-folder leaves the list.
class FolderChoicesModel final : public QConcatenateTablesProxyModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FolderChoicesModel)

public:
    explicit FolderChoicesModel(LibraryStore &store, QObject *parent = nullptr);
    ~FolderChoicesModel() override;

private:
    class TopLevel;

    std::unique_ptr<LiveList> m_folders;
    std::unique_ptr<QStandardItemModel> m_inbox;
    std::unique_ptr<TopLevel> m_topLevel;
};

} // namespace quillory
