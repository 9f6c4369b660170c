// Keeping the page an enrichment fetches: what is kept, what each fetch's answer says about
// the link, and pages that try to make either unbounded.
#include <intake/ItemEnricher.h>
#include <metadata/MetadataService.h>
#include <model/Clock.h>
#include <model/Item.h>
#include <model/LibraryStore.h>
#include <pages/KeptPages.h>

#include <TestHttpServer.h>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <zlib.h>

using namespace Qt::StringLiterals;
using quillory::test::TestHttpServer;

namespace quillory {
namespace {

const QByteArray article = R"(<!doctype html><html><head><title>Tides of the Firth</title>
<meta name="description" content="How the firth fills and empties">
<meta name="author" content="Morag Innes"></head><body>
<nav><a href="/">Home</a> <a href="/about">About the harbour board</a></nav>
<article><h1>Tides of the Firth</h1>
<p>Twice a day the firth fills through the narrows, and the eelgrass beds along the north shore
lie under three fathoms of water before the ebb draws it out again towards the open sea.</p>
<p>The harbour master keeps a ledger of every spring tide since eighteen ninety, and the
ledger shows the highest water arriving a little earlier with each decade that passes.</p>
</article><footer>Copyright the harbour board</footer></body></html>)";

// A body that inflates to `inflated` bytes of spaces from a few hundred kilobytes on the wire.
QByteArray deflateBomb(qint64 inflated)
{
    z_stream z{};
    deflateInit(&z, Z_BEST_COMPRESSION);
    const QByteArray chunk(1 << 20, ' ');
    QByteArray out;
    QByteArray buffer(1 << 16, Qt::Uninitialized);
    for (qint64 left = inflated; left > 0; left -= chunk.size()) {
        z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(chunk.constData()));
        z.avail_in = uInt(std::min<qint64>(left, chunk.size()));
        const int flush = left <= chunk.size() ? Z_FINISH : Z_NO_FLUSH;
        do {
            z.next_out = reinterpret_cast<Bytef *>(buffer.data());
            z.avail_out = uInt(buffer.size());
            deflate(&z, flush);
            out.append(buffer.constData(), buffer.size() - qsizetype(z.avail_out));
        } while (z.avail_out == 0);
    }
    deflateEnd(&z);
    return out;
}

class PageKeepingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        QString error;
        m_store = LibraryStore::open(m_dir.filePath(u"library.store"_s), &error);
        ASSERT_TRUE(m_store) << error.toStdString();
        m_pages = std::make_unique<KeptPages>(m_store->filePath());
        m_enricher = std::make_unique<ItemEnricher>(*m_store, m_metadata);
        m_enricher->setKeptPages(m_pages.get(), true);
        QObject::connect(m_enricher.get(), &ItemEnricher::finished,
                         [this](const QUuid &id) { m_enriched.insert(id); });
    }

    void TearDown() override { Clock::setSource({}); }

    // Adds a web item for `path`, enriches it and waits until the copies have it all.
    Item *addAndEnrich(const QString &path)
    {
        const QUrl url = path.startsWith(u"http") ? QUrl(path) : m_server.url(path);
        Item *item = m_store->insert(std::make_unique<Item>(ItemType::WebLink, path, url));
        m_enricher->enrich(item->id(), url);
        const QUuid id = item->id();
        EXPECT_TRUE(QTest::qWaitFor([&] { return m_enriched.contains(id); }, 20000));
        m_pages->waitForIdle();
        QCoreApplication::processEvents();
        return item;
    }

    template <typename Result, typename Ask> Result answer(Ask ask)
    {
        std::optional<Result> got;
        ask([&](Result r) { got = std::move(r); });
        EXPECT_TRUE(QTest::qWaitFor([&] { return got.has_value(); }, 10000));
        return got.value_or(Result());
    }
    std::optional<KeptReading> reading(const QUuid &id)
    {
        return answer<std::optional<KeptReading>>(
            [&](auto done) { m_pages->read(id, &m_context, done); });
    }
    LinkHealth::State health(const QUuid &id)
    {
        return answer<LinkHealth>([&](auto done) { m_pages->health(id, &m_context, done); })
            .state();
    }
    std::vector<PageMatch> search(const QString &text)
    {
        return answer<std::vector<PageMatch>>(
            [&](auto done) { m_pages->search(text, 10, &m_context, done); });
    }

    QTemporaryDir m_dir;
    TestHttpServer m_server;
    // Short waits: the hostile pages end on them.
    MetadataService m_metadata{{2000, 4000, 5 * 1024 * 1024, 10 * 1024 * 1024, 10}};
    std::unique_ptr<LibraryStore> m_store;
    std::unique_ptr<KeptPages> m_pages;
    std::unique_ptr<ItemEnricher> m_enricher;
    QSet<QUuid> m_enriched;
    QObject m_context;
};

TEST_F(PageKeepingTest, TheFetchedPageIsKeptReadableAndFoundWithoutTheNetwork)
{
    m_server.route(u"/start"_s, TestHttpServer::Response::redirect(m_server.url(u"/tides"_s)));
    m_server.route(u"/tides"_s, TestHttpServer::Response::html(article));
    QSignalSpy kept(m_pages.get(), &KeptPages::kept);
    Item *item = addAndEnrich(u"/start"_s);
    ASSERT_EQ(kept.size(), 1);
    // One fetch serves the details and the copy.
    EXPECT_EQ(m_server.hits(u"/tides"_s), 1);
    EXPECT_EQ(item->metadata()->author, u"Morag Innes"_s);

    const QUuid id = item->id();
    m_server.route(u"/tides"_s, TestHttpServer::Response::html("gone", 404));
    const std::optional<KeptReading> copy = reading(id);
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->finalUrl, m_server.url(u"/tides"_s).toString());
    EXPECT_EQ(copy->httpStatus, 200);
    const QString text = copy->text.plainText();
    EXPECT_TRUE(text.contains(u"eelgrass beds"_s)) << text.toStdString();
    EXPECT_FALSE(text.contains(u"About the harbour board"_s)) << text.toStdString();
    EXPECT_EQ(health(id), LinkHealth::State::Alive);

    const std::vector<PageMatch> found = search(u"ledger decade"_s);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found.front().itemId, id);
    EXPECT_TRUE(found.front().snippet.contains(u"ledger"_s, Qt::CaseInsensitive));

    // The copy goes with its item's removal, and only then.
    m_pages->remove({id});
    m_pages->waitForIdle();
    EXPECT_FALSE(reading(id));
    EXPECT_TRUE(search(u"ledger"_s).empty());
}

TEST_F(PageKeepingTest, EveryFetchNotesItsAnswerAndOnlyPagesReadAreKept)
{
    m_server.route(u"/missing"_s, TestHttpServer::Response::html("<p>not here</p>", 404));
    Item *missing = addAndEnrich(u"/missing"_s);
    Item *nowhere = addAndEnrich(u"http://no-such-host.invalid/page"_s);
    EXPECT_FALSE(reading(missing->id()));
    EXPECT_EQ(health(missing->id()), LinkHealth::State::NotReachableNow);
    EXPECT_EQ(health(nowhere->id()), LinkHealth::State::NotReachableNow);

    // A day later the page is still gone: now it is broken.
    const QDateTime later = QDateTime::currentDateTimeUtc().addDays(1).addSecs(60);
    Clock::setSource([later] { return later; });
    m_enriched.clear();
    m_enricher->enrich(missing->id(), m_server.url(u"/missing"_s));
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_enriched.contains(missing->id()); }, 10000));
    m_pages->waitForIdle();
    EXPECT_EQ(health(missing->id()), LinkHealth::State::Broken);

    // With keeping turned off the answer is still noted, the page not kept.
    m_enricher->setKeptPages(m_pages.get(), false);
    m_server.route(u"/tides"_s, TestHttpServer::Response::html(article));
    Item *unkept = addAndEnrich(u"/tides"_s);
    EXPECT_FALSE(reading(unkept->id()));
    EXPECT_EQ(health(unkept->id()), LinkHealth::State::Alive);
}

TEST_F(PageKeepingTest, HostilePagesAreKeptWithinTheirBounds)
{
    // 256 MiB of spaces behind a quarter of a megabyte of deflate. The network layer gives
    // up on it as a bomb, and then only the time-out ends the transfer.
    TestHttpServer::Response bomb = TestHttpServer::Response::html(deflateBomb(qint64(1) << 28));
    bomb.headers.append(std::pair(QByteArray("Content-Encoding"), QByteArray("deflate")));
    m_server.route(u"/bomb"_s, bomb);
    // A page that never ends, and binary bytes that call themselves HTML.
    TestHttpServer::Response endless = TestHttpServer::Response::html(article.first(400));
    endless.mode = TestHttpServer::Response::Body::Endless;
    endless.endlessChunk = QByteArray(64 * 1024, 'w') + ' ';
    m_server.route(u"/endless"_s, endless);
    QByteArray binary(300 * 1024, Qt::Uninitialized);
    for (qsizetype i = 0; i < binary.size(); ++i)
        binary[i] = char((i * 7919) % 251);
    m_server.route(u"/binary"_s, TestHttpServer::Response::html(binary));

    for (const QString &path : {u"/bomb"_s, u"/endless"_s, u"/binary"_s}) {
        SCOPED_TRACE(path.toStdString());
        Item *item = addAndEnrich(path);
        const std::optional<KeptReading> copy = reading(item->id());
        if (!copy)
            continue; // a page with nothing to keep may be left out
        EXPECT_LE(copy->text.plainText().size(), PageStore::maxTextBytes);
        if (path == u"/binary") {
            EXPECT_EQ(copy->text.outcome, ReadableText::Outcome::NotText);
        }
    }
    // A legacy character set that only the server's header names: the kept text is read in
    // it, so its words are found as typed.
    const QString russian = u"Приливы заливают отмель дважды в сутки"_s;
    QByteArray cp1251;
    for (const QChar c : russian)
        cp1251 += c.unicode() < 0x80 ? char(c.unicode()) : char(c.unicode() - 0x0410 + 0xC0);
    m_server.route(u"/legacy"_s, TestHttpServer::Response::bytes(
                                     "<html><body><p>" + cp1251 + "</p></body></html>",
                                     "text/html; charset=windows-1251"));
    const QUuid legacy = addAndEnrich(u"/legacy"_s)->id();
    const std::vector<PageMatch> found = search(u"отмель"_s);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found.front().itemId, legacy);
    const std::optional<KeptReading> legacyCopy = reading(legacy);
    ASSERT_TRUE(legacyCopy);
    EXPECT_TRUE(legacyCopy->text.plainText().contains(russian));

    // Each fetch ended, and the store answers sizes within the page limit.
    const std::optional<qint64> size =
        answer<std::optional<qint64>>([&](auto done) { m_pages->totalSize(&m_context, done); });
    ASSERT_TRUE(size);
    EXPECT_LT(*size, 3 * PageStore::maxPageBytes);
}

} // namespace
} // namespace quillory
