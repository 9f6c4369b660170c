#include <AppNotifier.h>
#include <AppState.h>

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace quillory;

namespace {

QByteArray pngBytes()
{
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

struct Posted
{
    QList<QUrl> urls;
    int images = 0;
};

Posted request(const QMimeData &data)
{
    AppNotifier &notifier = AppNotifier::shared();
    QSignalSpy urls(&notifier, &AppNotifier::createItemFromURL);
    QSignalSpy images(&notifier, &AppNotifier::createItemFromImageData);
    AppState::requestItemFrom(data, notifier);
    Posted posted;
    for (const auto &args : urls)
        posted.urls << args.at(0).toUrl();
    posted.images = int(images.count());
    return posted;
}

} // namespace

TEST(ClipboardRequest, UrlTypeComesFirst)
{
    QMimeData data;
    data.setUrls({QUrl(QStringLiteral("https://example.com/a"))});
    data.setData(QStringLiteral("image/png"), pngBytes());
    const Posted posted = request(data);
    EXPECT_EQ(posted.urls, QList<QUrl>{QUrl(QStringLiteral("https://example.com/a"))});
    EXPECT_EQ(posted.images, 0);
}

TEST(ClipboardRequest, PlainTextNeedsAScheme)
{
    QMimeData withScheme;
    withScheme.setText(QStringLiteral("https://example.com/page?x=1\n"));
    EXPECT_EQ(request(withScheme).urls,
              QList<QUrl>{QUrl(QStringLiteral("https://example.com/page?x=1"))});

    for (const char *text : {"word", "two words", "", "example.com/path"}) {
        QMimeData plain;
        plain.setText(QString::fromLatin1(text));
        const Posted posted = request(plain);
        EXPECT_TRUE(posted.urls.isEmpty()) << text;
        EXPECT_EQ(posted.images, 0) << text;
    }
}

TEST(ClipboardRequest, PngWhenNoUrl)
{
    QMimeData data;
    data.setText(QStringLiteral("just words"));
    data.setData(QStringLiteral("image/png"), pngBytes());
    const Posted posted = request(data);
    EXPECT_TRUE(posted.urls.isEmpty());
    EXPECT_EQ(posted.images, 1);
}

TEST(ClipboardRequest, ReadsTheApplicationClipboard)
{
    QGuiApplication::clipboard()->setText(QStringLiteral("https://example.org/"));
    QSignalSpy urls(&AppNotifier::shared(), &AppNotifier::createItemFromURL);
    AppState state;
    state.requestItemFromClipboard();
    ASSERT_EQ(urls.count(), 1);
    EXPECT_EQ(urls.at(0).at(0).toUrl(), QUrl(QStringLiteral("https://example.org/")));
}
