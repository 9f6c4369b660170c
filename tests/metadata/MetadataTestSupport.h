#pragma once

#include <TestHttpServer.h>
#include <metadata/MetadataService.h>

#include <QObject>
#include <QString>
#include <QTest>
#include <gtest/gtest.h>
#include <optional>
#include <ostream>

namespace quillory {

inline void PrintTo(const FetchedMetadata &m, std::ostream *os)
{
    const auto field = [os](const char *name, const std::optional<QString> &value) {
        *os << ' ' << name << '=' << (value ? '"' + value->toStdString() + '"' : "absent");
    };
    *os << '{';
    field("title", m.title);
    field("description", m.description);
    field("imageURL", m.imageURL);
    field("siteName", m.siteName);
    field("author", m.author);
    *os << (m.publishDate ? " with" : " no") << " publishDate }";
}

} // namespace quillory

namespace quillory::test {

// Expected texts written as UTF-8 literals.
inline QString s(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

// Expected metadata, written with designated initializers; a field left null is absent.
struct Fields
{
    const char *title = nullptr;
    const char *description = nullptr;
    const char *imageURL = nullptr;
    const char *siteName = nullptr;
    const char *author = nullptr;

    FetchedMetadata metadata() const
    {
        const auto text = [](const char *utf8) {
            return utf8 != nullptr ? std::optional(s(utf8)) : std::nullopt;
        };
        return {text(title),    text(description), text(imageURL),
                text(siteName), text(author),      std::nullopt};
    }
};

// Runs the event loop until `slot` is filled; after `timeoutMs` the test fails and an empty
// value comes back.
template <typename T> T waitFor(const std::optional<T> &slot, int timeoutMs = 20000)
{
    if (!QTest::qWaitFor([&slot] { return slot.has_value(); }, timeoutMs)) {
        ADD_FAILURE() << "no answer within " << timeoutMs << " ms";
        return T{};
    }
    return *slot;
}

// One call, waited for. The context lives only for the wait, so a late answer is dropped.
template <typename Outcome>
Outcome waitedCall(MetadataService &service,
                   void (MetadataService::*call)(const QUrl &, const QObject *,
                                                 std::function<void(const Outcome &)>),
                   const QUrl &url)
{
    QObject context;
    std::optional<Outcome> got;
    (service.*call)(url, &context, [&got](const Outcome &o) { got = o; });
    return waitFor(got);
}

inline MetadataOutcome fetchMetadata(MetadataService &service, const QUrl &url)
{
    return waitedCall(service, &MetadataService::fetchMetadata, url);
}

inline ImageOutcome fetchPreviewImage(MetadataService &service, const QUrl &url)
{
    return waitedCall(service, &MetadataService::fetchPreviewImage, url);
}

// The error's text, or "" when there is none.
template <typename Outcome> QString errorText(const Outcome &outcome)
{
    return outcome.error ? outcome.error->description() : QString();
}

template <typename Outcome> std::optional<MetadataError::Kind> errorKind(const Outcome &outcome)
{
    return outcome.error ? std::optional(outcome.error->kind()) : std::nullopt;
}

using Response = TestHttpServer::Response;
using Kind = MetadataError::Kind;

// A test HTTP server and a metadata service with the standard limits, with shorthands
// for the server's routes.
class MetadataServerTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_server.isListening()); }
    QUrl url(const char *path) const { return m_server.url(s(path)); }
    int hits(const char *path) const { return m_server.hits(s(path)); }
    void route(const char *path, Response response)
    {
        m_server.route(s(path), std::move(response));
    }
    // What `service` makes of `image` named as the picture of a page on this server; each
    // call serves a page of its own, and counts as one hit.
    ImageOutcome fetchImageNamed(MetadataService &service, const QUrl &image)
    {
        const QString page = QStringLiteral("/naming%1").arg(++m_namingPages);
        m_server.route(page, Response::html("<meta property=\"og:image\" content=\"" +
                                            image.toEncoded() + "\">"));
        return fetchPreviewImage(service, m_server.url(page));
    }
    // True once every connection the server accepted has closed, within five seconds.
    bool serverConnectionsClose()
    {
        return QTest::qWaitFor([this] { return m_server.openConnections() == 0; }, 5000);
    }

    TestHttpServer m_server;
    MetadataService m_service;
    int m_namingPages = 0;
};

} // namespace quillory::test
