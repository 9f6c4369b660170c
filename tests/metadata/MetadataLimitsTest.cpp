#include "MetadataTestSupport.h"

#include <TestHttpServer.h>
#include <metadata/HttpDownload.h>
#include <metadata/MetadataService.h>

#include <QElapsedTimer>
#include <gtest/gtest.h>

using namespace quillory;
using namespace quillory::test;
using namespace Qt::StringLiterals;

namespace {

constexpr qint64 imageLimit = 10 * 1024 * 1024;

const QByteArray pageHead = QByteArrayLiteral(R"(<html><head>
<meta property="og:title" content="Caf&eacute; at the top">
<meta name="description" content="Found before the cap">
</head><body>)");

using MetadataLimitsTest = MetadataServerTest;

// Short limits, so that time-outs can be seen without slowing the suite down.
class TimeLimitTest : public MetadataLimitsTest
{
protected:
    static constexpr int requestTimeoutMs = 300;
    static constexpr int resourceTimeoutMs = 800;

    static MetadataService::Limits shortLimits()
    {
        MetadataService::Limits limits;
        limits.requestTimeoutMs = requestTimeoutMs;
        limits.resourceTimeoutMs = resourceTimeoutMs;
        return limits;
    }

    MetadataService m_quick{shortLimits()};
};

// --- Time ---------------------------------------------------------------------------------------

TEST_F(TimeLimitTest, WaitsForTheNextBytesUpToTheRequestTimeOut)
{
    // The whole-transfer deadline is put out of reach here, so only the wait for the next
    // bytes can end these transfers within seconds.
    MetadataService::Limits limits = shortLimits();
    limits.resourceTimeoutMs = 60000;
    MetadataService patient(limits);

    Response slow = Response::html(pageHead);
    slow.firstByteDelayMs = requestTimeoutMs / 3;
    route("/slow", slow);
    const MetadataOutcome steady = fetchMetadata(patient, url("/slow"));
    EXPECT_FALSE(steady.error);
    EXPECT_EQ(steady.metadata.title, s("Café at the top"));

    Response late = Response::html(pageHead);
    late.firstByteDelayMs = limits.resourceTimeoutMs;
    route("/late", late);
    Response stalled = Response::html(pageHead);
    stalled.mode = Response::Body::Stall;
    stalled.declaredLength = pageHead.size() * 2;
    route("/stalled", stalled);
    for (const char *path : {"/late", "/stalled"}) {
        SCOPED_TRACE(path);
        QElapsedTimer clock;
        clock.start();
        const MetadataOutcome o = fetchMetadata(patient, url(path));
        EXPECT_EQ(errorText(o), s("The request timed out."));
        EXPECT_GE(clock.elapsed(), requestTimeoutMs - 50);
        EXPECT_LT(clock.elapsed(), 10000);
    }
}

TEST_F(TimeLimitTest, TricklingTransferMeetsTheWholeTransferDeadline)
{
    Response trickle = Response::html(pageHead);
    trickle.mode = Response::Body::Endless;
    trickle.endlessChunk = QByteArray(16, 'x');
    trickle.chunkIntervalMs = requestTimeoutMs / 4;
    route("/trickle", trickle);
    route("/trickle.png", trickle);

    QElapsedTimer clock;
    clock.start();
    const MetadataOutcome page = fetchMetadata(m_quick, url("/trickle"));
    EXPECT_EQ(errorText(page), s("The request timed out."));
    // Without the deadline the trickle would go on for ever.
    EXPECT_GE(clock.elapsed(), resourceTimeoutMs - 50);
    EXPECT_LT(clock.elapsed(), 10000);

    const ImageOutcome image = fetchImageNamed(m_quick, url("/trickle.png"));
    EXPECT_EQ(errorText(image), s("The request timed out."));
    EXPECT_FALSE(image.bytes);
    EXPECT_TRUE(serverConnectionsClose());
}

// --- Size ---------------------------------------------------------------------------------------

TEST_F(MetadataLimitsTest, EndlessPageIsReadUpToTheCapAndParsed)
{
    Response endless = Response::html(pageHead);
    endless.mode = Response::Body::Endless;
    endless.endlessChunk = QByteArray("<p>and on and on</p>\n").repeated(4096);
    route("/endless", endless);

    QElapsedTimer clock;
    clock.start();
    const MetadataOutcome o = fetchMetadata(m_service, url("/endless"));
    EXPECT_FALSE(o.error);
    EXPECT_EQ(o.metadata.title, s("Café at the top"));
    EXPECT_EQ(o.metadata.description, s("Found before the cap"));
    EXPECT_LT(clock.elapsed(), 8000);
    EXPECT_TRUE(serverConnectionsClose());
}

TEST_F(MetadataLimitsTest, PageCutInsideACharacterStaysUtf8)
{
    // The cap falls between the two bytes of the last "é".
    const QByteArray page =
        QByteArrayLiteral("<title>Caf\xc3\xa9</title><p>\xc3\xa9\xc3\xa9\xc3\xa9</p>");
    const qint64 cut = page.lastIndexOf('\xa9');
    MetadataService::Limits limits;
    limits.pageByteLimit = cut;
    MetadataService capped(limits);
    route("/cut", Response::html(page));
    const MetadataOutcome o = fetchMetadata(capped, url("/cut"));
    EXPECT_FALSE(o.error);
    EXPECT_EQ(o.metadata.title, s("Café"));

    // A page of exactly the cap is whole.
    limits.pageByteLimit = page.size();
    MetadataService exact(limits);
    EXPECT_EQ(fetchMetadata(exact, url("/cut")).metadata.title, s("Café"));
}

TEST_F(MetadataLimitsTest, ImagesAreCappedAtTenMebibytes)
{
    // An image of `size` bytes, with its true length announced unless `declared` says
    // otherwise (-1 for none); with a Content-Length, and without one, where the count is made
    // as bytes arrive.
    const struct
    {
        const char *name;
        qint64 size;
        Response::Body mode;
        std::optional<qint64> declared;
        bool accepted;
    } cases[] = {{"at cap", imageLimit, Response::Body::Complete, std::nullopt, true},
                 {"at cap unannounced", imageLimit, Response::Body::Complete, -1, true},
                 {"over cap", imageLimit + 1, Response::Body::Complete, std::nullopt, false},
                 {"over cap unannounced", imageLimit + 1, Response::Body::Complete, -1, false},
                 {"endless", 0, Response::Body::Endless, std::nullopt, false},
                 // 20 MiB announced and then nothing: only the header can end this before the
                 // inactivity time-out, an error of another kind.
                 {"announced oversize", 0, Response::Body::Stall, 2 * imageLimit, false}};
    const QByteArray png("\x89PNG\r\n\x1A\n");
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Response image = Response::bytes(
            c.size > 0 ? png + QByteArray(c.size - png.size(), 'i') : QByteArray(), "image/png");
        image.mode = c.mode;
        image.declaredLength = c.declared;
        route("/image.png", image);
        QElapsedTimer clock;
        clock.start();
        const ImageOutcome o = fetchImageNamed(m_service, url("/image.png"));
        EXPECT_LT(clock.elapsed(), 8000);
        EXPECT_EQ(errorText(o), c.accepted ? QString() : s("Image is too large"));
        EXPECT_EQ(o.bytes ? o.bytes->size() : -1, c.accepted ? c.size : -1);
        if (!c.accepted) {
            EXPECT_TRUE(serverConnectionsClose());
        }
    }
}

// --- Redirects and schemes ----------------------------------------------------------------------

// A chain of `count` redirects, /hop1 -> /hop2 -> ... -> /landing.
void routeChain(TestHttpServer &server, int count, bool closeEachConnection = false)
{
    for (int i = 1; i <= count; ++i) {
        const QString next = i == count ? u"/landing"_s : u"/hop%1"_s.arg(i + 1);
        Response hop = Response::redirect(server.url(next));
        hop.closeConnection = closeEachConnection;
        server.route(u"/hop%1"_s.arg(i), hop);
    }
    server.route(u"/landing"_s, Response::html("<title>Landed</title>"));
}

TEST_F(MetadataLimitsTest, FollowsUpToTenRedirectsAndRefusesAnEleventh)
{
    for (const int status : {301, 302, 303, 307, 308}) {
        SCOPED_TRACE(status);
        route("/moved", Response::redirect(url("/landing"), status));
        route("/landing", Response::html("<title>Landed</title>"));
        EXPECT_EQ(fetchMetadata(m_service, url("/moved")).metadata.title, s("Landed"));
    }
    // A relative address resolves against the hop that gave it.
    route("/a/b/start", Response::redirect(QUrl(u"../landing"_s)));
    route("/a/landing", Response::html("<title>Landed</title>"));
    EXPECT_EQ(fetchMetadata(m_service, url("/a/b/start")).metadata.title, s("Landed"));

    // Servers that keep connections open and servers that close them after each answer.
    for (const bool close : {false, true}) {
        SCOPED_TRACE(close ? "closing" : "keep-alive");
        routeChain(m_server, 10, close);
        EXPECT_EQ(fetchMetadata(m_service, url("/hop1")).metadata.title, s("Landed"));
        EXPECT_EQ(hits("/hop10"), close ? 2 : 1);
    }

    routeChain(m_server, 11);
    const int landedBefore = hits("/landing");
    const MetadataOutcome page = fetchMetadata(m_service, url("/hop1"));
    EXPECT_EQ(errorText(page), s("Failed to fetch metadata"));
    EXPECT_EQ(hits("/landing"), landedBefore);
    EXPECT_EQ(hits("/hop11"), 1);

    route("/loop.png", Response::redirect(url("/loop.png")));
    const ImageOutcome image = fetchImageNamed(m_service, url("/loop.png"));
    EXPECT_EQ(errorText(image), s("Failed to fetch image"));
    EXPECT_EQ(hits("/loop.png"), 11);
}

TEST_F(MetadataLimitsTest, RedirectOffTheWebIsRefused)
{
    // Followed, a file address would be read, or fail as a transfer: either way, no refusal.
    route("/to-file", Response::redirect(QUrl(u"file:///etc/passwd"_s)));
    route("/to-ftp", Response::redirect(QUrl(u"ftp://127.0.0.1/pub/page.html"_s)));
    route("/to-data", Response::redirect(QUrl(u"data:text/html,<title>x</title>"_s)));
    for (const char *path : {"/to-file", "/to-ftp", "/to-data"}) {
        SCOPED_TRACE(path);
        const MetadataOutcome page = fetchMetadata(m_service, url(path));
        EXPECT_EQ(errorKind(page), Kind::FetchFailed);
        EXPECT_EQ(page.metadata, FetchedMetadata());
        const ImageOutcome image = fetchImageNamed(m_service, url(path));
        EXPECT_EQ(errorKind(image), Kind::ImageFetchFailed);
        EXPECT_FALSE(image.bytes);
    }
}

TEST_F(MetadataLimitsTest, OtherSchemesFailWithoutARequest)
{
    for (const char *address :
         {"file:///etc/passwd", "ftp://127.0.0.1/page", "data:text/html,hi",
          "mailto:someone@example.com", "relative/page.html", "http:///nohost", ""}) {
        SCOPED_TRACE(address);
        const QUrl target(s(address));
        EXPECT_EQ(errorText(fetchMetadata(m_service, target)), s("Failed to fetch metadata"));
        EXPECT_EQ(errorText(fetchPreviewImage(m_service, target)), s("Failed to fetch metadata"));
    }
    EXPECT_EQ(m_server.totalHits(), 0);
    // Named as a page's picture, they are not fetched either.
    for (const char *address :
         {"file:///etc/passwd", "ftp://127.0.0.1/page.png", "data:image/png;base64,iVBORw0KGgo="}) {
        SCOPED_TRACE(address);
        EXPECT_FALSE(fetchImageNamed(m_service, QUrl(s(address))).bytes);
    }
    EXPECT_EQ(m_server.totalHits(), 3);
}

TEST(RedirectPolicy, StaysOnTheWebAndNeverDowngrades)
{
    struct Case
    {
        const char *from;
        const char *to;
        bool allowed;
    };
    const Case cases[] = {
        {"http://a.example/", "http://b.example/", true},
        {"http://a.example/", "https://b.example/", true},
        {"https://a.example/", "https://b.example/x", true},
        {"HTTPS://a.example/", "https://a.example/", true},
        {"https://a.example/", "http://a.example/", false},
        {"https://a.example/", "HTTP://a.example/", false},
        {"http://a.example/", "file:///etc/passwd", false},
        {"https://a.example/", "ftp://a.example/", false},
        {"http://a.example/", "data:text/plain,x", false},
        {"http://a.example/", "javascript:alert(1)", false},
        {"http://a.example/", "http:///no-host", false},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(HttpDownload::redirectAllowed(QUrl(s(c.from)), QUrl(s(c.to))), c.allowed)
            << c.from << " -> " << c.to;
    }
}

} // namespace
