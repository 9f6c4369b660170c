#include "FaultyDisk.h"
#include "ViewsTestbed.h"
#include "WindowTestbed.h"

#include <model/Clock.h>
#include <views/widgets/DisplayText.h>
#include <views/widgets/EmptyStateView.h>
#include <views/widgets/SymbolIcon.h>
#include <views/window/ContentColumn.h>
#include <views/window/ContentHeader.h>
#include <views/window/DetailColumn.h>
#include <views/window/ItemActions.h>
#include <views/window/ItemContextMenu.h>
#include <views/window/ItemGridView.h>
#include <views/window/ItemListModel.h>
#include <views/window/Sidebar.h>

#include <QAccessible>
#include <QApplication>
#include <QCompleter>
#include <QMenu>
#include <QScrollBar>
#include <QToolButton>
#include <QTreeView>

using namespace quillory;
using namespace Qt::StringLiterals;
using quillory::test::child;
using quillory::test::FaultyDisk;
using quillory::test::WindowTestbed;

namespace {

class MainWindowTest : public ::testing::Test, protected WindowTestbed
{
protected:
    Item *item(const char *title, Folder *folder = nullptr, int daysOld = 0)
    {
        auto i = std::make_unique<Item>(
            ItemType::WebLink, QString::fromUtf8(title),
            QUrl(u"https://example.com/"_s + QString::fromUtf8(title).remove(QLatin1Char(' '))),
            std::nullopt, folder);
        i->setCreatedAt(Clock::now().addDays(-daysOld).addSecs(-60));
        return m_store->insert(std::move(i));
    }
    Folder *folder(const char *name, Folder *parent = nullptr)
    {
        return m_store->insert(
            std::make_unique<Folder>(QString::fromUtf8(name), u"folder"_s, QColor(), parent));
    }
    Tag *tag(const char *name)
    {
        return m_store->insert(std::make_unique<Tag>(QString::fromUtf8(name), QColor()));
    }

    // "item 000" to "item <count - 1>" in title order, in a shown window.
    void showNumberedItems(int count)
    {
        for (int i = 0; i < count; ++i)
            item(QStringLiteral("item %1").arg(i, 3, 10, QLatin1Char('0')).toUtf8().constData());
        m_state.setSortOrder(SortOrder::TitleAscending);
        m_window->resize(1000, 600);
        m_window->show();
        m_window->refreshNow();
    }

    // The titles the list holds now; shown() refreshes first.
    QStringList titles() const
    {
        QStringList titles;
        for (const Item *i : m_window->content().model().items())
            titles << i->title();
        return titles;
    }
    QStringList shown()
    {
        m_window->refreshNow();
        return titles();
    }
    ItemGridView &view() const { return *m_window->content().view(); }
    const ItemListModel &model() const { return m_window->content().model(); }
};

} // namespace

TEST_F(MainWindowTest, EmptyLibraryShowsNoItemsThenNoResults)
{
    m_window->refreshNow();
    ContentColumn &content = m_window->content();
    EXPECT_TRUE(content.isShowingEmptyState());
    EXPECT_EQ(content.emptyState().title(), u"No Items"_s);
    EXPECT_EQ(content.emptyState().description(),
              u"Paste a URL, drop a file, or send it with Dropslip"_s);
    EXPECT_EQ(content.header().countText(), u"0 items"_s);
    EXPECT_EQ(content.title(), u"All Items"_s);
    EXPECT_TRUE(m_window->detail().isShowingEmptyState());

    m_window->sidebar().searchField()->setText(u"anything"_s);
    EXPECT_EQ(m_state.searchQuery(), u"anything"_s);
    m_window->refreshNow();
    EXPECT_EQ(content.emptyState().title(), u"No Results"_s);
    EXPECT_EQ(content.emptyState().description(), u"Try a different search term"_s);
}

TEST_F(MainWindowTest, TheSidebarIsReachedAndUsedFromTheKeyboardAndTheMouse)
{
    Folder *work = folder("Work");
    item("filed", work);
    item("loose");
    Tag *t = tag("reading");
    item("tagged")->addTag(t);
    m_window->show();
    m_window->refreshNow();
    QTreeView *tree = m_window->sidebar().tree();
    EXPECT_TRUE(tree->focusPolicy() & Qt::TabFocus);
    SidebarModel &model = m_window->sidebar().model();

    tree->setCurrentIndex(model.indexOfId(SidebarModel::RowKind::Folder, work->id()));
    QTest::keyClick(tree, Qt::Key_Return);
    EXPECT_EQ(shown(), QStringList{u"filed"_s});
    EXPECT_EQ(m_window->content().title(), u"Work"_s);
    EXPECT_FALSE(m_window->selection().smartFolder.has_value()) << "a folder replaces it";

    m_window->chooseSmartFolder(SmartFolder::AllItems);
    const auto tagRow = [&] { return model.indexOfId(SidebarModel::RowKind::Tag, t->id()); };
    EXPECT_EQ(tagRow().data(SidebarModel::CountRole).toInt(), 1);
    tree->setCurrentIndex(tagRow());
    QTest::keyClick(tree, Qt::Key_Space);
    EXPECT_EQ(m_state.filterTags(), QList<Tag *>{t});
    EXPECT_EQ(shown(), QStringList{u"tagged"_s});
    EXPECT_TRUE(tagRow().data(SidebarModel::CheckedRole).toBool());
    EXPECT_EQ(m_window->content().header().countText(), u"1 item"_s);
    tree->setCurrentIndex(tagRow());
    QTest::keyClick(tree, Qt::Key_Space);
    EXPECT_TRUE(m_state.filterTags().isEmpty()) << "each press toggles once";
    // A click on the row toggles it as well.
    emit tree->clicked(tagRow());
    EXPECT_EQ(m_state.filterTags(), QList<Tag *>{t});
    emit tree->clicked(tagRow());
    EXPECT_TRUE(m_state.filterTags().isEmpty());
    EXPECT_EQ(shown().size(), 3);

    // The arrow keys walk the rows; Return on a smart folder shows it.
    const QModelIndex library = model.index(0, 0);
    tree->setCurrentIndex(model.index(0, 0, library));
    QTest::keyClick(tree, Qt::Key_Down);
    EXPECT_EQ(tree->currentIndex(), model.index(1, 0, library));
    QTest::keyClick(tree, Qt::Key_Return);
    m_window->refreshNow();
    EXPECT_EQ(m_window->content().title(), model.index(1, 0, library).data().toString());
}

// A search that found something is offered again under the emptied field, and picking it
// searches again.
TEST_F(MainWindowTest, TheSearchFieldOffersRecentSearches)
{
    item("Garden tools");
    item("Bread recipe");
    m_window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
    auto *field = m_window->findChild<QLineEdit *>(u"searchField"_s);
    auto *count = m_window->findChild<QLabel *>(u"itemCount"_s);
    auto *recent = m_window->findChild<QCompleter *>(u"recentSearches"_s);
    ASSERT_TRUE(field != nullptr && count != nullptr && recent != nullptr);
    m_window->refreshNow();
    EXPECT_EQ(count->text(), u"2 items"_s);

    // Nothing offered yet: Down goes on to the list as before.
    QTest::mouseClick(field, Qt::LeftButton);
    QTest::keyClick(field, Qt::Key_Down);
    EXPECT_FALSE(recent->popup()->isVisible());

    field->setFocus();
    QTest::keyClicks(field, u"nothing like it"_s);
    QTest::qWait(2 * SearchService::settleMilliseconds);
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, u"garden"_s);
    ASSERT_EVENTUALLY(m_search.recentSearches() == QStringList{u"garden"_s}, 3000);
    EXPECT_EQ(count->text(), u"1 item"_s);
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Backspace);
    m_window->refreshNow();
    EXPECT_EQ(count->text(), u"2 items"_s);

    QTest::keyClick(field, Qt::Key_Down);
    QAbstractItemView *offered = recent->popup();
    ASSERT_TRUE(offered->isVisible());
    ASSERT_EQ(offered->model()->rowCount(), 1) << "a search that found nothing is not kept";
    const QModelIndex garden = offered->model()->index(0, 0);
    EXPECT_EQ(garden.data().toString(), u"garden"_s);
    QTest::mouseClick(offered->viewport(), Qt::LeftButton, {},
                      offered->visualRect(garden).center());
    EXPECT_FALSE(offered->isVisible());
    EXPECT_EQ(field->text(), u"garden"_s);
    m_window->refreshNow();
    EXPECT_EQ(count->text(), u"1 item"_s);
}

// Which items each order shows is LibraryFilterTest's; here they are chosen as a person does.
TEST_F(MainWindowTest, TheSortMenuSortsTheShownList)
{
    item("banana", nullptr, 1);
    item("Apple", nullptr, 2);
    item("cherry", nullptr, 0);
    const auto sortedBy = [this](const QString &entry) {
        for (QAction *a : child<QToolButton>(*m_window, "sortMenu")->menu()->actions()) {
            if (a->text() == entry)
                a->trigger();
        }
        return shown();
    };
    const QStringList alphabet{u"Apple"_s, u"banana"_s, u"cherry"_s};
    const QStringList backwards{u"cherry"_s, u"banana"_s, u"Apple"_s};
    EXPECT_EQ(shown(), backwards);
    EXPECT_EQ(sortedBy(u"Title A-Z"_s), alphabet);
    EXPECT_EQ(sortedBy(u"Newest First"_s), backwards);
    EXPECT_EQ(sortedBy(u"Oldest First"_s), alphabet);
    EXPECT_EQ(sortedBy(u"Title Z-A"_s), backwards);
}

// The entries run the item's actions, each reached from every place in ItemActionsTest.
TEST_F(MainWindowTest, ContextMenuEntriesFollowTheItemAndItsTagsToggle)
{
    Tag *t = tag("later");
    Item *web = item("web");
    Item *doc = m_store->insert(
        std::make_unique<Item>(ItemType::Document, u"doc"_s, QUrl(u"file:///tmp/a.pdf"_s)));
    Item *bare = m_store->insert(std::make_unique<Item>(ItemType::Image, u"bare"_s));
    const auto menuOf = [&](Item *i) {
        m_window->selectItem(i);
        return std::make_unique<ItemContextMenu>(m_window->itemActions(), std::vector<Record *>{t},
                                                 *m_store);
    };
    const auto texts = [&](Item *i) {
        QStringList names;
        const auto menu = menuOf(i);
        for (QAction *a : menu->actions())
            names << (a->isSeparator() ? u"-"_s : a->text());
        return names;
    };
    EXPECT_EQ(texts(web),
              (QStringList{u"Edit..."_s, u"-"_s, u"Tags"_s, u"Add to Favorites"_s, u"Copy Link"_s,
                           u"Open in Browser"_s, u"-"_s, u"Archive"_s, u"Delete"_s}));
    EXPECT_TRUE(texts(doc).contains(u"Show in File Manager"_s));
    EXPECT_FALSE(texts(doc).contains(u"Open in Browser"_s));
    EXPECT_FALSE(texts(bare).contains(u"Copy Link"_s));
    for (const bool tagged : {true, false}) {
        const auto menu = menuOf(web);
        QAction *later = menu->actions().at(2)->menu()->actions().value(0);
        ASSERT_TRUE(later != nullptr && later->text() == u"later"_s);
        later->trigger();
        EXPECT_EQ(web->hasTag(*t), tagged);
    }
}

TEST_F(MainWindowTest, EveryButtonHasANameAScreenReaderCanSay)
{
    Item *shown = item("shown");
    shown->setNote(u"a note"_s);
    m_window->resize(1200, 700);
    m_window->show();
    m_window->refreshNow();
    m_window->revealItem(shown->id());
    m_window->refreshNow();
    const auto expectNamed = [this](const char *when) {
        int checked = 0;
        for (QAbstractButton *button : m_window->findChildren<QAbstractButton *>()) {
            if (!button->isVisibleTo(m_window.get()))
                continue;
            QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(button);
            ASSERT_NE(accessible, nullptr);
            EXPECT_FALSE(accessible->text(QAccessible::Name).isEmpty())
                << when << ": " << button->metaObject()->className() << " "
                << qPrintable(button->objectName()) << " in "
                << qPrintable(button->parentWidget()->objectName()) << " "
                << qPrintable(button->toolTip());
            ++checked;
        }
        EXPECT_GT(checked, 5) << when;
    };
    expectNamed("an item shown");
    // The search field's clear button comes with text.
    m_window->findChild<QLineEdit *>(u"searchField"_s)->setText(u"shown"_s);
    m_window->refreshNow();
    expectNamed("while searching");
}

TEST_F(MainWindowTest, UserTextIsBoundedAndNeverReadAsMarkupOrAccelerators)
{
    Tag *rd = tag("R&D");
    Item *marked =
        m_store->insert(std::make_unique<Item>(ItemType::Image, u"<i>Home & Garden</i>"_s));
    Item *huge = item("");
    huge->setTitle(QString(2'000'000, QLatin1Char('h')));
    m_window->refreshNow();
    const ItemListModel &model = m_window->content().model();
    const QModelIndex hugeRow = model.index(model.rowOf(huge));
    EXPECT_LE(hugeRow.data(Qt::DisplayRole).toString().size(), DisplayText::lineLimit + 1);
    EXPECT_LE(hugeRow.data(Qt::ToolTipRole).toString().size(), DisplayText::lineLimit + 100);
    EXPECT_TRUE(model.index(model.rowOf(marked))
                    .data(Qt::ToolTipRole)
                    .toString()
                    .contains(u"&lt;i&gt;Home &amp; Garden"_s));
    m_window->show();
    m_window->grab(); // paints every visible card, the huge title among them

    m_window->selectItem(marked);
    ItemContextMenu menu(m_window->itemActions(), std::vector<Record *>{rd}, *m_store);
    EXPECT_EQ(menu.actions().at(2)->menu()->actions().first()->text(), u"R&&D"_s);

    QString question;
    m_window->setSheetHook([&](QDialog &dialog) {
        auto &box = static_cast<QMessageBox &>(dialog);
        EXPECT_EQ(box.textFormat(), Qt::PlainText);
        question = box.text();
        box.reject();
    });
    m_window->itemActions().confirmDelete(marked);
    EXPECT_EQ(question, u"Delete \u201C<i>Home & Garden</i>\u201D?"_s);
    m_window->itemActions().confirmDelete(huge);
    EXPECT_LE(question.size(), DisplayText::lineLimit + 20);
    EXPECT_EQ(m_store->items().size(), 2u);
}

// The disk comes first: the window's library opens on it.
struct OnAFaultyDisk
{
    FaultyDisk m_disk;
};

class ReadOnlyWindowTest : public ::testing::Test, protected OnAFaultyDisk, protected WindowTestbed
{
protected:
    ReadOnlyWindowTest()
        : WindowTestbed([this](const QString &path) {
              QString error;
              LibraryStore::open(path, &error)
                  ->insert(std::make_unique<Item>(ItemType::WebLink, u"kept"_s,
                                                  QUrl(u"https://example.com/kept"_s)));
              m_disk.setReadOnly(true);
          })
    {
    }
};

TEST_F(ReadOnlyWindowTest, SaysSoAndBrowsingWritesNothing)
{
    const auto *banner = m_window->findChild<QLabel *>(u"readOnlyBanner"_s);
    ASSERT_NE(banner, nullptr);
    EXPECT_TRUE(banner->text().contains(u"can only be read"_s));
    Item *kept = m_store->items().front();
    m_window->selectItem(kept);
    EXPECT_EQ(m_window->selectedItem(), kept);
    EXPECT_FALSE(kept->accessedAt()) << "viewing is not recorded in a library that cannot be saved";
    EXPECT_FALSE(m_store->hasUnsavedChanges());
    EXPECT_FALSE(m_intake->createItem(QUrl(u"https://example.com/new"_s)));
    EXPECT_EQ(m_store->items().size(), 1u);

    // Nothing offers a change the library would refuse; what only reads stays.
    const auto shown = [&](const char *name) {
        const auto *w = m_window->findChild<QWidget *>(QString::fromLatin1(name));
        return w != nullptr && w->isVisibleTo(m_window.get()) && w->isEnabled();
    };
    EXPECT_FALSE(shown("addMenu"));
    EXPECT_FALSE(shown("newFolderButton"));
    EXPECT_FALSE(shown("editNote"));
    EXPECT_FALSE(shown("addTag"));
    EXPECT_FALSE(shown("folderPicker"));
    EXPECT_FALSE(m_window->acceptDrops() || m_window->findChild<ContentColumn *>()->acceptDrops());
    m_window->selectItem(kept);
    ItemContextMenu menu(m_window->itemActions(), {}, *m_store);
    QStringList entries;
    for (const QAction *action : menu.actions())
        entries << action->text();
    EXPECT_FALSE(entries.contains(u"Delete"_s)) << entries.join(u", "_s).toStdString();
    EXPECT_FALSE(entries.contains(u"Add to Favorites"_s));
    EXPECT_TRUE(entries.contains(u"Copy Link"_s)) << entries.join(u", "_s).toStdString();
}

// Every icon the sidebar, the header and the settings window show must come from the icon theme.
// When the SVG icon engine is missing (the Breeze theme is all SVG) the theme still names the
// files, but each one draws as nothing: this is the check that fails then.
TEST(SymbolIcons, SidebarAndHeaderIconsDrawFromTheTheme)
{
    SymbolIcon::installThemeFallback(); // as the application does at start
    const char *symbols[] = {
        "tray", "star", "clock", "eye", "archivebox", "square.grid.2x2", "folder", "tag",
        "magnifyingglass", "plus.circle.fill", "line.3.horizontal.decrease", "arrow.up.arrow.down",
        "list.bullet", "bookmark.fill", "link", "photo", "doc",
        // the settings window
        "square.grid.2x2.fill", "lock.shield.fill", "tag.fill", "square.and.arrow.up",
        "square.and.arrow.down", "trash", "globe", "envelope", "chevron.right"};
    for (const char *symbol : symbols) {
        SCOPED_TRACE(symbol);
        const QIcon icon = SymbolIcon::icon(QString::fromLatin1(symbol));
        EXPECT_FALSE(icon.name().isEmpty()) << "not a themed icon";
        const QImage image = icon.pixmap(QSize(22, 22)).toImage();
        int opaque = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                opaque += qAlpha(image.pixel(x, y)) > 128 ? 1 : 0;
        EXPECT_GT(opaque, 10) << "draws as nothing";
    }
}

// Tints are kept, so a list repainting the same symbol on every row makes it once; each
// colour still gets its own, and the tint is the colour asked for.
TEST(SymbolIcons, TintsAreMadeOncePerSymbolColourAndSize)
{
    SymbolIcon::installThemeFallback();
    const QString symbol = u"checkmark"_s;
    ASSERT_TRUE(SymbolIcon::isMonochrome(symbol));
    const QPixmap red = SymbolIcon::tinted(symbol, QColor(Qt::red), 24);
    EXPECT_EQ(SymbolIcon::tinted(symbol, QColor(Qt::red), 24).cacheKey(), red.cacheKey());
    const QPixmap blue = SymbolIcon::tinted(symbol, QColor(Qt::blue), 24);
    EXPECT_NE(blue.cacheKey(), red.cacheKey());
    EXPECT_NE(SymbolIcon::tinted(symbol, QColor(Qt::red), 32).cacheKey(), red.cacheKey());
    const QImage image = blue.toImage();
    QList<QRgb> opaque;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y).alpha() == 255)
                opaque << image.pixelColor(x, y).rgb();
    EXPECT_FALSE(opaque.isEmpty());
    EXPECT_EQ(opaque, QList<QRgb>(opaque.size(), QColor(Qt::blue).rgb()));
}

TEST_F(MainWindowTest, PreferencesDecideTheStartingViewTheCountsAndWhetherDeletingAsks)
{
    // Asking is the default, checked from every place in ItemActionsTest.
    int asked = 0;
    m_window->setSheetHook([&asked](QDialog &dialog) {
        ++asked;
        dialog.reject();
    });
    m_window->refreshNow();
    m_window->selectItem(item("First"));
    m_state.preferences().setConfirmBeforeDelete(false);
    // The shortcut as the list view carries it (offscreen windows never hold the keyboard).
    for (QAction *action : view().actions()) {
        if (action->shortcuts().contains(QKeySequence(Qt::Key_Backspace)))
            action->trigger();
    }
    EXPECT_EQ(asked, 0);
    EXPECT_TRUE(m_store->items().empty()) << "deleted without a question";

    EXPECT_TRUE(m_window->sidebar().countsShown());
    m_state.preferences().setShowItemCounts(false);
    EXPECT_FALSE(m_window->sidebar().countsShown());

    m_state.setViewMode(ViewMode::Grid);
    m_state.preferences().setPreferredViewMode(ViewMode::List);
    EXPECT_EQ(m_state.viewMode(), ViewMode::Grid) << "the open window keeps its view";
    m_window = std::make_unique<MainWindow>(m_state, *m_store, m_search, m_revealer, *m_intake);
    EXPECT_EQ(m_state.viewMode(), ViewMode::List) << "a new window starts with the preferred one";
    EXPECT_FALSE(m_window->sidebar().countsShown());
}

TEST_F(MainWindowTest, DeletingAFolderAsksFirstAndTheShownOneFallsBackToAllItems)
{
    Folder *f = folder("F");
    folder("Child", f);
    item("in f", f);
    m_window->chooseFolder(f, true);
    EXPECT_EQ(shown().size(), 1);
    QString question;
    QString answer = u"Cancel"_s;
    m_window->setSheetHook([&](QDialog &dialog) {
        auto &box = static_cast<QMessageBox &>(dialog);
        question = box.text() + QLatin1Char('|') + box.informativeText();
        test::answer(box, answer);
    });
    m_window->deleteFolder(f);
    EXPECT_EQ(m_store->folders().size(), 2u);
    EXPECT_TRUE(question.contains(u"Its sub-folder is deleted too"_s)) << qPrintable(question);
    answer = u"Delete"_s;
    m_window->deleteFolder(f);
    EXPECT_TRUE(m_store->folders().empty());
    EXPECT_EQ(m_store->items().size(), 1u);
    EXPECT_EQ(m_window->selection().folder, nullptr);
    EXPECT_EQ(shown().size(), 1);
    EXPECT_EQ(m_window->content().title(), u"All Items"_s);
}

TEST_F(MainWindowTest, AnErrorIsShownWithItsSuggestion)
{
    QString shown;
    m_window->setSheetHook([&shown](QDialog &dialog) {
        auto &box = static_cast<QMessageBox &>(dialog);
        shown = box.text() + QLatin1Char('|') + box.informativeText();
        box.accept();
    });
    m_state.showError(AppError::storageError(u"disk full"_s));
    ASSERT_EVENTUALLY(!shown.isEmpty(), 5000);
    EXPECT_EQ(shown, u"Storage Error: disk full|Check available storage space."_s);
    EXPECT_FALSE(m_state.showErrorAlert());
}

TEST_F(MainWindowTest, TakingTheFocusChoosesNoItem)
{
    Item *one = item("one");
    Item *two = item("two");
    m_window->show();
    m_window->refreshNow();
    // What Tab into the list, or the window coming back after unlocking, sends it.
    QFocusEvent focusIn(QEvent::FocusIn, Qt::TabFocusReason);
    QApplication::sendEvent(&view(), &focusIn);
    EXPECT_EQ(m_window->selectedItem(), nullptr);
    EXPECT_FALSE(one->accessedAt());
    EXPECT_FALSE(two->accessedAt());

    QTest::keyClick(&view(), Qt::Key_Right);
    ASSERT_NE(m_window->selectedItem(), nullptr) << "moving from there chooses";
    EXPECT_TRUE(m_window->selectedItem()->accessedAt());
}

TEST_F(MainWindowTest, AnItemShownFromElsewhereIsScrolledIntoView)
{
    showNumberedItems(300);
    const auto inView = [&](const Item *shown) {
        const QRect rect = view().visualRect(model().index(model().rowOf(shown)));
        return view().viewport()->rect().contains(rect);
    };
    ASSERT_EQ(view().verticalScrollBar()->value(), 0);
    Item *far = model().itemAt(280);
    ASSERT_FALSE(inView(far));
    m_window->revealItem(far->id());
    EXPECT_EQ(m_window->selectedItem(), far);
    EXPECT_TRUE(inView(far));

    // A new item is chosen before the list holds it, and shown once it does.
    view().verticalScrollBar()->setValue(0);
    auto added = std::make_unique<Item>(ItemType::WebLink, u"item 290a"_s,
                                        QUrl(u"https://example.com/new"_s));
    Item *fresh = m_store->insert(std::move(added));
    emit m_intake->itemCreated(fresh);
    m_window->refreshNow();
    EXPECT_EQ(m_window->selectedItem(), fresh);
    ASSERT_GE(model().rowOf(fresh), 0);
    EXPECT_TRUE(inView(fresh));
    // Once there, later refreshes leave the scrolling to the user.
    view().verticalScrollBar()->setValue(0);
    m_window->refreshNow();
    EXPECT_EQ(view().verticalScrollBar()->value(), 0);
}

TEST_F(MainWindowTest, AfterTheChosenItemIsDeletedTheKeysGoOnFromItsPlace)
{
    m_state.setViewMode(ViewMode::List);
    showNumberedItems(300);
    view().setCurrentIndex(model().index(150));
    view().scrollTo(model().index(150), QAbstractItemView::PositionAtCenter);
    const int scrolled = view().verticalScrollBar()->value();
    ASSERT_GT(scrolled, 0);
    m_store->remove(m_window->selectedItem());
    m_window->refreshNow();
    EXPECT_EQ(m_window->selectedItem(), nullptr);
    EXPECT_TRUE(view().selectionModel()->selectedIndexes().isEmpty());

    QTest::keyClick(&view(), Qt::Key_Down);
    ASSERT_NE(m_window->selectedItem(), nullptr);
    const int row = model().rowOf(m_window->selectedItem());
    EXPECT_TRUE(row >= 149 && row <= 151) << row << ": a step from the deleted row, not the top";
    EXPECT_EQ(view().verticalScrollBar()->value(), scrolled);
}

TEST_F(MainWindowTest, ChangesToSingleItemsKeepTheScrollPositionAndTheSelection)
{
    showNumberedItems(300);
    Item *chosen = model().itemAt(150);
    view().setCurrentIndex(model().index(150));
    view().scrollTo(model().index(150), QAbstractItemView::PositionAtCenter);
    const int scrolled = view().verticalScrollBar()->value();
    ASSERT_GT(scrolled, 0);
    QSignalSpy resets(&model(), &QAbstractItemModel::modelReset);
    const auto expectKept = [&](const char *after) {
        m_window->refreshNow();
        EXPECT_EQ(resets.count(), 0) << after;
        EXPECT_EQ(view().verticalScrollBar()->value(), scrolled) << after;
        EXPECT_EQ(model().itemAt(view().currentIndex().row()), chosen) << after;
        EXPECT_TRUE(view().selectionModel()->isRowSelected(model().rowOf(chosen))) << after;
        EXPECT_EQ(m_window->selectedItem(), chosen) << after;
    };

    item("item 999");
    expectKept("adding");
    m_store->remove(model().itemAt(299));
    expectKept("deleting");
    model().itemAt(290)->setTitle(u"item 000a"_s); // moves far up the list, above the view
    expectKept("renaming");
    EXPECT_EQ(model().itemAt(1)->title(), u"item 000a"_s);
    model().itemAt(200)->addTag(tag("read"));
    expectKept("tagging");
    chosen->setTitle(u"item 299z"_s); // the selected item itself moves away
    m_window->refreshNow();
    EXPECT_EQ(resets.count(), 0);
    EXPECT_EQ(model().itemAt(view().currentIndex().row()), chosen);
}

TEST_F(MainWindowTest, FarDownALongListChangesKeepTheScrollPosition)
{
    // The view must not jump, not even for a moment while the list settles.
    for (int i = 0; i < 9000; ++i)
        item(QStringLiteral("item %1").arg(i, 4, 10, QLatin1Char('0')).toUtf8().constData());
    m_window->resize(1000, 600);
    m_window->show();
    QScrollBar *bar = view().verticalScrollBar();
    const auto laidOut = [bar] {
        for (int range = -1; range != bar->maximum();) {
            range = bar->maximum();
            QTest::qWait(100);
        }
    };
    for (const ViewMode mode : {ViewMode::Grid, ViewMode::List}) {
        SCOPED_TRACE(mode == ViewMode::Grid ? "cards" : "rows");
        m_state.setViewMode(mode);
        m_window->refreshNow();
        laidOut();
        const int fullRange = bar->maximum();
        view().scrollTo(model().index(8000), QAbstractItemView::PositionAtCenter);
        const int scrolled = bar->value();
        ASSERT_GT(scrolled, fullRange / 2);
        std::vector<int> values;
        const QMetaObject::Connection watching = QObject::connect(
            bar, &QScrollBar::valueChanged, [&values](int v) { values.push_back(v); });

        m_store->remove(model().itemAt(8990));
        m_window->refreshNow();
        laidOut();
        item("item new");
        m_window->refreshNow();
        laidOut();
        QObject::disconnect(watching);
        EXPECT_EQ(bar->value(), scrolled);
        EXPECT_EQ(values, std::vector<int>{});
    }
}

TEST_F(MainWindowTest, ALongSearchArrivesLaterAndOnlyTheNewestOne)
{
    m_search.setBackgroundThreshold(0); // every text search runs on the worker thread
    for (int i = 0; i < 30; ++i)
        item(QStringLiteral("garden %1").arg(i).toUtf8().constData());
    item("kitchen");
    ASSERT_EQ(shown().size(), 31);

    QSignalSpy refreshed(m_window.get(), &MainWindow::refreshed);
    QLineEdit *field = m_window->sidebar().searchField();
    field->setText(u"garden 1"_s);
    m_window->refreshNow();
    field->setText(u"garden 2"_s);
    m_window->refreshNow();
    EXPECT_EQ(titles().size(), 31) << "the last list stays until the search's arrives";
    ASSERT_TRUE(refreshed.wait(10000));
    QTest::qWait(50);
    EXPECT_EQ(refreshed.count(), 1) << "the overtaken search must not arrive";
    // Equal scores keep the list's newest-first order, and items made in the same
    // millisecond tie on that too, so only the set of titles is certain.
    QStringList expected{u"garden 2"_s, u"garden 12"_s};
    for (int i = 20; i < 30; ++i)
        expected << QStringLiteral("garden %1").arg(i);
    QStringList found = titles();
    found.sort();
    expected.sort();
    EXPECT_EQ(found, expected);
    EXPECT_EQ(m_window->content().header().countText(), u"12 items"_s);
}
