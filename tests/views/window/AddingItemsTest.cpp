#include "TestHttpServer.h"
#include "TestPictures.h"
#include "ViewsTestbed.h"
#include "WindowTestbed.h"

#include <model/Clock.h>
#include <views/dialogs/AddURLSheet.h>
#include <views/widgets/TagDragItem.h>
#include <views/window/ContentColumn.h>
#include <views/window/ContentHeader.h>
#include <views/window/ItemListModel.h>

#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>
#include <QNetworkProxyFactory>
#include <QSet>
#include <QThreadPool>

using namespace quillory;
using namespace Qt::StringLiterals;
using quillory::test::TestHttpServer;
using quillory::test::WindowTestbed;
using quillory::test::writeTestFile;

namespace {

// Enrichment asks about every address added, real sites included; a proxy that refuses
// every connection keeps those requests from ever leaving the machine, while the test's
// own server on 127.0.0.1 is reached directly.
class LocalOnlyProxies final : public QNetworkProxyFactory
{
public:
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery &query) override
    {
        if (query.peerHostName() == u"127.0.0.1"_s)
            return {QNetworkProxy::NoProxy};
        return {QNetworkProxy(QNetworkProxy::HttpProxy, u"127.0.0.1"_s, 9)};
    }
};

QByteArray picture(int width, int height, const char *format)
{
    return quillory::test::TestPictures::encoded(
        quillory::test::TestPictures::twoTone(width, height), format);
}

class AddingItemsTest : public ::testing::Test, protected WindowTestbed
{
protected:
    AddingItemsTest()
    {
        QNetworkProxyFactory::setApplicationProxyFactory(new LocalOnlyProxies);
        Clock::setSource([] { return QDateTime(QDate(2026, 3, 5), QTime(15, 41), Qt::UTC); });
        QObject::connect(m_enricher.get(), &ItemEnricher::finished,
                         [this](const QUuid &id) { m_enriched.insert(id); });
        // Titles of screenshots are written the same way on every machine.
        QLocale::setDefault(QLocale::c());
    }
    ~AddingItemsTest() override
    {
        Clock::setSource({});
        QNetworkProxyFactory::setApplicationProxyFactory(nullptr);
    }

    QAction *addMenuAction(const QString &text)
    {
        for (QAction *a : m_window->content().header().addMenu()->actions()) {
            if (a->text() == text)
                return a;
        }
        ADD_FAILURE() << "no add-menu entry " << text.toStdString();
        return nullptr;
    }

    // Waits until the enrichment of the item `id` has done all it will do.
    bool waitForEnrichment(const QUuid &id)
    {
        return QTest::qWaitFor([&] { return m_enriched.contains(id); }, 10000);
    }
    bool waitForImages(Item *item)
    {
        return QTest::qWaitFor([&] { return item->hasThumbnailData(); }, 10000);
    }

    int itemCount() const { return int(m_store->items().size()); }
    // Drags `data` over the content column and lets go; true when the column took it.
    bool drop(QMimeData &data)
    {
        ContentColumn &column = m_window->content();
        const QPoint at = column.rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&column, &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&column, &dropped);
        return dropped.isAccepted();
    }

    TestHttpServer m_server;
    QSet<QUuid> m_enriched;
};

TEST_F(AddingItemsTest, AddingAPageAlreadyKeptSaysSoAndLeadsToTheItemThatHadIt)
{
    m_window->show();
    const QUrl address = m_server.url(u"/kept"_s);
    Item *kept = m_intake->createItem(address);
    ASSERT_NE(kept, nullptr);
    kept->setTitle(u"Kept long ago"_s);
    kept->toggleArchive();
    auto &notice = *m_window->findChild<QWidget *>(u"duplicateNotice"_s);
    EXPECT_FALSE(notice.isVisible());

    // The user looks at a folder and a search that the kept item is not in.
    Folder *folder =
        m_store->insert(std::make_unique<Folder>(u"Elsewhere"_s, u"folder"_s, QColor()));
    m_window->chooseFolder(folder, true);
    m_state.setSearchQuery(u"nothing like it"_s);
    QUrl tracked = address;
    tracked.setQuery(u"utm_source=newsletter"_s);
    Item *again = m_intake->createItem(tracked);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(m_store->items().size(), 2u) << "added all the same";
    ASSERT_TRUE(notice.isVisible());
    EXPECT_TRUE(
        notice.findChild<QLabel *>(u"duplicateMessage"_s)->text().contains(u"Kept long ago"_s));

    QTest::mouseClick(notice.findChild<QPushButton *>(u"showExistingItem"_s), Qt::LeftButton);
    EXPECT_FALSE(notice.isVisible());
    EXPECT_EQ(m_window->selectedItem(), kept);
    EXPECT_EQ(m_window->selection().folder, nullptr);
    EXPECT_EQ(m_window->selection().smartFolder, SmartFolder(SmartFolder::Archived));
    EXPECT_TRUE(m_state.searchQuery().isEmpty());

    // A paste of many links is added without a look-up for each.
    auto data = std::make_unique<QMimeData>();
    data->setUrls({address, m_server.url(u"/other"_s)});
    ASSERT_TRUE(m_intake->addFrom(*data));
    EXPECT_EQ(m_store->items().size(), 4u);
    EXPECT_FALSE(notice.isVisible());
    // A new page says nothing.
    m_intake->createItem(m_server.url(u"/new"_s));
    EXPECT_FALSE(notice.isVisible());
}

TEST_F(AddingItemsTest, TypedAddressIsAddedSelectedAndEnrichedFromThePage)
{
    m_server.route(u"/articles/slow-web"_s, TestHttpServer::Response::html(R"(<html><head>
        <meta property="og:title" content="The Slow Web &mdash; Don't Panic">
        <meta name="description" content="  Why pages should be light. ">
        <meta name="author" content="Ada Lovelace">
        <meta property="og:image" content="/images/cover.png">
        </head><body>Hello</body></html>)"));
    m_server.route(u"/images/cover.png"_s,
                   TestHttpServer::Response::bytes(picture(1200, 800, "png"), "image/png"));

    const QUrl url = m_server.url(u"/articles/slow-web"_s);
    m_window->setSheetHook([&url](QDialog &dialog) {
        auto *sheet = qobject_cast<AddURLSheet *>(&dialog);
        ASSERT_NE(sheet, nullptr);
        sheet->show(); // Return reaches only a visible default button
        auto *field = sheet->findChild<QLineEdit *>(u"url"_s);
        // Only an address with a scheme is taken; Return with another neither adds nor closes.
        for (const QString &refused : {u"example.com"_s, u"https://exa mple.com"_s}) {
            field->setText(refused);
            EXPECT_FALSE(sheet->addButton()->isEnabled());
            QTest::keyClick(field, Qt::Key_Return);
            EXPECT_TRUE(sheet->isVisible());
        }
        field->setText(u"mailto:someone@example.com"_s);
        EXPECT_TRUE(sheet->addButton()->isEnabled()) << "any scheme will do";
        field->clear();
        QTest::keyClicks(field, url.toString());
        QTest::keyClick(field, Qt::Key_Return);
        EXPECT_EQ(sheet->result(), QDialog::Accepted);
    });
    addMenuAction(u"Add URL..."_s)->trigger();

    ASSERT_EQ(itemCount(), 1);
    Item *item = m_store->items().front();
    EXPECT_EQ(m_window->selectedItem(), item);
    EXPECT_FALSE(item->accessedAt()) << "shown, but not yet viewed";
    EXPECT_EQ(item->title(), u"127.0.0.1"_s);
    EXPECT_EQ(item->type(), ItemType::WebLink);
    EXPECT_EQ(item->url(), url);

    ASSERT_TRUE(waitForEnrichment(item->id()));
    EXPECT_EQ(item->title(), u"The Slow Web \u2014 Don't Panic"_s);
    const auto metadata = item->metadata();
    ASSERT_TRUE(metadata);
    EXPECT_EQ(metadata->description, u"Why pages should be light."_s);
    EXPECT_EQ(metadata->author, u"Ada Lovelace"_s);
    EXPECT_FALSE(metadata->publishDate);
    ASSERT_TRUE(item->thumbnailData());
    EXPECT_EQ(QImage::fromData(*item->thumbnailData()).size(), QSize(400, 267));
    EXPECT_FALSE(item->hasImageData());
    m_window->refreshNow();
    EXPECT_EQ(m_window->content().model().items().front(), item);
}

TEST_F(AddingItemsTest, WhatAHostilePageSaysAboutItselfIsBoundedBeforeItIsStored)
{
    // A megabyte title; meta tags are read up to 8 KiB, so those carry a little less.
    const QByteArray huge(1 << 20, 'T');
    const QByteArray long8k(8000, 'D');
    m_server.route(u"/huge"_s,
                   TestHttpServer::Response::html(
                       "<title>" + huge + "</title><meta name=\"description\" content=\"" + long8k +
                       "\"><meta name=\"author\" content=\"" + long8k + "\">"));
    Item *item = m_intake->createItem(m_server.url(u"/huge"_s));
    ASSERT_TRUE(waitForEnrichment(item->id()));
    EXPECT_EQ(item->title().size(), ItemEnricher::titleLimit + 1);
    EXPECT_TRUE(item->title().endsWith(QChar(0x2026)));
    const auto metadata = item->metadata();
    ASSERT_TRUE(metadata && metadata->description && metadata->author);
    EXPECT_EQ(metadata->description->size(), ItemEnricher::descriptionLimit + 1);
    EXPECT_EQ(metadata->author->size(), ItemEnricher::authorLimit + 1);
}

TEST_F(AddingItemsTest, FailedFetchesLeaveTheItemAsCreated)
{
    m_server.route(u"/missing"_s, TestHttpServer::Response::html(
                                      "<meta property=\"og:title\" content=\"Gone\">", 404));
    testing::internal::CaptureStdout();
    Item *missing = m_intake->createItem(m_server.url(u"/missing"_s));
    // An address without a host is titled "Untitled" and still asked about.
    Item *mail = m_intake->createItem(QUrl(u"mailto:someone@example.com"_s));
    const bool finished = waitForEnrichment(missing->id()) && waitForEnrichment(mail->id());
    const std::string printed = testing::internal::GetCapturedStdout();
    ASSERT_TRUE(finished);

    EXPECT_EQ(missing->title(), u"127.0.0.1"_s);
    EXPECT_FALSE(missing->metadataJSON());
    EXPECT_EQ(mail->title(), u"Untitled"_s);
    EXPECT_FALSE(mail->sourceDomain());
    EXPECT_NE(printed.find("Failed to fetch metadata: Failed to fetch metadata\n"),
              std::string::npos);
    EXPECT_EQ(m_window->selectedItem(), mail);
}

TEST_F(AddingItemsTest, AnItemDeletedWhileItsPreviewLoadsStaysDeleted)
{
    m_server.route(u"/page"_s,
                   TestHttpServer::Response::html(
                       "<title>Late</title><meta property=\"og:image\" content=\"/i.png\">"));
    TestHttpServer::Response image =
        TestHttpServer::Response::bytes(picture(600, 600, "png"), "image/png");
    image.firstByteDelayMs = 200;
    m_server.route(u"/i.png"_s, image);
    Item *item = m_intake->createItem(m_server.url(u"/page"_s));
    const QUuid id = item->id();
    // Deleted after the page's details were written and while the picture is on its way.
    bool titled = false;
    QObject::connect(&m_server, &TestHttpServer::requestReceived, [&](const QString &path) {
        if (path != u"/i.png"_s || m_store->item(id) == nullptr)
            return;
        titled = m_store->item(id)->title() == u"Late"_s;
        m_store->remove(m_store->item(id));
    });
    ASSERT_TRUE(waitForEnrichment(id));
    EXPECT_TRUE(titled);
    EXPECT_EQ(m_server.hits(u"/i.png"_s), 1);
    EXPECT_EQ(m_store->item(id), nullptr);
    EXPECT_EQ(itemCount(), 0);
    EXPECT_EQ(m_window->selectedItem(), nullptr);
}

TEST_F(AddingItemsTest, ScreenshotTitlesFollowTheLocalesClock)
{
    const QDateTime when(QDate(2026, 3, 5), QTime(15, 41), Qt::LocalTime);
    EXPECT_EQ(ItemIntake::screenshotTitle(when, QLocale::c()), u"Screenshot Mar 5, 15:41"_s);
    EXPECT_EQ(ItemIntake::screenshotTitle(when, QLocale(QLocale::English, QLocale::UnitedStates)),
              u"Screenshot Mar 5, 3:41 PM"_s);
    EXPECT_EQ(ItemIntake::screenshotTitle(when, QLocale(QLocale::German, QLocale::Germany)),
              u"Screenshot M\u00e4rz 5, 15:41"_s);
}

TEST_F(AddingItemsTest, PastingAnAddressOrAPicture)
{
    // The add menu's first entry reads the system clipboard.
    QGuiApplication::clipboard()->setText(u"https://www.youtube.com/watch?v=abc\n"_s);
    addMenuAction(u"Paste from Clipboard"_s)->trigger();
    QGuiApplication::clipboard()->clear();
    ASSERT_EQ(itemCount(), 1);
    Item *video = m_window->selectedItem();
    EXPECT_EQ(video->type(), ItemType::Video);
    EXPECT_EQ(video->title(), u"www.youtube.com"_s);

    const QByteArray png = picture(800, 600, "png");
    QMimeData shot;
    shot.setData(u"image/png"_s, png);
    m_intake->addFrom(shot);
    ASSERT_EQ(itemCount(), 2);
    Item *screenshot = m_window->selectedItem();
    EXPECT_EQ(screenshot->type(), ItemType::Screenshot);
    EXPECT_EQ(screenshot->title(), u"Screenshot Mar 5, 15:41"_s);
    EXPECT_FALSE(screenshot->urlString());
    ASSERT_TRUE(waitForImages(screenshot));
    EXPECT_EQ(screenshot->imageData(), png);
    EXPECT_EQ(QImage::fromData(*screenshot->thumbnailData()).size(), QSize(400, 300));

    QMimeData tiff;
    tiff.setData(u"image/tiff"_s, picture(64, 48, "tiff"));
    m_intake->addFrom(tiff);
    ASSERT_EQ(itemCount(), 3);
    EXPECT_TRUE(waitForImages(m_window->selectedItem()));
}

TEST_F(AddingItemsTest, FilePanelsAddPicturesAndDocuments)
{
    QStringList entries;
    for (QAction *a : m_window->content().header().addMenu()->actions())
        entries << (a->isSeparator() ? u"-"_s : a->text());
    EXPECT_EQ(entries.mid(0, 6),
              (QStringList{u"Paste from Clipboard"_s, u"Add URL..."_s, u"Add Image from File..."_s,
                           u"Add Document from File..."_s, u"-"_s, u"New Folder"_s}));
    const QByteArray jpeg = picture(1600, 1200, "jpeg");
    const QString photo = writeTestFile(m_dir, u"holiday.jpg"_s, jpeg);
    const QString pdf = writeTestFile(m_dir, u"Annual Report.2025.pdf"_s, "%PDF-1.4\n");
    QString answer;
    QString filter;
    QString folder;
    m_window->setSheetHook([&](QDialog &dialog) {
        auto *panel = qobject_cast<QFileDialog *>(&dialog);
        ASSERT_NE(panel, nullptr);
        filter = panel->nameFilters().join(QLatin1Char(';'));
        folder = panel->directory().absolutePath();
        if (answer.isEmpty()) {
            panel->reject();
            return;
        }
        panel->selectFile(answer);
        dialog.accept(); // QFileDialog's own accept(), which reads the chosen file
    });

    // The test's home has no Documents folder: the panel opens in the home folder, not in a
    // folder that is not there (whose name it would offer as a file name).
    ASSERT_FALSE(QDir::home().exists(u"Documents"_s));
    addMenuAction(u"Add Image from File..."_s)->trigger();
    EXPECT_EQ(folder, QDir::homePath());
    EXPECT_EQ(itemCount(), 0); // cancelled
    EXPECT_TRUE(filter.contains(u"*.jpg"_s));
    EXPECT_FALSE(filter.contains(u"*.pdf"_s));

    answer = photo;
    addMenuAction(u"Add Image from File..."_s)->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return itemCount() == 1; }, 10000));
    Item *picked = m_window->selectedItem();
    ASSERT_NE(picked, nullptr);
    // Whatever the file's name, a picture chosen here is a screenshot titled by the time.
    EXPECT_EQ(picked->type(), ItemType::Screenshot);
    EXPECT_EQ(picked->title(), u"Screenshot Mar 5, 15:41"_s);
    ASSERT_TRUE(waitForImages(picked));
    EXPECT_EQ(picked->imageData(), jpeg);

    answer = pdf;
    addMenuAction(u"Add Document from File..."_s)->trigger();
    EXPECT_TRUE(filter.startsWith(u"Documents (*.pdf *.txt"_s));
    ASSERT_EQ(itemCount(), 2);
    Item *document = m_window->selectedItem();
    EXPECT_EQ(document->type(), ItemType::Document);
    EXPECT_EQ(document->title(), u"Annual Report.2025"_s);
    EXPECT_EQ(document->url(), QUrl::fromLocalFile(pdf));
    EXPECT_FALSE(document->hasImageData());
}

TEST_F(AddingItemsTest, DroppedFilesBecomeDocumentAndImageItems)
{
    const QByteArray jpeg = picture(1200, 900, "jpeg");
    const QString pdf = writeTestFile(m_dir, u"paper.pdf"_s, "%PDF-1.4\n");
    const QString photo = writeTestFile(m_dir, u"cat.jpeg"_s, jpeg);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(pdf), QUrl::fromLocalFile(photo)});
    ASSERT_TRUE(drop(data));
    ASSERT_EQ(itemCount(), 2);

    Item *document = m_store->item(m_store->items().front()->id());
    for (Item *i : m_store->items()) {
        if (i->type() == ItemType::Document)
            document = i;
    }
    EXPECT_EQ(document->title(), u"paper"_s);
    EXPECT_FALSE(document->hasImageData());

    Item *image = m_window->selectedItem(); // the last one created
    EXPECT_EQ(image->type(), ItemType::Image);
    EXPECT_EQ(image->title(), u"cat"_s);
    EXPECT_EQ(image->url(), QUrl::fromLocalFile(photo));
    ASSERT_TRUE(waitForImages(image));
    EXPECT_EQ(image->imageData(), jpeg);
    EXPECT_EQ(QImage::fromData(*image->thumbnailData()).size(), QSize(400, 300));
}

TEST_F(AddingItemsTest, DroppedLinksTextAndPictures)
{
    QMimeData links;
    links.setUrls({QUrl(u"https://github.com/qt/qtbase"_s), QUrl(u"https://vimeo.com/123"_s)});
    ASSERT_TRUE(drop(links));
    ASSERT_EQ(itemCount(), 2);
    EXPECT_EQ(m_window->selectedItem()->title(), u"vimeo.com"_s);
    EXPECT_EQ(m_window->selectedItem()->type(), ItemType::Video);

    QMimeData text;
    text.setText(u"  https://example.org/a\n"_s);
    ASSERT_TRUE(drop(text));
    EXPECT_EQ(itemCount(), 3);
    QMimeData words;
    words.setText(u"no address here"_s);
    EXPECT_TRUE(drop(words)); // taken, but nothing to make of it
    EXPECT_EQ(itemCount(), 3);

    QMimeData image;
    QImage pixels(320, 200, QImage::Format_RGB32);
    pixels.fill(Qt::darkGreen);
    image.setImageData(pixels);
    ASSERT_TRUE(drop(image));
    // Encoded to PNG off the interface thread first.
    ASSERT_TRUE(QTest::qWaitFor([&] { return itemCount() == 4; }, 10000));
    Item *screenshot = m_window->selectedItem();
    EXPECT_EQ(screenshot->type(), ItemType::Screenshot);
    ASSERT_TRUE(waitForImages(screenshot));
    EXPECT_EQ(QImage::fromData(*screenshot->imageData()).size(), QSize(320, 200));

    // A tag being dragged is not something to add.
    QMimeData tag;
    tag.setData(TagDragItem::mimeType, R"({"tagId":"x"})");
    EXPECT_FALSE(drop(tag));
    EXPECT_EQ(itemCount(), 4);
}

TEST_F(AddingItemsTest, AnItemDeletedWhileItsPictureDecodesStaysDeleted)
{
    Item *shot = m_intake->createImageItem(picture(3000, 2000, "png"));
    const QUuid id = shot->id();
    bool stored = false;
    QObject::connect(m_intake.get(), &ItemIntake::imagesStored, [&stored] { stored = true; });
    m_store->remove(shot);
    QThreadPool::globalInstance()->waitForDone();
    QTest::qWait(50);
    EXPECT_EQ(m_store->item(id), nullptr);
    EXPECT_FALSE(stored);
}

} // namespace
