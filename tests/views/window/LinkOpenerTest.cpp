#include "ViewsTestbed.h"
#include "WindowTestbed.h"

#include <inbox/InboxLayout.h>
#include <views/window/ContentColumn.h>
#include <views/window/DetailColumn.h>
#include <views/window/ItemContextMenu.h>
#include <views/window/ItemDetailView.h>
#include <views/window/ItemGridView.h>
#include <views/window/ItemListModel.h>
#include <views/window/LinkOpener.h>

#include <QToolBar>

using namespace quillory;
using namespace Qt::StringLiterals;

namespace {

// Links opened from the window as a person opens them (a double click on the card, the
// detail column's button, the item's menu). The desktop's opener is replaced, so nothing is
// launched; the questions are answered by the hook.
class LinkOpenerTest : public ::testing::Test, protected quillory::test::WindowTestbed
{
protected:
    LinkOpenerTest()
    {
        m_window->links().setOpener([this](const QUrl &url) {
            m_opened << url.toString();
            return true;
        });
        m_window->setSheetHook([this](QDialog &dialog) {
            auto *box = qobject_cast<QMessageBox *>(&dialog);
            ASSERT_NE(box, nullptr);
            m_questions << box->text();
            ASSERT_NE(box->defaultButton(), nullptr);
            EXPECT_EQ(box->defaultButton()->text(), u"Cancel"_s) << "Cancel is the default";
            EXPECT_EQ(box->escapeButton(), box->defaultButton());
            test::answer(*box, m_answer);
        });
        m_window->resize(1000, 600);
        m_window->show();
    }

    Item *add(ItemType type, const QString &url)
    {
        return m_store->insert(std::make_unique<Item>(type, u"item"_s, QUrl(url)));
    }
    QString file(const QString &path,
                 QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner)
    {
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
        f.write("%PDF-1.4\n");
        f.close();
        f.setPermissions(permissions);
        return path;
    }
    // Double-clicks the item's card: a widget given a double click gets the first click as
    // a press and release of its own.
    void doubleClick(const Item *item)
    {
        m_window->refreshNow();
        ItemGridView *view = m_window->content().view();
        const int row = m_window->content().model().rowOf(item);
        ASSERT_GE(row, 0);
        const QModelIndex index = view->model()->index(row, 0);
        view->scrollTo(index);
        const QPoint at = view->visualRect(index).center();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
    }

    QStringList m_opened;
    QStringList m_questions;
    QString m_answer = u"Cancel"_s;
};

} // namespace

TEST_F(LinkOpenerTest, WebPagesOpenAtOnceAndOtherSchemesAskNamingTheScheme)
{
    for (const QString &url :
         {u"https://example.org/a"_s, u"http://example.org/b"_s, u"HTTPS://example.org/c"_s})
        doubleClick(add(ItemType::WebLink, url));
    EXPECT_EQ(m_opened.size(), 3);
    EXPECT_TRUE(m_questions.isEmpty()) << m_questions.join(u"; "_s).toStdString();

    m_opened.clear();
    doubleClick(add(ItemType::WebLink, u"javascript:alert(1)"_s));
    doubleClick(add(ItemType::WebLink, u"ssh://attacker.example/"_s));
    doubleClick(add(ItemType::SocialPost, u"x-custom-handler:do?thing=1"_s));
    EXPECT_EQ(m_questions, (QStringList{u"Open this javascript: link?"_s, u"Open this ssh: link?"_s,
                                        u"Open this x-custom-handler: link?"_s}));
    EXPECT_TRUE(m_opened.isEmpty()) << "Cancel opens nothing";

    m_answer = u"Open"_s;
    doubleClick(add(ItemType::WebLink, u"smb://server/share"_s));
    EXPECT_EQ(m_opened, QStringList{u"smb://server/share"_s}) << "agreed, it is handed over";
}

TEST_F(LinkOpenerTest, OnlyFilesTheLibraryStoredOpenWithoutAsking)
{
    // A file the share inbox copied in, and one added from disk as the add menu adds it.
    const auto inbox = InboxLayout::ensureInbox();
    ASSERT_TRUE(inbox);
    const QString shared = file(*inbox + u"/Imported/0A1B2C3D-0000-0000-0000-000000000000_"
                                         "Paper.zip"_s);
    Item *sharedItem = add(ItemType::Document, QUrl::fromLocalFile(shared).toString());
    const QString report = file(m_dir.filePath(u"report.pdf"_s));
    Item *added = m_intake->createFileItem(QUrl::fromLocalFile(report));
    ASSERT_NE(added, nullptr);
    doubleClick(sharedItem);
    doubleClick(added);
    EXPECT_EQ(m_opened, (QStringList{QUrl::fromLocalFile(shared).toString(),
                                     QUrl::fromLocalFile(report).toString()}));
    EXPECT_TRUE(m_questions.isEmpty()) << m_questions.join(u"; "_s).toStdString();

    // What a record, an import or a copied library may name: a file behind a web link, a
    // program, a desktop entry claimed to be a document, a file on another machine.
    m_opened.clear();
    const QString script =
        file(m_dir.filePath(u"run.sh"_s), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString entry = file(m_dir.filePath(u"launch.desktop"_s));
    const QString page = file(m_dir.filePath(u"Downloads.html"_s));
    doubleClick(add(ItemType::WebLink, QUrl::fromLocalFile(report).toString()));
    doubleClick(m_intake->createFileItem(QUrl::fromLocalFile(script)));
    doubleClick(add(ItemType::Document, QUrl::fromLocalFile(entry).toString()));
    doubleClick(add(ItemType::Document, u"file://server.example/share/report.pdf"_s));
    doubleClick(add(ItemType::Document, QUrl::fromLocalFile(page).toString()));
    EXPECT_EQ(m_questions, QStringList(5, u"Open this file: link?"_s));
    EXPECT_TRUE(m_opened.isEmpty()) << m_opened.join(u"; "_s).toStdString();
}

TEST_F(LinkOpenerTest, TheDetailColumnAndTheItemMenuAskAlike)
{
    Item *item = add(ItemType::WebLink, u"ssh://attacker.example/"_s);
    m_window->selectItem(item);
    ItemDetailView &detail = m_window->detail().detail();
    detail.refresh();
    QAction *open = nullptr;
    for (QAction *action : detail.toolbar()->actions()) {
        if (action->iconText() == u"Open"_s)
            open = action;
    }
    ASSERT_NE(open, nullptr);
    open->trigger();
    EXPECT_EQ(m_questions, QStringList{u"Open this ssh: link?"_s});

    ItemContextMenu menu(m_window->itemActions(), {}, *m_store);
    for (QAction *action : menu.actions()) {
        if (action->text() == u"Open in Browser"_s)
            action->trigger();
    }
    EXPECT_EQ(m_questions.size(), 2);
    EXPECT_TRUE(m_opened.isEmpty());

    m_answer = u"Open"_s;
    open->trigger();
    EXPECT_EQ(m_opened, QStringList{u"ssh://attacker.example/"_s});
}
