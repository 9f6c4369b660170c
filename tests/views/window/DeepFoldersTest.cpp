#include "DeepTrees.h"
#include "ViewsTestbed.h"
#include "WindowTestbed.h"

#include <model/FolderNesting.h>
#include <views/dialogs/BookmarkFlow.h>
#include <views/dialogs/ImportFlow.h>
#include <views/window/Sidebar.h>

#include <QTreeView>

using namespace quillory;
using namespace Qt::StringLiterals;
using quillory::test::DeepTrees;

namespace {

// A file nesting its folders a hundred thousand levels deep, imported from the window as a
// person imports it, shown in the sidebar, and the window closed again: nothing on the way
// may walk the tree by recursion.
class DeepFoldersTest : public ::testing::Test, protected quillory::test::WindowTestbed
{
protected:
    static constexpr int depth = 100'000;

    DeepFoldersTest()
    {
        m_window->resize(1000, 700);
        m_window->show();
    }

    // The summary says what was cut, and the sidebar shows as many levels of folder rows as the
    // cut leaves, and below the folder on the level above the cut, its own child and all those
    // moved up; then the window closes.
    void expectCutInTheSidebarAndClose()
    {
        EXPECT_FALSE(m_state.showErrorAlert());
        EXPECT_TRUE(m_summary.endsWith(
            u"folders lay deeper than 64 levels and were moved up to level 64."_s))
            << m_summary.toStdString();
        m_window->refreshNow();
        const SidebarModel &model = m_window->sidebar().model();
        const QModelIndex folders = model.index(1, 0);
        ASSERT_EQ(folders.data().toString(), u"Folders"_s);
        int levels = 1;
        for (QModelIndex row = model.index(0, 0, folders); model.rowCount(row) > 0;
             row = model.index(0, 0, row))
            ++levels;
        EXPECT_EQ(levels, FolderNesting::maxDepth);
        const QModelIndex anchor =
            model.indexOfId(SidebarModel::RowKind::Folder, folderNamed(u"Level 62"_s)->id());
        ASSERT_TRUE(anchor.isValid());
        EXPECT_EQ(model.rowCount(anchor), depth - FolderNesting::maxDepth + 1);
        // Opened all the way down, as a person may open it.
        QTreeView *tree = m_window->sidebar().tree();
        for (QModelIndex row = anchor; row.isValid(); row = row.parent())
            tree->setExpanded(row, true);
        tree->scrollTo(model.index(model.rowCount(anchor) - 1, 0, anchor));
        QCoreApplication::processEvents();
        m_window->close();
        m_window.reset();
    }

    Folder *folderNamed(const QString &name) const
    {
        for (Folder *f : m_store->folders()) {
            if (f->name() == name)
                return f;
        }
        ADD_FAILURE() << name.toStdString();
        return nullptr;
    }

    QString m_summary;
};

} // namespace

TEST_F(DeepFoldersTest, AnExportDocumentIsShownCutAndTheWindowCloses)
{
    const QString file =
        quillory::test::writeTestFile(m_dir, u"deep.json"_s, DeepTrees::exportDocument(depth));
    auto &flow = *new ImportFlow(m_state, *m_store, *m_window); // the window's, as settings' is
    flow.setSheetHook([this](QDialog &dialog) {
        m_summary = static_cast<QMessageBox &>(dialog).text();
        dialog.close();
    });
    QSignalSpy ended(&flow, &ImportFlow::ended);
    flow.importFile(file);
    ASSERT_TRUE(ended.wait(120'000));
    expectCutInTheSidebarAndClose();
}

TEST_F(DeepFoldersTest, ABookmarkFileIsShownCutAndTheWindowCloses)
{
    const QString file =
        quillory::test::writeTestFile(m_dir, u"deep.html"_s, DeepTrees::bookmarkFile(depth));
    BookmarkFlow flow(m_state, *m_store, *m_enricher);
    flow.setSheetHook([this](QDialog &dialog) {
        auto &box = static_cast<QMessageBox &>(dialog);
        m_summary = box.text();
        test::answer(box, u"Not Now"_s);
    });
    QSignalSpy ended(&flow, &BookmarkFlow::importEnded);
    flow.importFile(*m_window, file);
    ASSERT_TRUE(ended.wait(120'000));
    expectCutInTheSidebarAndClose();
}
