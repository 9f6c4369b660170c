#pragma once

#include <QDialog>
#include <QTimer>
#include <QUuid>
#include <functional>
#include <vector>

class QLabel;
class QPushButton;
class QTreeView;

namespace quillory {

class BrokenLinksModel;
struct BrokenLink;
class KeepingQueue;
class KeptPages;
class LibraryStore;

// "Broken Links": the items whose links answered that their page is gone (404, 410, or a
// site that no longer exists) on two checks at least a day apart, with the day each was
// last seen working and whether a copy is kept. Follows the checks as they run.
class BrokenLinksWindow final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BrokenLinksWindow)

public:
    using ItemAction = std::function<void(const QUuid &itemId)>;

    // `open` shows an item (double-click, "Show in Library"); `readCopy`, when given, opens
    // an item's kept copy and adds a button for it. `queue` may be null.
    BrokenLinksWindow(LibraryStore &store, KeptPages &pages, KeepingQueue *queue, ItemAction open,
                      ItemAction readCopy = {}, QWidget *parent = nullptr);
    ~BrokenLinksWindow() override;

    // Asks the kept pages again; the list follows once they answer.
    void refresh();
    // True between refresh() and the answer.
    bool isRefreshing() const { return m_refreshing; }
    QTreeView *list() const { return m_list; }
    BrokenLinksModel &model() const { return *m_model; }
    QString summary() const;

private:
    void showLinks(std::vector<BrokenLink> links);
    void updateButtons();
    int selectedRow() const;
    QUuid current() const;

    LibraryStore &m_store;
    KeptPages &m_pages;
    ItemAction m_open;
    ItemAction m_readCopy;
    BrokenLinksModel *m_model;
    QTreeView *m_list;
    QLabel *m_summary;
    QPushButton *m_show;
    QPushButton *m_read = nullptr;
    QTimer m_later;
    bool m_refreshing = false;
};

} // namespace quillory
