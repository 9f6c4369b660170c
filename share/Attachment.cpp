#include <share/Attachment.h>

#include <QBuffer>
#include <QImageReader>
#include <QMimeDatabase>
#include <QStringDecoder>

namespace quillory {

namespace {

bool isPicture(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    return reader.canRead() && reader.size().isValid();
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

Attachment Attachment::forLink(const QUrl &link)
{
    Attachment a;
    a.m_values = {{url, link}, {plainText, link.toString(QUrl::FullyEncoded)}};
    return a;
}

Attachment Attachment::forFile(const QString &path)
{
    const QUrl file = QUrl::fromLocalFile(path);
    Attachment a;
    // As in a share menu, a file's address is a URL too, one the link rule steps past.
    a.m_values = {{url, file}, {fileUrl, file}};
    const QString mime = QMimeDatabase().mimeTypeForFile(path).name();
    if (mime.startsWith(QLatin1String("image/")))
        a.m_values.append({image, file});
    if (mime == QLatin1String("application/pdf"))
        a.m_values.append({pdf, file});
    a.m_values.append({data, file});
    return a;
}

Attachment Attachment::forText(const QString &text)
{
    Attachment a;
    a.m_values = {{plainText, text}};
    return a;
}

Attachment Attachment::forBytes(const QByteArray &bytes)
{
    Attachment a;
    if (bytes.startsWith("%PDF-"))
        a.m_values = {{pdf, bytes}};
    else if (isPicture(bytes))
        a.m_values = {{image, bytes}};
    else if (isText(bytes))
        a.m_values = {{plainText, bytes}};
    a.m_values.append({data, bytes});
    return a;
}

bool Attachment::conformsTo(const QString &type) const
{
    return load(type).has_value();
}

std::optional<QVariant> Attachment::load(const QString &type) const
{
    for (const auto &[offered, value] : m_values) {
        if (offered == type)
            return value;
    }
    return std::nullopt;
}

QStringList Attachment::types() const
{
    QStringList names;
    for (const auto &entry : m_values)
        names << entry.first;
    return names;
}

} // namespace quillory
