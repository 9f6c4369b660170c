#include "MetadataTestSupport.h"
#include "TestPictures.h"

#include <IntakeBench.h>
#include <TestHttpServer.h>
#include <metadata/AddressScope.h>

#include <QHostAddress>
#include <QHostInfo>
#include <gtest/gtest.h>

using namespace quillory;
using namespace quillory::test;
using namespace Qt::StringLiterals;

namespace {

TEST(AddressScope, TellsTheInternetFromTheUsersOwnNetworks)
{
    // As a link's address writes them; documentation ranges route nowhere near the user.
    const QStringList publicHosts =
        u"8.8.8.8 198.51.100.7 [2001:db8::1] [2606:4700::1111] 11.0.0.0 100.63.255.255 "
        "100.128.0.0 169.253.255.255 172.15.255.255 172.32.0.0 192.167.255.255 223.255.255.255 "
        "[::ffff:8.8.8.8] [64:ff9b::808:808] [2002:808:808::1]"_s.split(u' ');
    // Teredo among them, and other ways of writing loopback, as addresses normalise them.
    const QStringList ownHosts =
        u"0.0.0.0 0.1.2.3 10.0.0.1 10.255.255.255 100.64.0.1 100.127.255.255 127.0.0.1 "
        "127.255.255.254 169.254.169.254 172.16.0.1 172.31.255.255 192.168.1.1 224.0.0.1 "
        "239.255.255.250 240.0.0.1 255.255.255.255 [::] [::1] [::ffff:127.0.0.1] [::ffff:a00:1] "
        "[::127.0.0.1] [fc00::1] [fd12:3456::1] [fe80::1] [febf::1] [fec0::1] [ff02::1] "
        "[64:ff9b::7f00:1] [64:ff9b:1::1] [2002:7f00:1::1] [2002:c0a8:101::1] [::ffff:0:7f00:1] "
        "[2001:0:4136:e378:8000:63bf:3fff:fdd2] 198.18.0.1 192.0.0.8 0x7f.1 0177.0.0.1 "
        "2130706433 127.1"_s.split(u' ');
    for (const bool isPublic : {true, false}) {
        for (const QString &host : isPublic ? publicHosts : ownHosts) {
            SCOPED_TRACE(host.toStdString());
            const QHostAddress address(QUrl(u"http://"_s + host + u"/"_s).host());
            ASSERT_FALSE(address.isNull());
            EXPECT_EQ(AddressScope::isPublic(address), isPublic);
        }
    }
    EXPECT_FALSE(AddressScope::isPublic(QHostAddress()));
}

// 198.51.100.7 plays a server on the internet. Only with-public-address.sh makes it a local
// address, and gives the names public.test, sneaky.test and twice.test, in network and mount
// namespaces of the test's own.
const QHostAddress publicAddress(u"198.51.100.7"_s);

class PublicAddressTest : public MetadataServerTest
{
protected:
    void SetUp() override
    {
        MetadataServerTest::SetUp();
        if (!m_public.isListening())
            GTEST_SKIP() << "198.51.100.7 is no address of this machine: these tests run "
                            "through tests/support/with-public-address.sh, which needs "
                            "unprivileged user namespaces (unshare -rnm) and iproute2";
        ASSERT_EQ(QHostInfo::fromName(u"sneaky.test"_s).addresses().value(0),
                  QHostAddress(QHostAddress::LocalHost));
    }
    QUrl on(const TestHttpServer &server, const char *host, const char *path) const
    {
        return QUrl(
            u"http://%1:%2%3"_s.arg(QLatin1StringView(host)).arg(server.port()).arg(s(path)));
    }
    QUrl publicUrl(const char *path) const { return m_public.url(s(path)); }
    static Response naming(const QUrl &image)
    {
        return Response::html("<title>Public</title><meta property=\"og:image\" content=\"" +
                              image.toEncoded() + "\">");
    }
    TestHttpServer m_public{publicAddress};
    const QByteArray m_picture = TestPictures::encoded(TestPictures::twoTone(64, 48), "PNG");
};

TEST_F(PublicAddressTest, APublicPageReachesNothingOnTheUsersMachine)
{
    route("/secret.png", Response::bytes(m_picture, "image/png"));
    route("/admin", Response::html("<title>Router admin</title>"));
    const QUrl secret = url("/secret.png");

    // However the local address is written or named, directly or through a redirect.
    const QUrl images[] = {
        secret, on(m_server, "0x7f.1", "/secret.png"), on(m_server, "sneaky.test", "/secret.png"),
        on(m_server, "[::ffff:127.0.0.1]", "/secret.png"), publicUrl("/hop-home")};
    m_public.route(u"/hop-home"_s, Response::redirect(secret));
    int n = 0;
    for (const QUrl &image : images) {
        SCOPED_TRACE(image.toString().toStdString());
        const QString page = u"/page%1"_s.arg(++n);
        m_public.route(page, naming(image));
        const ImageOutcome o = fetchPreviewImage(m_service, m_public.url(page));
        EXPECT_FALSE(o.bytes);
        EXPECT_EQ(errorKind(o), Kind::ImageFetchFailed);
    }
    // A redirect of the page itself, and one from a public page a local one led to.
    m_public.route(u"/moved"_s, Response::redirect(url("/admin")));
    EXPECT_EQ(errorKind(fetchMetadata(m_service, publicUrl("/moved"))), Kind::FetchFailed);
    route("/out", Response::redirect(publicUrl("/moved")));
    EXPECT_EQ(errorKind(fetchMetadata(m_service, url("/out"))), Kind::FetchFailed);
    EXPECT_EQ(m_server.hits(u"/out"_s), 1);
    EXPECT_EQ(m_server.totalHits(), 1);

    // Added as a link, such a page still gives its title, and nothing else happens.
    IntakeBench bench(m_service);
    Item *item = bench.addLink(m_public.url(u"/page1"_s));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->title(), u"Public"_s);
    EXPECT_FALSE(item->thumbnailData());
    EXPECT_EQ(m_server.totalHits(), 1);
}

TEST_F(PublicAddressTest, ALocalPageMayNameLocalAddressesAndPublicOnesStayReachable)
{
    route("/secret.png", Response::bytes(m_picture, "image/png"));
    route("/page", naming(url("/secret.png")));
    route("/hop", Response::redirect(url("/page")));
    EXPECT_EQ(fetchPreviewImage(m_service, url("/hop")).bytes, m_picture);
    EXPECT_EQ(fetchPreviewImage(m_service, on(m_server, "sneaky.test", "/page")).bytes, m_picture);

    // A name is connected to at the address that was checked, and still sent as the name.
    m_public.route(u"/picture.png"_s, Response::bytes(m_picture, "image/png"));
    m_public.route(u"/named"_s, naming(on(m_public, "public.test", "/picture.png")));
    EXPECT_EQ(fetchPreviewImage(m_service, on(m_public, "public.test", "/named")).bytes, m_picture);
    EXPECT_EQ(m_public.lastRequestHeader("Host"),
              "public.test:" + QByteArray::number(m_public.port()));
    // A local page may lead to a public one.
    route("/away", Response::redirect(on(m_public, "public.test", "/named")));
    EXPECT_EQ(fetchPreviewImage(m_service, url("/away")).bytes, m_picture);

    IntakeBench bench(m_service);
    Item *item = bench.addLink(url("/page"));
    ASSERT_NE(item, nullptr);
    EXPECT_TRUE(item->thumbnailData());
}

TEST_F(PublicAddressTest, ANamesNextAddressIsTriedWhenOneRefuses)
{
    // twice.test is 127.0.0.1 first, where nothing may listen on this server's port.
    auto second = std::make_unique<TestHttpServer>(publicAddress);
    while (second->port() == m_server.port())
        second = std::make_unique<TestHttpServer>(publicAddress);
    second->route(u"/page"_s, Response::html("<title>Second address</title>"));
    EXPECT_EQ(fetchMetadata(m_service, on(*second, "twice.test", "/page")).metadata.title,
              u"Second address"_s);
}

} // namespace
