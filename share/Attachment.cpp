#include <share/Attachment.h>

#include <QBuffer>
#include <QImageReader>
#include <QMimeDatabase>
#include <QStringDecoder>

namespace quillory {

namespace {

// The type of the picture Qt's readers find in `bytes`, by the MIME types they list for their
// formats; absent when none of them reads a picture with a size there.
std::optional<QString> pictureType(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    if (!reader.canRead() || !reader.size().isValid())
        return std::nullopt;
    const QByteArray format = reader.format();
    for (const QByteArray &type : QImageReader::supportedMimeTypes()) {
        if (QImageReader::imageFormatsForMimeType(type).contains(format))
            return QString::fromLatin1(type);
    }
    // A reader that lists no type for its format has read a picture all the same.
    return QStringLiteral("image/x-") + QString::fromLatin1(format);
}

bool isText(const QByteArray &bytes)
{
    if (bytes.contains('\0'))
        return false;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    (void)utf8.decode(bytes);
    return !utf8.hasError();
}

} // namespace

Attachment::Attachment(QString type, std::variant<QUrl, QString, QByteArray> content)
    : m_type(std::move(type)), m_content(std::move(content))
{
}

Attachment Attachment::forLink(const QUrl &link)
{
    // The shared MIME database's resource location; "text/uri-list" is drag and drop's.
    return {QStringLiteral("text/x-uri"), link};
}

Attachment Attachment::forFile(const QString &path)
{
    return {QMimeDatabase().mimeTypeForFile(path).name(), QUrl::fromLocalFile(path)};
}

Attachment Attachment::forText(const QString &text)
{
    return {QStringLiteral("text/plain"), text};
}

Attachment Attachment::forBytes(const QByteArray &bytes)
{
    // In this order: a PDF's header decides before anything else, and a picture in a format
    // written as text (XPM, XBM, SVG) is a picture.
    if (bytes.startsWith("%PDF-"))
        return {QStringLiteral("application/pdf"), bytes};
    if (const auto picture = pictureType(bytes))
        return {*picture, bytes};
    if (isText(bytes))
        return {QStringLiteral("text/plain"), bytes};
    return {QStringLiteral("application/octet-stream"), bytes};
}

std::optional<QUrl> Attachment::address() const
{
    if (const auto *url = std::get_if<QUrl>(&m_content))
        return *url;
    return std::nullopt;
}

std::optional<QString> Attachment::text() const
{
    if (const auto *text = std::get_if<QString>(&m_content))
        return *text;
    return std::nullopt;
}

std::optional<QByteArray> Attachment::bytes() const
{
    if (const auto *bytes = std::get_if<QByteArray>(&m_content))
        return *bytes;
    return std::nullopt;
}

} // namespace quillory
