#pragma once

#include <duplicates/DuplicateFinder.h>

#include <QDialog>
#include <QSet>
#include <QTimer>
#include <QUuid>
#include <vector>

class QButtonGroup;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace quillory {

class Item;
class LibraryStore;

// "Duplicates": every group of items that hold the same page, each with the item to keep
// (the oldest to begin with) and a button that merges the group into it. Follows the
// store: after a merge, or any other change, the groups are worked out again.
class DuplicatesSheet final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DuplicatesSheet)

public:
    explicit DuplicatesSheet(LibraryStore &store, QWidget *parent = nullptr);
    ~DuplicatesSheet() override;

    int groupCount() const { return int(m_groups.size()); }
    const DuplicateFinder::Group &group(int index) const { return m_groups[size_t(index)]; }
    Item *keptItem(int group) const;
    void chooseKept(int group, int member);
    QPushButton *mergeButton(int group) const;
    // What a group's button does.
    void mergeGroup(int group);

    // The groups follow the store on the next turn of the event loop; this catches up now.
    void refreshNow();

private:
    QWidget *buildGroup(int index);
    void forgetGroups();
    void rebuild();

    LibraryStore &m_store;
    std::vector<DuplicateFinder::Group> m_groups;
    std::vector<QButtonGroup *> m_choices;
    std::vector<QPushButton *> m_mergeButtons;
    QSet<QUuid> m_chosen; // the items picked to be kept, by id
    QWidget *m_rows = nullptr;
    QVBoxLayout *m_rowsLayout = nullptr;
    QLabel *m_summary = nullptr;
    QLabel *m_empty = nullptr;
    QTimer m_refresh;
};

} // namespace quillory
