#include "MetadataTestSupport.h"
#include "PoolBlocker.h"

#include <TestHttpServer.h>
#include <metadata/MetadataService.h>

#include <QFutureWatcher>
#include <QThread>
#include <QThreadPool>
#include <gtest/gtest.h>
#include <memory>

using namespace quillory;
using namespace quillory::test;
using namespace Qt::StringLiterals;

namespace {

const QByteArray articlePage = QByteArrayLiteral(R"(<!doctype html><html><head>
<title>Element title</title>
<meta property="og:title" content="Growing Tomatoes">
<meta property="og:description" content=" A season in the greenhouse ">
<meta property="og:image" content="/images/tomato.jpg">
<meta property="og:site_name" content="Garden Weekly">
<meta name="author" content="Ada Gardener">
</head><body><p>Hello</p></body></html>)");

const QByteArray imageBytes = QByteArrayLiteral("\x89PNG\r\n\x1a\n not really an image");

using MetadataServiceTest = MetadataServerTest;

// --- Pages ------------------------------------------------------------------------------------

TEST_F(MetadataServiceTest, ReadsThePagesMetadataAfreshEachTimeWithItsOwnHeaders)
{
    Response page = Response::html(articlePage);
    page.headers.append(
        {QByteArrayLiteral("Set-Cookie"), QByteArrayLiteral("session=secret; Path=/")});
    route("/article", page);
    const MetadataOutcome o = fetchMetadata(m_service, url("/article"));
    EXPECT_FALSE(o.error);
    FetchedMetadata expected = Fields{.title = "Growing Tomatoes",
                                      .description = "A season in the greenhouse",
                                      .siteName = "Garden Weekly",
                                      .author = "Ada Gardener"}
                                   .metadata();
    expected.imageURL = url("/images/tomato.jpg").toString();
    EXPECT_EQ(o.metadata, expected);
    EXPECT_EQ(hits("/article"), 1);
    EXPECT_EQ(m_server.lastRequestHeader("User-Agent"), MetadataService::userAgent());
    EXPECT_TRUE(MetadataService::userAgent().startsWith("Quillory/"));
    EXPECT_TRUE(MetadataService::userAgent().endsWith(" (Privacy-First Reference Library)"));
    EXPECT_EQ(m_server.lastRequestHeader("Accept"),
              "text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8");
    EXPECT_EQ(m_server.lastRequestHeader("Accept-Language"), "en-US,en;q=0.9");

    // Pages read from their HTML are not cached: the preview image reads the page again, and
    // the image is asked for with the same headers and without the page's cookie.
    route("/images/tomato.jpg", Response::bytes(imageBytes, "image/jpeg"));
    EXPECT_EQ(fetchPreviewImage(m_service, url("/article")).bytes, imageBytes);
    EXPECT_EQ(hits("/article"), 2);
    EXPECT_EQ(m_server.lastRequestHeader("User-Agent"), MetadataService::userAgent());
    EXPECT_EQ(m_server.lastRequestHeader("Accept-Language"), "en-US,en;q=0.9");
    EXPECT_FALSE(m_server.lastRequestHeaders().contains("cookie"));
}

TEST_F(MetadataServiceTest, OnlySuccessStatusesCount)
{
    struct Case
    {
        int status;
        std::optional<Kind> error;
    };
    const Case cases[] = {
        {200, std::nullopt},      {203, std::nullopt},      {299, std::nullopt},
        {204, std::nullopt},      {300, Kind::FetchFailed}, {304, Kind::FetchFailed},
        {401, Kind::FetchFailed}, {404, Kind::FetchFailed}, {410, Kind::FetchFailed},
        {500, Kind::FetchFailed}, {503, Kind::FetchFailed}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.status);
        // Meta tags in an error page are not the page's metadata.
        route("/status", Response::html(c.status == 204 ? QByteArray() : articlePage, c.status));
        const MetadataOutcome o = fetchMetadata(m_service, url("/status"));
        EXPECT_EQ(errorKind(o), c.error);
        if (c.error) {
            EXPECT_EQ(errorText(o), s("Failed to fetch metadata"));
            EXPECT_EQ(o.metadata, FetchedMetadata());
        }
    }
}

TEST_F(MetadataServiceTest, TransportErrorsPassThrough)
{
    quint16 closedPort = 0;
    {
        TestHttpServer gone;
        closedPort = gone.port();
    }
    const QUrl nowhere(u"http://127.0.0.1:%1/page"_s.arg(closedPort));
    const MetadataOutcome page = fetchMetadata(m_service, nowhere);
    // Only a transport error carries the network layer's own text.
    EXPECT_EQ(errorText(page), s("Connection refused"));
    const ImageOutcome image = fetchImageNamed(m_service, nowhere);
    EXPECT_EQ(errorText(image), s("Connection refused"));
    EXPECT_FALSE(image.bytes);
}

TEST_F(MetadataServiceTest, ResolvesAgainstTheAddressAskedForNotWhereRedirectsLed)
{
    route("/old/page", Response::redirect(url("/new/page")));
    route("/new/page", Response::html(R"(<meta property="og:image" content="img.png">)"));
    const MetadataOutcome o = fetchMetadata(m_service, url("/old/page"));
    EXPECT_FALSE(o.error);
    EXPECT_EQ(o.metadata.imageURL, url("/old/img.png").toString());
    EXPECT_EQ(hits("/new/page"), 1);
}

// --- Preview images ---------------------------------------------------------------------------

TEST(MetadataService, PreviewImagePassesOnThePagesImageOrEitherStepsError)
{
    // The page at /page, when there is one, names /images/tomato.jpg or nothing usable.
    const struct
    {
        const char *name;
        const char *page;
        bool imageServed;
        const char *error;
        int imageRequests;
    } cases[] = {{"found", articlePage.constData(), true, "", 1},
                 // No image is no error.
                 {"page without image", "<title>Plain</title>", false, "", 0},
                 {"page missing", nullptr, false, "Failed to fetch metadata", 0},
                 {"image missing", articlePage.constData(), false, "Failed to fetch image", 1},
                 {"local file is not read",
                  R"(<meta property="og:image" content="file:///etc/hostname">)", false,
                  "Failed to fetch image", 0}};
    MetadataService service;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TestHttpServer server;
        if (c.page != nullptr)
            server.route(u"/page"_s, Response::html(c.page));
        if (c.imageServed)
            server.route(u"/images/tomato.jpg"_s, Response::bytes(imageBytes, "image/jpeg"));
        const ImageOutcome o = fetchPreviewImage(service, server.url(u"/page"_s));
        EXPECT_EQ(errorText(o), s(c.error));
        EXPECT_EQ(o.bytes, c.imageServed ? std::optional(imageBytes) : std::nullopt);
        EXPECT_EQ(server.hits(u"/images/tomato.jpg"_s), c.imageRequests);
    }
}

TEST_F(MetadataServiceTest, ImageBytesComeBackUnchangedInTheFormatsPagesUse)
{
    QByteArray binary(256 * 1024, '\0');
    for (qsizetype i = 0; i < binary.size(); ++i)
        binary[i] = char(i * 7);
    // Told by the bytes, not by what the server calls them.
    const QByteArray webp = QByteArrayLiteral("RIFF\x10\0\0\0WEBP") + binary;
    route("/blob", Response::bytes(webp, "application/octet-stream"));
    EXPECT_EQ(fetchImageNamed(m_service, url("/blob")).bytes, webp);
    for (const char *start : {"\xFF\xD8\xFF\xE0", "GIF87a", "GIF89a", "\x89PNG\r\n\x1A\n"}) {
        route("/web", Response::bytes(start + binary, "image/x-whatever"));
        EXPECT_TRUE(fetchImageNamed(m_service, url("/web")).bytes) << start;
    }
    // Formats no page needs are not handed to their decoders.
    const QByteArray others[] = {
        "BM" + binary,
        QByteArrayLiteral("II*\0") + binary,
        QByteArrayLiteral("MM\0*") + binary,
        "<svg xmlns=\"http://www.w3.org/2000/svg\"/>",
        QByteArrayLiteral("\0\0\1\0") + binary,
        QByteArrayLiteral("RIFF\x10\0\0\0AVI ") + binary,
        binary,
    };
    for (const QByteArray &other : others) {
        route("/other.png", Response::bytes(other, "image/png"));
        const ImageOutcome o = fetchImageNamed(m_service, url("/other.png"));
        EXPECT_EQ(errorText(o), s("Invalid data received")) << other.left(12).toHex().constData();
        EXPECT_FALSE(o.bytes);
    }

    route("/missing.png", Response::html("gone", 404));
    const ImageOutcome o = fetchImageNamed(m_service, url("/missing.png"));
    EXPECT_EQ(errorText(o), s("Failed to fetch image"));
    EXPECT_FALSE(o.bytes);
}

// --- Calls and their contexts -----------------------------------------------------------------

TEST_F(MetadataServiceTest, CallsRunSideBySide)
{
    // Each server answer waits a while, so calls made one after another could not have all
    // their requests in before the first answer.
    constexpr int pages = 4;
    constexpr int delayMs = 1000;
    QObject context;
    std::vector<std::optional<MetadataOutcome>> got(pages);
    std::vector<int> requestsSeen(pages, 0);
    for (int i = 0; i < pages; ++i) {
        const QString path = u"/page%1"_s.arg(i);
        Response r = Response::html(u"<title>Page %1</title>"_s.arg(i).toUtf8());
        r.firstByteDelayMs = delayMs;
        m_server.route(path, r);
        m_service.fetchMetadata(m_server.url(path), &context,
                                [this, &got, &requestsSeen, i](const MetadataOutcome &o) {
                                    requestsSeen[std::size_t(i)] = m_server.totalHits();
                                    got[std::size_t(i)] = o;
                                });
    }
    for (int i = 0; i < pages; ++i) {
        EXPECT_EQ(waitFor(got[std::size_t(i)]).metadata.title, u"Page %1"_s.arg(i));
        EXPECT_EQ(requestsSeen[std::size_t(i)], pages) << i;
    }
}

TEST_F(MetadataServiceTest, NoAnswerOnceTheContextIsGone)
{
    Response stalled = Response::html("<title>Never</title>");
    stalled.mode = Response::Body::Stall;
    stalled.declaredLength = 10000;
    route("/stall", stalled);

    int answers = 0;
    auto context = std::make_unique<QObject>();
    m_service.fetchMetadata(url("/stall"), context.get(),
                            [&answers](const MetadataOutcome &) { ++answers; });
    ASSERT_TRUE(QTest::qWaitFor([this] { return hits("/stall") == 1; }, 5000));
    context.reset();
    // The transfer is abandoned with its context.
    EXPECT_TRUE(serverConnectionsClose());

    // An answer already on its way is dropped too.
    context = std::make_unique<QObject>();
    m_service.fetchMetadata(QUrl(u"file:///etc/hostname"_s), context.get(),
                            [&answers](const MetadataOutcome &) { ++answers; });
    m_service.fetchPreviewImage(QUrl(u"data:text/html,hi"_s), context.get(),
                                [&answers](const ImageOutcome &) { ++answers; });
    context.reset();
    QTest::qWait(200);
    EXPECT_EQ(answers, 0);

    // So is one whose page is being parsed.
    route("/article", Response::html(articlePage));
    context = std::make_unique<QObject>();
    PoolBlocker blocker;
    m_service.fetchMetadata(url("/article"), context.get(),
                            [&answers](const MetadataOutcome &) { ++answers; });
    // The parse is handed to the pool with something to hear its result.
    ASSERT_TRUE(QTest::qWaitFor(
        [this] { return !m_service.findChildren<QFutureWatcherBase *>().isEmpty(); }, 10000));
    context.reset();
    blocker.release();
    QThreadPool::globalInstance()->waitForDone();
    QTest::qWait(100);
    EXPECT_EQ(answers, 0);
}

TEST_F(MetadataServiceTest, AnswersArriveAfterTheCallReturnsOnTheServicesThread)
{
    // Even a refusal made at once.
    std::optional<MetadataOutcome> refused;
    QObject context;
    m_service.fetchMetadata(QUrl(u"ftp://example.com/"_s), &context,
                            [&refused](const MetadataOutcome &o) { refused = o; });
    EXPECT_FALSE(refused);
    EXPECT_TRUE(waitFor(refused).error);

    // Without a context, on the service's thread.
    route("/article", Response::html(articlePage));
    std::optional<MetadataOutcome> got;
    QThread *answeredOn = nullptr;
    m_service.fetchMetadata(url("/article"), nullptr, [&](const MetadataOutcome &o) {
        got = o;
        answeredOn = QThread::currentThread();
    });
    EXPECT_EQ(waitFor(got).metadata.title, s("Growing Tomatoes"));
    EXPECT_EQ(answeredOn, m_service.thread());
}

TEST_F(MetadataServiceTest, ServiceGoneMidTransferAnswersNobody)
{
    Response stalled = Response::html("");
    stalled.mode = Response::Body::Stall;
    route("/stall", stalled);
    int answers = 0;
    QObject context;
    auto service = std::make_unique<MetadataService>();
    service->fetchMetadata(url("/stall"), &context,
                           [&answers](const MetadataOutcome &) { ++answers; });
    ASSERT_TRUE(QTest::qWaitFor([this] { return hits("/stall") == 1; }, 5000));
    service.reset();
    EXPECT_TRUE(serverConnectionsClose());
    QTest::qWait(100);
    EXPECT_EQ(answers, 0);
}

} // namespace
