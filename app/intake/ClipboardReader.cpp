#include <intake/ClipboardReader.h>

#include <QBuffer>
#include <QImageReader>
#include <QMimeData>
#include <algorithm>

namespace quillory {

namespace {

// Reads only the header, so a large pasted picture is not decoded on the interface thread.
bool looksLikePicture(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return false;
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    return reader.canRead() && reader.size().isValid();
}

QList<QUrl> addressesIn(const QMimeData &data)
{
    QList<QUrl> urls = data.urls();
    urls.removeIf([](const QUrl &url) { return !url.isValid() || url.scheme().isEmpty(); });
    return urls;
}

QByteArray encodedPicture(const QMimeData &data)
{
    for (const char *preferred : {"image/png", "image/tiff"}) {
        QByteArray bytes = data.data(QString::fromLatin1(preferred));
        if (looksLikePicture(bytes))
            return bytes;
    }
    const QStringList formats = data.formats();
    for (const QString &format : formats) {
        if (format.startsWith(QLatin1String("image/"))) {
            QByteArray bytes = data.data(format);
            if (looksLikePicture(bytes))
                return bytes;
        }
    }
    return {};
}

} // namespace

std::optional<QUrl> ClipboardReader::addressIn(const QString &text)
{
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty())
        return std::nullopt;
    return url;
}

ClipboardOffer ClipboardReader::read(const QMimeData &data)
{
    ClipboardOffer offer;
    offer.urls = addressesIn(data);
    if (!offer.urls.isEmpty())
        return offer;
    if (data.hasText()) {
        if (const auto url = addressIn(data.text())) {
            offer.urls.append(*url);
            return offer;
        }
    }
    offer.picture = encodedPicture(data);
    if (!offer.picture.isEmpty() || !data.hasImage())
        return offer;
    offer.image = qvariant_cast<QImage>(data.imageData());
    return offer;
}

bool ClipboardReader::mayOffer(const QMimeData &data)
{
    if (data.hasUrls() || data.hasText() || data.hasImage())
        return true;
    const QStringList formats = data.formats();
    return std::any_of(formats.begin(), formats.end(),
                       [](const QString &f) { return f.startsWith(QLatin1String("image/")); });
}

} // namespace quillory
