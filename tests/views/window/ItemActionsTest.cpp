#include "ViewsTestbed.h"
#include "WindowTestbed.h"

#include <state/AppState.h>
#include <views/window/DetailColumn.h>
#include <views/window/ItemDetailView.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTimer>
#include <QToolBar>
#include <functional>

using namespace quillory;
using namespace Qt::StringLiterals;

namespace {

// The item actions reached the way a person reaches them: a right-click and a click on the
// menu entry, a click on the detail toolbar or the link, a key in the item list. Each place
// must change the library the same way.
class ItemActionsTest : public ::testing::Test, protected quillory::test::WindowTestbed
{
protected:
    void SetUp() override
    {
        m_window->links().setOpener([this](const QUrl &url) {
            m_opened << url.toString(QUrl::FullyEncoded);
            return true;
        });
        m_window->setSheetHook([this](QDialog &dialog) {
            ++m_asked;
            ASSERT_TRUE(m_answer) << "no question was expected: "
                                  << dialog.windowTitle().toStdString();
            m_answer(dialog);
        });
        m_window->show();
        m_window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
    }

    Item *add(const QString &title, const QUrl &url)
    {
        Item *item = m_store->insert(std::make_unique<Item>(
            url.isLocalFile() ? ItemType::Document : ItemType::WebLink, title, url));
        m_window->refreshNow();
        return item;
    }

    QAbstractItemView &view() const
    {
        return *m_window->findChild<QAbstractItemView *>(u"itemView"_s);
    }
    ItemDetailView &detail() const { return m_window->detail().detail(); }

    QRect rectOf(const Item &item) const
    {
        const QAbstractItemModel &model = *view().model();
        for (int row = 0; row < model.rowCount(); ++row) {
            const QModelIndex index = model.index(row, 0);
            if (index.data().toString() == item.title())
                return view().visualRect(index);
        }
        return {};
    }

    // A click on the item chooses it and puts the keyboard in the list.
    void choose(const Item &item)
    {
        // A window manager gives the window back the focus when a menu closes; the virtual
        // screen of the tests does not.
        m_window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
        m_window->refreshNow();
        const QRect at = rectOf(item);
        ASSERT_FALSE(at.isEmpty()) << item.title().toStdString() << " is not listed";
        QTest::mouseClick(view().viewport(), Qt::LeftButton, {}, at.center());
        ASSERT_EQ(m_window->selectedItem(), &item);
        detail().refresh();
    }

    void fromMenu(const Item &item, const QString &entry)
    {
        bool clicked = false;
        auto *poll = new QTimer(m_window.get());
        poll->setInterval(10);
        QObject::connect(poll, &QTimer::timeout, poll, [poll, entry, &clicked] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            if (menu == nullptr || !menu->isVisible())
                return;
            poll->stop();
            poll->deleteLater();
            for (QAction *action : menu->actions()) {
                if (action->text() == entry && action->isVisible()) {
                    QTest::mouseClick(menu, Qt::LeftButton, {},
                                      menu->actionGeometry(action).center());
                    clicked = true;
                    return;
                }
            }
            menu->close();
        });
        poll->start();
        m_window->refreshNow();
        const QRect at = rectOf(item);
        ASSERT_FALSE(at.isEmpty()) << item.title().toStdString() << " is not listed";
        // Through the window, as the platform delivers it, so the context-menu event is made.
        QTest::mouseClick(m_window->windowHandle(), Qt::RightButton, {},
                          view().viewport()->mapTo(m_window.get(), at.center()));
        ASSERT_TRUE(clicked) << "no menu entry " << entry.toStdString();
    }

    void fromToolbar(const Item &item, const QString &button)
    {
        choose(item);
        QToolBar &bar = *detail().toolbar();
        for (QAction *action : bar.actions()) {
            if (action->iconText() == button && action->isVisible()) {
                QTest::mouseClick(bar.widgetForAction(action), Qt::LeftButton);
                return;
            }
        }
        FAIL() << "no toolbar button " << button.toStdString();
    }

    void fromLink(const Item &item)
    {
        choose(item);
        auto *link = detail().findChild<QPushButton *>(u"linkRow"_s);
        ASSERT_TRUE(link != nullptr && link->isVisible());
        QTest::mouseClick(link, Qt::LeftButton);
    }

    void fromKey(const Item &item, const QKeyCombination &key)
    {
        choose(item);
        ASSERT_TRUE(view().hasFocus());
        QTest::keyClick(&view(), key.key(), key.keyboardModifiers());
    }

    // Clicks the dialog's button labelled `text`; an edit sheet gets `title` first.
    void answerWith(const QString &text, const QString &title = {})
    {
        m_answer = [text, title](QDialog &dialog) {
            if (auto *field = dialog.findChild<QLineEdit *>(u"title"_s))
                field->setText(title);
            test::answer(dialog, text);
        };
    }

    QStringList m_opened;
    std::function<void(QDialog &)> m_answer;
    int m_asked = 0;
};

using Place = std::function<void(const Item &)>;
struct Way
{
    const char *place;
    Place reach;
};

} // namespace

TEST_F(ItemActionsTest, EveryPlaceRunsTheSameActionOnTheLibrary)
{
    const QString pdf = test::writeTestFile(m_dir, u"paper.pdf"_s, "%PDF-1.4\n");
    Item *web = add(u"Web"_s, QUrl(u"https://example.com/a?b=c d"_s));
    Item *file = add(u"Paper"_s, QUrl::fromLocalFile(pdf));
    const QString webLink = u"https://example.com/a?b=c%20d"_s;

    const auto menu = [this](const QString &entry) {
        return [this, entry](const Item &i) { fromMenu(i, entry); };
    };
    const auto toolbar = [this](const QString &button) {
        return [this, button](const Item &i) { fromToolbar(i, button); };
    };
    const auto key = [this](QKeyCombination k) {
        return [this, k](const Item &i) { fromKey(i, k); };
    };
    const Place link = [this](const Item &i) { fromLink(i); };

    for (const Way &way :
         {Way{"menu", menu(u"Open in Browser"_s)}, Way{"toolbar", toolbar(u"Open"_s)},
          Way{"link", link}, Way{"key", key(Qt::Key_Return)}}) {
        SCOPED_TRACE(way.place);
        m_opened.clear();
        way.reach(*web);
        EXPECT_EQ(m_opened, QStringList{webLink});
    }
    // The kept file opens from the toolbar and the keys; the menu and the link show it instead.
    for (const Way &way :
         {Way{"toolbar", toolbar(u"Open File"_s)}, Way{"key", key(Qt::Key_Enter)}}) {
        SCOPED_TRACE(way.place);
        m_opened.clear();
        way.reach(*file);
        EXPECT_EQ(m_opened, QStringList{QUrl::fromLocalFile(pdf).toString()});
    }
    m_opened.clear();
    for (const Way &way : {Way{"menu", menu(u"Show in File Manager"_s)}, Way{"link", link}}) {
        SCOPED_TRACE(way.place);
        const qsizetype before = m_revealer.requests().size();
        way.reach(*file);
        EXPECT_EQ(m_revealer.requests().size(), before + 1);
        EXPECT_EQ(m_revealer.requests().value(before), pdf);
    }
    EXPECT_TRUE(m_opened.isEmpty()) << "showing a file opens nothing";

    for (const Way &way : {Way{"menu", menu(u"Copy Link"_s)}, Way{"toolbar", toolbar(u"Copy"_s)}}) {
        SCOPED_TRACE(way.place);
        QGuiApplication::clipboard()->setText(u"before"_s);
        way.reach(*web);
        EXPECT_EQ(QGuiApplication::clipboard()->text(), webLink);
    }

    for (const auto &[on, off] :
         {std::pair<Place, Place>{menu(u"Add to Favorites"_s), menu(u"Remove from Favorites"_s)},
          std::pair<Place, Place>{toolbar(u"Favorite"_s), toolbar(u"Unfavorite"_s)}}) {
        on(*web);
        EXPECT_TRUE(web->isFavorite());
        off(*web);
        EXPECT_FALSE(web->isFavorite());
    }
    for (const Way &way :
         {Way{"menu", menu(u"Archive"_s)}, Way{"toolbar", toolbar(u"Archive"_s)}}) {
        SCOPED_TRACE(way.place);
        way.reach(*web);
        EXPECT_TRUE(web->isArchived());
        web->toggleArchive(); // back into the list the next place chooses from
    }
    // Unarchiving is the same action, seen from the archive.
    web->toggleArchive();
    m_window->chooseSmartFolder(SmartFolder::Archived);
    fromToolbar(*web, u"Unarchive"_s);
    EXPECT_FALSE(web->isArchived());
    web->toggleArchive();
    fromMenu(*web, u"Unarchive"_s);
    EXPECT_FALSE(web->isArchived());
    m_window->chooseSmartFolder(SmartFolder::AllItems);

    int renamed = 0;
    for (const Way &way :
         {Way{"menu", menu(u"Edit..."_s)}, Way{"key", key(Qt::CTRL | Qt::Key_E)}}) {
        SCOPED_TRACE(way.place);
        const QString title = u"Renamed %1"_s.arg(++renamed);
        answerWith(u"Save"_s, title);
        way.reach(*web);
        EXPECT_EVENTUALLY(web->title() == title, 2000);
        EXPECT_EQ(m_state.editingItem(), nullptr);
        m_answer = {};
    }

    for (const Way &way : {Way{"menu", menu(u"Delete"_s)}, Way{"delete key", key(Qt::Key_Delete)},
                           Way{"backspace", key(Qt::Key_Backspace)}}) {
        SCOPED_TRACE(way.place);
        const QUuid id = add(u"Doomed"_s, QUrl(u"https://example.com/doomed"_s))->id();
        answerWith(u"Cancel"_s);
        const int asked = m_asked;
        way.reach(*m_store->item(id));
        EXPECT_EQ(m_asked, asked + 1);
        ASSERT_NE(m_store->item(id), nullptr) << "a cancelled question deletes nothing";
        answerWith(u"Delete"_s);
        way.reach(*m_store->item(id));
        EXPECT_EQ(m_store->item(id), nullptr);
        EXPECT_EQ(m_window->selectedItem(), nullptr);
        EXPECT_TRUE(m_window->detail().isShowingEmptyState());
        m_answer = {};
    }
    EXPECT_EQ(m_store->items().size(), 2u);
}

// While the note is being typed, the item keys belong to the note: Delete deletes a letter,
// Return starts a new line.
TEST_F(ItemActionsTest, KeysInTheNoteStayInTheNote)
{
    Item *web = add(u"Web"_s, QUrl(u"https://example.com/"_s));
    choose(*web);
    detail().startEditingNote();
    QPlainTextEdit *note = detail().noteEditor();
    ASSERT_TRUE(note->hasFocus());
    QTest::keyClicks(note, u"ab"_s);
    QTest::keyClick(note, Qt::Key_Left);
    QTest::keyClick(note, Qt::Key_Delete);
    QTest::keyClick(note, Qt::Key_Return);
    QTest::keyClick(note, Qt::Key_E, Qt::ControlModifier);
    EXPECT_EQ(note->toPlainText(), u"a\n"_s);
    EXPECT_NE(m_store->item(web->id()), nullptr);
    EXPECT_TRUE(m_opened.isEmpty());
    EXPECT_EQ(m_state.editingItem(), nullptr);
}
