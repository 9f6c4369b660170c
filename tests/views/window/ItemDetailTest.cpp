#include "ViewsTestbed.h"
#include "WindowTestbed.h"

#include <views/dialogs/ItemEditorSheet.h>
#include <views/widgets/DisplayText.h>
#include <views/widgets/TagChipView.h>
#include <views/window/DetailColumn.h>
#include <views/window/ItemDetailView.h>
#include <views/window/LinkOpener.h>

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QToolBar>

using namespace quillory;
using namespace Qt::StringLiterals;

namespace {

// The window's detail column, shown for the item the window chooses.
class ItemDetailTest : public ::testing::Test, protected quillory::test::WindowTestbed
{
protected:
    ItemDetailTest()
    {
        m_window->links().setOpener([](const QUrl &) { return false; });
        m_window->setSheetHook([this](QDialog &sheet) {
            ++m_sheets;
            sheet.reject();
        });
        m_view = &m_window->detail().detail();
    }

    void show(Item *item) { m_window->selectItem(item); }
    Item *add(const char *title, const char *url = "https://www.example.com/a")
    {
        return m_store->insert(std::make_unique<Item>(
            ItemType::WebLink, QString::fromUtf8(title),
            url ? std::optional<QUrl>(QUrl(QString::fromUtf8(url))) : std::nullopt));
    }
    QStringList toolbarTexts()
    {
        m_view->refresh();
        QStringList texts;
        for (QAction *a : m_view->toolbar()->actions()) {
            if (a->isVisible())
                texts << a->iconText();
        }
        return texts;
    }

    int m_sheets = 0;
    ItemDetailView *m_view = nullptr;
};

} // namespace

TEST_F(ItemDetailTest, NoteSaveAndCancel)
{
    Item *item = add("note me");
    const QDateTime before = item->modifiedAt();
    show(item);
    EXPECT_TRUE(item->accessedAt()) << "showing an item is viewing it";
    EXPECT_EQ(m_view->noteText(), u"Click to add a note..."_s);

    m_view->startEditingNote();
    ASSERT_TRUE(m_view->isEditingNote());
    m_view->noteEditor()->setPlainText(u"  spaced  "_s);
    m_view->cancelNote();
    EXPECT_FALSE(item->note()) << "cancel leaves the item alone";
    EXPECT_EQ(item->modifiedAt(), before) << "neither viewing nor cancelling modifies";

    m_view->startEditingNote();
    m_view->noteEditor()->setPlainText(u"  spaced  "_s);
    m_view->saveNote();
    m_view->refresh();
    EXPECT_EQ(item->note(), u"  spaced  "_s) << "saved as typed";
    EXPECT_GT(item->modifiedAt(), before);
    EXPECT_EQ(m_view->noteText(), u"  spaced  "_s);

    m_view->startEditingNote();
    EXPECT_EQ(m_view->noteEditor()->toPlainText(), u"  spaced  "_s);
    m_view->noteEditor()->clear();
    m_view->saveNote();
    m_view->refresh();
    EXPECT_FALSE(item->note()) << "an empty note is no note";
    EXPECT_EQ(m_view->noteText(), u"Click to add a note..."_s);

    m_view->startEditingNote();
    show(add("another"));
    EXPECT_FALSE(m_view->isEditingNote()) << "switching items leaves the note";
}

TEST_F(ItemDetailTest, TagChipsFollowTheItemAndKeepTheOthers)
{
    Item *item = add("tagged");
    Tag *a = m_store->insert(std::make_unique<Tag>(u"alpha"_s, QColor()));
    Tag *b = m_store->insert(std::make_unique<Tag>(u"beta"_s, QColor()));
    item->addTag(a);
    item->addTag(b);
    show(item);
    m_window->show();
    const auto chipOf = [this](const Tag &tag) -> TagChipView * {
        for (TagChipView *chip : m_view->findChildren<TagChipView *>()) {
            if (!chip->isHidden() && chip->tagId() == tag.id())
                return chip;
        }
        return nullptr;
    };
    const QPointer<TagChipView> alpha = chipOf(*a);
    ASSERT_FALSE(alpha.isNull());
    auto *alphaRemove = alpha->findChild<QWidget *>(u"removeTag"_s);
    alphaRemove->setFocus();

    m_store->insert(std::make_unique<Tag>(u"unrelated"_s, QColor()));
    // The chips keep the item's order of its tags, not the alphabet's.
    Tag *c = m_store->insert(std::make_unique<Tag>(u"aardvark"_s, QColor()));
    item->addTag(c);
    m_view->refresh();
    EXPECT_EQ(m_view->chipNames(), (QStringList{u"alpha"_s, u"beta"_s, u"aardvark"_s}));
    b->setName(u"bravo"_s);
    m_view->refresh();
    EXPECT_EQ(m_view->chipNames(), (QStringList{u"alpha"_s, u"bravo"_s, u"aardvark"_s}));
    const QPointer<TagChipView> bravo = chipOf(*b);
    m_store->remove(b);
    m_view->refresh();
    EXPECT_EQ(m_view->chipNames(), (QStringList{u"alpha"_s, u"aardvark"_s}));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(bravo.isNull());
    EXPECT_EQ(chipOf(*a), alpha.data());
    EXPECT_EQ(m_view->focusWidget(), alphaRemove);

    // A chip's own remove button takes its tag off, and only its chip goes.
    QTest::mouseClick(chipOf(*c)->findChild<QWidget *>(u"removeTag"_s), Qt::LeftButton);
    EXPECT_EQ(item->tags(), QList<Tag *>{a});
    m_view->refresh();
    EXPECT_EQ(m_view->chipNames(), QStringList{u"alpha"_s});
    EXPECT_EQ(chipOf(*a), alpha.data());
}

TEST_F(ItemDetailTest, FolderPickerFollowsTheFoldersAndKeepsItsRows)
{
    Folder *work = m_store->insert(std::make_unique<Folder>(u"Work"_s, u"folder"_s, QColor()));
    Item *item = add("filed");
    item->moveToFolder(work);
    show(item);
    QComboBox *picker = m_view->folderPicker();
    QAbstractItemModelTester tester(picker->model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    const QPersistentModelIndex workRow = picker->model()->index(1, 0);
    const auto texts = [picker] {
        QStringList shown;
        for (int i = 0; i < picker->count(); ++i)
            shown << picker->itemText(i);
        return shown;
    };

    Folder *home = m_store->insert(std::make_unique<Folder>(u"Home"_s, u"house"_s, QColor()));
    home->setSortOrder(1);
    Folder *sub = m_store->insert(std::make_unique<Folder>(u"Sub"_s, u"folder"_s, QColor(), work));
    m_view->refresh();
    EXPECT_EQ(texts(), (QStringList{u"Inbox"_s, u"Work"_s, u"Home"_s}));
    EXPECT_EQ(picker->currentIndex(), 1);
    work->setName(u"Job"_s);
    EXPECT_EQ(texts(), (QStringList{u"Inbox"_s, u"Job"_s, u"Home"_s}));
    ASSERT_TRUE(workRow.isValid()) << "rows not touched by a change stay where they were";
    EXPECT_EQ(workRow.data(Qt::UserRole).toUuid(), work->id());

    ASSERT_TRUE(sub->setParent(nullptr));
    home->setSortOrder(-1);
    EXPECT_EQ(texts(), (QStringList{u"Inbox"_s, u"Home"_s, u"Job"_s, u"Sub"_s}));
    ASSERT_TRUE(home->setParent(work));
    EXPECT_EQ(texts(), (QStringList{u"Inbox"_s, u"Job"_s, u"Sub"_s}));
    m_store->remove(sub);
    m_view->refresh();
    EXPECT_EQ(texts(), (QStringList{u"Inbox"_s, u"Job"_s}));
    EXPECT_EQ(picker->currentText(), u"Job"_s);
    emit picker->activated(0);
    EXPECT_EQ(item->folder(), nullptr);

    item->moveToFolder(
        m_store->insert(std::make_unique<Folder>(u"Nested"_s, u"folder"_s, QColor(), work)));
    m_view->refresh();
    EXPECT_EQ(picker->currentIndex(), -1) << "a sub-folder is not among the choices";
    emit picker->activated(1);
    EXPECT_EQ(item->folder(), work);
}

TEST_F(ItemDetailTest, ToolbarFollowsTheItemAndLeavesNoActionsBehind)
{
    Item *web = add("web");
    show(web);
    EXPECT_EQ(toolbarTexts(),
              (QStringList{u"Add Tag"_s, u"Open"_s, u"Copy"_s, u"Favorite"_s, u"Archive"_s}));
    web->toggleFavorite();
    web->setThumbnailData(QByteArray("not an image"));
    // Unfavorite and Open File are pressed in ItemActionsTest.
    EXPECT_TRUE(toolbarTexts().contains(u"View Full Size"_s));
    Item *bare = add("bare", nullptr);
    show(bare);
    EXPECT_FALSE(toolbarTexts().contains(u"Copy"_s));

    m_view->openTagPicker();
    EXPECT_EQ(m_sheets, 1);

    // Refreshes let go of the toolbar's old actions, even one whose work refreshes the view.
    show(web);
    const auto actionsNow = [this] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return m_view->toolbar()->findChildren<QAction *>().size();
    };
    const auto shown = actionsNow();
    for (int i = 0; i < 20; ++i)
        m_view->refresh();
    EXPECT_EQ(actionsNow(), shown);
    QAction *unfavorite = nullptr;
    for (QAction *a : m_view->toolbar()->actions())
        unfavorite = a->iconText() == u"Unfavorite"_s ? a : unfavorite;
    ASSERT_NE(unfavorite, nullptr);
    QObject::connect(unfavorite, &QAction::triggered, m_view, [this] { m_view->refresh(); });
    unfavorite->trigger();
    EXPECT_FALSE(web->isFavorite());
    EXPECT_EQ(actionsNow(), shown);
}

TEST_F(ItemDetailTest, UserTextIsShownAsPlainTextAndBounded)
{
    const QString title = u"Home & Garden <b>not bold</b>"_s;
    const QString note = u"<b>bold?</b><br>next line &amp; more"_s;
    Item *item = add("");
    item->setTitle(title);
    item->setNote(note);
    show(item);
    auto *titleLabel = m_view->findChild<QLabel *>(u"detailTitle"_s);
    auto *noteLabel = m_view->findChild<QLabel *>(u"noteBody"_s);
    auto *star = m_view->findChild<QLabel *>(u"favoriteStar"_s);
    ASSERT_TRUE(titleLabel && noteLabel && star);
    for (QLabel *label : {titleLabel, noteLabel})
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
    EXPECT_EQ(titleLabel->text(), title);
    EXPECT_EQ(noteLabel->text(), note);
    EXPECT_TRUE(star->isHidden());
    item->toggleFavorite();
    m_view->refresh();
    EXPECT_FALSE(star->isHidden());
    EXPECT_EQ(titleLabel->text(), title) << "the star is not part of the title's text";

    // Megabytes written by another tool: only a bounded prefix is laid out.
    item->setTitle(QString(4'000'000, QLatin1Char('t')));
    item->setNote(QString(4'000'000, QLatin1Char('n')));
    m_view->refresh();
    EXPECT_LE(titleLabel->text().size(), DisplayText::titleLimit + 1);
    EXPECT_LE(noteLabel->text().size(), DisplayText::blockLimit + 1);
    EXPECT_TRUE(titleLabel->text().endsWith(QChar(0x2026)));
}

TEST_F(ItemDetailTest, EditorSheetSaveRules)
{
    LibraryStore *store = m_store.get();
    Item *item = store->insert(std::make_unique<Item>(ItemType::WebLink, u"Old"_s,
                                                      QUrl(u"https://old.example/x"_s), u"note"_s));
    const QDateTime before = item->modifiedAt();
    {
        ItemEditorSheet cancelled(*store, *item);
        cancelled.findChild<QLineEdit *>(u"title"_s)->setText(u"Changed"_s);
        cancelled.findChild<QPushButton *>(u"cancel"_s)->click();
        EXPECT_EQ(item->title(), u"Old"_s);
        EXPECT_EQ(item->modifiedAt(), before);
    }
    {
        ItemEditorSheet sheet(*store, *item);
        ASSERT_TRUE(sheet.showsUrl());
        auto *title = sheet.findChild<QLineEdit *>(u"title"_s);
        auto *save = sheet.findChild<QPushButton *>(u"save"_s);
        title->clear();
        EXPECT_FALSE(save->isEnabled());
        title->setText(u"  New  "_s);
        EXPECT_TRUE(save->isEnabled());
        sheet.findChild<QPlainTextEdit *>(u"note"_s)->clear();
        sheet.findChild<QLineEdit *>(u"url"_s)->clear();
        save->click();
        EXPECT_EQ(item->title(), u"  New  "_s);
        EXPECT_FALSE(item->note()) << "a cleared note is no note";
        EXPECT_EQ(item->urlString(), u"https://old.example/x"_s)
            << "a cleared URL keeps the old one";
        EXPECT_GT(item->modifiedAt(), before);
    }
    {
        ItemEditorSheet sheet(*store, *item);
        sheet.findChild<QLineEdit *>(u"url"_s)->setText(u"https://new.example/y?q=1"_s);
        sheet.findChild<QPushButton *>(u"save"_s)->click();
        EXPECT_EQ(item->urlString(), u"https://new.example/y?q=1"_s);
        EXPECT_EQ(item->sourceDomain(), u"new.example"_s);
    }
    Item *noLink = store->insert(std::make_unique<Item>(ItemType::Image, u"pic"_s));
    ItemEditorSheet sheet(*store, *noLink);
    EXPECT_FALSE(sheet.showsUrl());
    EXPECT_EQ(sheet.findChild<QLineEdit *>(u"url"_s), nullptr);
}
