#include "ViewsTestbed.h"

#include <model/LiveList.h>
#include <state/LibraryCounts.h>
#include <views/window/Sidebar.h>
#include <views/window/SidebarModel.h>

#include <QAbstractItemModelTester>
#include <QTreeView>
#include <random>

using namespace quillory;
using namespace Qt::StringLiterals;

namespace {

constexpr int everyRole[] = {
    Qt::DisplayRole,           SidebarModel::KindRole,  SidebarModel::SmartFolderRole,
    SidebarModel::IdRole,      SidebarModel::CountRole, SidebarModel::SelectedRole,
    SidebarModel::CheckedRole, SidebarModel::TintRole,  SidebarModel::SymbolRole,
};

// Every row's data, depth first, with the depth: two models show the same when these agree.
QStringList describedRows(const QAbstractItemModel &model)
{
    QStringList rows;
    std::vector<std::pair<QModelIndex, int>> pending;
    for (int r = model.rowCount() - 1; r >= 0; --r)
        pending.emplace_back(model.index(r, 0), 0);
    while (!pending.empty()) {
        const auto [at, depth] = pending.back();
        pending.pop_back();
        QString row = QString(depth * 2, u' ');
        for (int role : everyRole) {
            const QVariant value = at.data(role);
            row += u'|' + (value.metaType() == QMetaType::fromType<QColor>()
                               ? value.value<QColor>().name(QColor::HexArgb)
                               : value.toString());
        }
        row += u'|' + QString::number(int(at.flags()));
        rows << row;
        for (int r = model.rowCount(at) - 1; r >= 0; --r)
            pending.emplace_back(model.index(r, 0, at), depth + 1);
    }
    return rows;
}

class SidebarTest : public ::testing::Test, protected quillory::test::StoreTestbed
{
protected:
    SidebarTest()
    {
        if (!m_store)
            return;
        m_folders = LiveList::foldersBySortOrder(*m_store);
        m_tags = LiveList::tagsBySortOrder(*m_store);
        m_counts = std::make_unique<LibraryCounts>(*m_store);
    }

    void show(SidebarModel &model)
    {
        m_counts->update(0);
        model.update(*m_folders, *m_tags, *m_counts, m_selection, m_filterTags);
    }

    std::unique_ptr<LiveList> m_folders;
    std::unique_ptr<LiveList> m_tags;
    std::unique_ptr<LibraryCounts> m_counts;
    SidebarSelection m_selection;
    QList<Tag *> m_filterTags;
};

// Random changes to the folder tree, the tags, the counts and the marks: the rows updated in
// place show what rows made from scratch show, the model is never reset, and the tree keeps
// exactly the folders the user opened open, moved ones included, and its current row.
TEST_F(SidebarTest, RowsFollowRandomChangesAsRowsMadeAfreshWouldAndKeepWhatIsOpen)
{
    ASSERT_TRUE(m_store);
    Sidebar sidebar;
    SidebarModel &model = sidebar.model();
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QTreeView *tree = sidebar.tree();
    QSet<QUuid> open;
    const Folder *current = nullptr;

    std::mt19937 random(20261208);
    const auto any = [&random](const auto &records) {
        return records.empty() ? nullptr : records[random() % records.size()];
    };
    for (int step = 0; step < 300; ++step) {
        Folder *folder = any(m_store->folders());
        Tag *tag = any(m_store->tags());
        const int kind = int(random() % 12);
        std::string what;
        if (kind <= 2 || folder == nullptr) {
            what = "new folder";
            auto made =
                std::make_unique<Folder>(u"Folder %1"_s.arg(step), u"folder"_s, QColor(Qt::blue),
                                         random() % 3 == 0 ? nullptr : folder);
            made->setSortOrder(int(random() % 20));
            m_store->insert(std::move(made));
        } else if (kind == 3) {
            what = "folder removed with its sub-folders";
            for (const Folder *gone : folder->allDescendants()) {
                open.remove(gone->id());
                current = gone == current ? nullptr : current;
            }
            open.remove(folder->id());
            current = folder == current ? nullptr : current;
            m_store->remove(folder);
        } else if (kind == 4) {
            what = "folder moved";
            folder->setParent(random() % 3 == 0 ? nullptr : any(m_store->folders()));
        } else if (kind == 5) {
            what = "folder reordered, renamed, recoloured and given another symbol";
            folder->setSortOrder(int(random() % 20));
            folder->setName(folder->name() + u'.');
            folder->setColorHex(random() % 2 == 0 ? u"#FF0000"_s : u"#00FF00"_s);
            folder->setIconName(random() % 2 == 0 ? u"star"_s : u"folder"_s);
        } else if (kind == 6 || tag == nullptr) {
            what = "new tag";
            auto made = std::make_unique<Tag>(u"tag %1"_s.arg(step), QColor(Qt::red));
            made->setSortOrder(int(random() % 20));
            m_store->insert(std::move(made));
        } else if (kind == 7) {
            what = "tag removed";
            m_filterTags.removeAll(tag);
            m_store->remove(tag);
        } else if (kind == 8) {
            what = "tag reordered, renamed and recoloured";
            tag->setSortOrder(int(random() % 20));
            tag->setName(tag->name() + u'.');
            tag->setColorHex(random() % 2 == 0 ? u"#0000FF"_s : u"#FFFF00"_s);
        } else if (kind == 9) {
            what = "item filed, tagged";
            Item *item = m_store->insert(std::make_unique<Item>(ItemType::WebLink, u"item"_s));
            item->moveToFolder(folder);
            item->addTag(tag);
        } else if (kind == 10) {
            what = "selection and filter tags";
            m_selection.folder = random() % 2 == 0 ? folder : nullptr;
            if (m_filterTags.contains(tag))
                m_filterTags.removeAll(tag);
            else
                m_filterTags.append(tag);
        } else {
            what = "folder opened or closed, and made the current row";
            const QModelIndex row = model.indexOfId(SidebarModel::RowKind::Folder, folder->id());
            tree->setCurrentIndex(row);
            current = folder;
            const bool opening = !tree->isExpanded(row);
            tree->setExpanded(row, opening);
            if (opening)
                open.insert(folder->id());
            else
                open.remove(folder->id());
        }
        if (m_selection.folder != nullptr &&
            std::find(m_store->folders().cbegin(), m_store->folders().cend(), m_selection.folder) ==
                m_store->folders().cend())
            m_selection.folder = nullptr;

        m_counts->update(0);
        sidebar.update(*m_folders, *m_tags, *m_counts, m_selection, m_filterTags);
        SidebarModel fresh;
        show(fresh);
        ASSERT_EQ(describedRows(model), describedRows(fresh)) << "step " << step << ": " << what;
        ASSERT_EQ(resets.count(), 0) << "step " << step << ": " << what;
        for (const Folder *f : m_store->folders()) {
            const QModelIndex row = model.indexOfId(SidebarModel::RowKind::Folder, f->id());
            ASSERT_EQ(tree->isExpanded(row), open.contains(f->id()))
                << f->name().toStdString() << " at step " << step << ": " << what;
        }
        for (int r = 0; r < model.rowCount(); ++r)
            ASSERT_TRUE(tree->isExpanded(model.index(r, 0))) << "section " << r;
        const QModelIndex currentRow =
            current ? model.indexOfId(SidebarModel::RowKind::Folder, current->id()) : QModelIndex();
        ASSERT_TRUE(!current || tree->currentIndex() == currentRow)
            << "step " << step << ": " << what;
    }
}

TEST_F(SidebarTest, ACollapsedSectionStaysCollapsedWhenItsRowsComeBack)
{
    ASSERT_TRUE(m_store);
    Sidebar sidebar;
    Tag *tag = m_store->insert(std::make_unique<Tag>(u"read"_s, QColor(Qt::red)));
    const auto update = [&] {
        m_counts->update(0);
        sidebar.update(*m_folders, *m_tags, *m_counts, m_selection, m_filterTags);
    };
    update();
    const auto tagSection = [&] { return sidebar.model().index(2, 0); };
    ASSERT_EQ(tagSection().data().toString(), u"Tags"_s);
    sidebar.tree()->setExpanded(tagSection(), false);

    m_store->remove(tag); // the section goes with the last tag
    update();
    ASSERT_EQ(sidebar.model().rowCount(), 2);
    m_store->insert(std::make_unique<Tag>(u"later"_s, QColor(Qt::red)));
    update();
    EXPECT_FALSE(sidebar.tree()->isExpanded(tagSection()));
    EXPECT_TRUE(sidebar.tree()->isExpanded(sidebar.model().index(1, 0)));
}

// Thousands of levels, as an imported bookmark file may nest them.
TEST_F(SidebarTest, AVeryDeepTreeIsShownAndChanged)
{
    ASSERT_TRUE(m_store);
    Folder *parent = nullptr;
    Folder *middle = nullptr;
    for (int depth = 0; depth < 8000; ++depth) {
        parent = m_store->insert(
            std::make_unique<Folder>(u"level"_s, u"folder"_s, QColor(Qt::blue), parent));
        if (depth == 4000)
            middle = parent;
    }
    SidebarModel model;
    show(model);
    middle->setName(u"renamed"_s);
    show(model);
    EXPECT_EQ(model.indexOfId(SidebarModel::RowKind::Folder, middle->id()).data().toString(),
              u"renamed"_s);
    const QUuid deepest = parent->id();
    m_store->remove(middle);
    show(model);
    EXPECT_FALSE(model.indexOfId(SidebarModel::RowKind::Folder, deepest).isValid());
}

} // namespace
