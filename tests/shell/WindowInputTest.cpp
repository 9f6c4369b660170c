#include "Eventually.h"

#include <model/Item.h>
#include <model/LibraryStore.h>
#include <model/Tag.h>
#include <shell/QuilloryApp.h>
#include <state/AppState.h>
#include <views/widgets/EmptyStateView.h>
#include <views/window/DetailColumn.h>
#include <views/window/MainWindow.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <functional>
#include <gtest/gtest.h>

using namespace quillory;
using namespace Qt::StringLiterals;

namespace {

// Stands in for the system opener, so opening a link in a test launches nothing.
class OpenedLinks final : public QObject
{
    Q_OBJECT

public:
    OpenedLinks()
    {
        for (const QString &scheme : {u"http"_s, u"https"_s, u"file"_s})
            QDesktopServices::setUrlHandler(scheme, this, "open");
    }
    ~OpenedLinks() override
    {
        for (const QString &scheme : {u"http"_s, u"https"_s, u"file"_s})
            QDesktopServices::unsetUrlHandler(scheme);
    }

    QList<QUrl> urls;

public slots:
    void open(const QUrl &url) { urls.append(url); }
};

// The real application's window over a library of its own, used with the mouse and the keys.
class WindowInput : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QString error;
        m_app = QuilloryApp::create(LibraryStore::open(m_dir.filePath(u"s.store"_s), &error));
        ASSERT_TRUE(m_app) << error.toStdString();
        m_app->start();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window()));
    }

    MainWindow &window() const { return *m_app->mainWindow(); }
    LibraryStore &store() const { return m_app->store(); }

    // Newest first: the later an item is added here, the higher it is listed.
    Item *add(const QString &title)
    {
        auto item =
            std::make_unique<Item>(ItemType::WebLink, title,
                                   QUrl(u"https://example.com/"_s + QString(title).remove(u' ')));
        item->setCreatedAt(QDateTime::currentDateTimeUtc().addSecs(m_added++ - 1000));
        return store().insert(std::move(item));
    }

    QAbstractItemView &items() const
    {
        return *window().findChild<QAbstractItemView *>(u"itemView"_s);
    }
    QString label(const QString &name) const
    {
        const auto *shown = window().findChild<QLabel *>(name);
        return shown != nullptr && shown->isVisible() ? shown->text() : QString();
    }
    QString detailTitle() const { return label(u"detailTitle"_s); }
    QString countText() const { return label(u"itemCount"_s); }

    // Where the item titled `title` is drawn in the item view's viewport; empty when it is
    // not shown.
    QRect rectOf(const QString &title) const
    {
        const QAbstractItemModel &model = *items().model();
        for (int row = 0; row < model.rowCount(); ++row) {
            const QModelIndex index = model.index(row, 0);
            if (index.data().toString() == title)
                return items().visualRect(index);
        }
        return {};
    }
    bool isShown(const QString &title) const
    {
        return rectOf(title).intersects(items().viewport()->rect());
    }
    QString selectedTitle() const
    {
        const QModelIndexList selected = items().selectionModel()->selectedIndexes();
        return selected.size() == 1 ? selected.first().data().toString() : QString();
    }

    void click(const QString &title, Qt::MouseButton button = Qt::LeftButton)
    {
        const QRect at = rectOf(title);
        ASSERT_FALSE(at.isEmpty()) << title.toStdString() << " is not shown";
        QTest::mouseClick(items().viewport(), button, {}, at.center());
    }

    void chooseViewMode(const QString &mode)
    {
        auto *button = window().findChild<QAbstractButton *>(mode + u"Mode"_s);
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
    }

    // Runs `answer` on the first popup menu or modal dialog that opens from now on.
    void whenShown(std::function<void(QWidget &)> answer)
    {
        auto *poll = new QTimer(&window());
        poll->setInterval(10);
        QObject::connect(poll, &QTimer::timeout, poll, [poll, answer] {
            QWidget *shown = QApplication::activePopupWidget();
            if (shown == nullptr)
                shown = QApplication::activeModalWidget();
            if (shown == nullptr || !shown->isVisible())
                return;
            poll->stop();
            poll->deleteLater();
            answer(*shown);
        });
        poll->start();
    }

    QTemporaryDir m_dir;
    std::unique_ptr<QuilloryApp> m_app;
    int m_added = 0;
};

QAction *menuEntry(QMenu &menu, const QString &text)
{
    for (QAction *action : menu.actions()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

} // namespace

TEST_F(WindowInput, AClickShowsTheItemInTheGridAndInTheList)
{
    add(u"Alpha"_s);
    add(u"Beta"_s);
    add(u"Gamma"_s);
    ASSERT_EVENTUALLY(isShown(u"Alpha"_s), 2000);
    EXPECT_EQ(countText(), u"3 items"_s);
    EXPECT_TRUE(detailTitle().isEmpty()) << "nothing is chosen at first";

    for (const QString &mode : {u"grid"_s, u"list"_s}) {
        SCOPED_TRACE(mode.toStdString());
        chooseViewMode(mode);
        ASSERT_EVENTUALLY(isShown(u"Beta"_s), 2000);
        click(u"Beta"_s);
        EXPECT_EQ(detailTitle(), u"Beta"_s);
        EXPECT_EQ(selectedTitle(), u"Beta"_s);
        click(u"Alpha"_s);
        EXPECT_EQ(detailTitle(), u"Alpha"_s);
        EXPECT_EQ(selectedTitle(), u"Alpha"_s);
        ASSERT_NE(window().selectedItem(), nullptr);
        EXPECT_EQ(window().selectedItem()->title(), u"Alpha"_s);
    }
    // A click on the empty space below the items chooses none.
    QTest::mouseClick(items().viewport(), Qt::LeftButton, {},
                      items().viewport()->rect().bottomLeft() + QPoint(40, -10));
    EXPECT_TRUE(detailTitle().isEmpty());
    EXPECT_TRUE(window().detail().isShowingEmptyState());
    EXPECT_EQ(window().detail().emptyState().title(), u"Select an Item"_s);
}

TEST_F(WindowInput, ADoubleClickOrReturnOpensTheLink)
{
    OpenedLinks opened;
    add(u"Alpha"_s);
    add(u"Beta"_s);
    ASSERT_EVENTUALLY(isShown(u"Alpha"_s), 2000);
    // Through the window, as the platform delivers it: press, release, press, double-click.
    const QPoint alpha = items().viewport()->mapTo(&window(), rectOf(u"Alpha"_s).center());
    QTest::mouseDClick(window().windowHandle(), Qt::LeftButton, {}, alpha);
    EXPECT_EQ(opened.urls, QList<QUrl>{QUrl(u"https://example.com/Alpha"_s)});
    EXPECT_EQ(detailTitle(), u"Alpha"_s) << "the double-clicked item is the chosen one";

    click(u"Beta"_s);
    QTest::keyClick(&items(), Qt::Key_Return);
    EXPECT_EQ(opened.urls.size(), 2);
    EXPECT_EQ(opened.urls.value(1), QUrl(u"https://example.com/Beta"_s));
}

TEST_F(WindowInput, ArrowKeysChooseAndDeleteAsksBeforeDeleting)
{
    add(u"Third"_s);
    add(u"Second"_s);
    add(u"First"_s);
    chooseViewMode(u"list"_s);
    ASSERT_EVENTUALLY(isShown(u"First"_s), 2000);
    click(u"First"_s);
    QTest::keyClick(&items(), Qt::Key_Down);
    EXPECT_EQ(detailTitle(), u"Second"_s);
    QTest::keyClick(&items(), Qt::Key_Down);
    EXPECT_EQ(detailTitle(), u"Third"_s);
    QTest::keyClick(&items(), Qt::Key_Up);
    EXPECT_EQ(detailTitle(), u"Second"_s);

    // Cancelling keeps it; confirming deletes it from the library and from the list.
    whenShown([](QWidget &dialog) { QTest::keyClick(&dialog, Qt::Key_Escape); });
    QTest::keyClick(&items(), Qt::Key_Delete);
    EXPECT_EQ(store().items().size(), 3u);
    EXPECT_EQ(detailTitle(), u"Second"_s);
    // A window manager gives the window back the focus when its dialog closes; the virtual
    // screen of the tests does not.
    window().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window()));
    click(u"Second"_s);
    whenShown([](QWidget &dialog) {
        auto *box = qobject_cast<QMessageBox *>(&dialog);
        ASSERT_NE(box, nullptr);
        for (QAbstractButton *button : box->buttons()) {
            if (box->buttonRole(button) == QMessageBox::DestructiveRole)
                QTest::mouseClick(button, Qt::LeftButton);
        }
    });
    QTest::keyClick(&items(), Qt::Key_Delete);
    EXPECT_EQ(store().items().size(), 2u);
    EXPECT_EVENTUALLY(countText() == u"2 items"_s, 2000);
    EXPECT_TRUE(rectOf(u"Second"_s).isEmpty());
    EXPECT_NE(detailTitle(), u"Second"_s);
}

TEST_F(WindowInput, ARightClickOffersTheItemsActions)
{
    Item *alpha = add(u"Alpha"_s);
    add(u"Beta"_s);
    ASSERT_EVENTUALLY(isShown(u"Alpha"_s), 2000);
    QStringList offered;
    whenShown([&offered](QWidget &popup) {
        auto *menu = qobject_cast<QMenu *>(&popup);
        ASSERT_NE(menu, nullptr);
        for (QAction *action : menu->actions())
            offered << action->text();
        QAction *favorite = menuEntry(*menu, u"Add to Favorites"_s);
        ASSERT_NE(favorite, nullptr);
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(favorite).center());
    });
    // Through the window, as the platform delivers it, so the context-menu event is made.
    QWidget *viewport = items().viewport();
    QTest::mouseClick(window().windowHandle(), Qt::RightButton, {},
                      viewport->mapTo(&window(), rectOf(u"Alpha"_s).center()));
    EXPECT_EVENTUALLY(alpha->isFavorite(), 2000);
    EXPECT_TRUE(offered.contains(u"Delete"_s)) << offered.join(u", "_s).toStdString();
    EXPECT_TRUE(offered.contains(u"Copy Link"_s));
    EXPECT_EQ(detailTitle(), u"Alpha"_s) << "the item a menu acts on is the one shown";
}

TEST_F(WindowInput, TypingInTheSearchFieldNarrowsTheList)
{
    add(u"Rust compiler notes"_s);
    add(u"Bread recipe"_s);
    add(u"Rust belt history"_s);
    ASSERT_EVENTUALLY(countText() == u"3 items"_s, 2000);
    auto *search = window().findChild<QLineEdit *>(u"searchField"_s);
    ASSERT_NE(search, nullptr);
    QTest::mouseClick(search, Qt::LeftButton);
    QTest::keyClicks(search, u"rust"_s);
    EXPECT_EVENTUALLY(countText() == u"2 items"_s, 3000);
    QTest::keyClicks(search, u" comp"_s);
    EXPECT_EVENTUALLY(countText() == u"1 item"_s, 3000);
    EXPECT_TRUE(isShown(u"Rust compiler notes"_s));
    EXPECT_TRUE(rectOf(u"Bread recipe"_s).isEmpty());
    // Down from the search field goes to the list, and picks what it found.
    QTest::keyClick(search, Qt::Key_Down);
    EXPECT_EVENTUALLY(detailTitle() == u"Rust compiler notes"_s, 2000);
}

TEST_F(WindowInput, ATagDraggedFromTheSidebarOntoACardTagsThatItem)
{
    Tag *tag = store().insert(std::make_unique<Tag>(u"reading"_s, QColor(Qt::red)));
    Item *alpha = add(u"Alpha"_s);
    Item *beta = add(u"Beta"_s);
    ASSERT_EVENTUALLY(isShown(u"Alpha"_s), 2000);

    // What the sidebar's tag row gives a drag.
    auto *tree = window().findChild<QTreeView *>(u"sidebarTree"_s);
    ASSERT_NE(tree, nullptr);
    const QAbstractItemModel &sidebar = *tree->model();
    const QModelIndex tagRow = sidebar
                                   .match(sidebar.index(0, 0), Qt::DisplayRole, u"reading"_s, 1,
                                          Qt::MatchExactly | Qt::MatchRecursive | Qt::MatchWrap)
                                   .value(0);
    ASSERT_TRUE(tagRow.isValid());
    ASSERT_TRUE(sidebar.flags(tagRow) & Qt::ItemIsDragEnabled);
    std::unique_ptr<QMimeData> payload(sidebar.mimeData({tagRow}));
    ASSERT_TRUE(payload);

    // Held over the empty space there is no card to take it; over Alpha's card there is,
    // and dropped there it goes to that card's item.
    QWidget *viewport = items().viewport();
    const QPoint nowhere = viewport->rect().bottomRight() - QPoint(10, 10);
    const QPoint onAlpha = rectOf(u"Alpha"_s).center();
    QDragEnterEvent enter(nowhere, Qt::CopyAction, payload.get(), Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &enter);
    QDragMoveEvent away(nowhere, Qt::CopyAction, payload.get(), Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &away);
    EXPECT_FALSE(away.isAccepted());
    QDragMoveEvent move(onAlpha, Qt::CopyAction, payload.get(), Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &move);
    EXPECT_TRUE(move.isAccepted());
    QDropEvent drop(onAlpha, Qt::CopyAction, payload.get(), Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_TRUE(alpha->tags().contains(tag));
    EXPECT_FALSE(beta->tags().contains(tag));
    EXPECT_FALSE(store().hasUnsavedChanges()) << "a tag given by hand is saved at once";
    EXPECT_EQ(store().items().size(), 2u) << "a tag is not a link to add";
}

#include "WindowInputTest.moc"
