#include <share/SharedItemExtractor.h>

#include <share/Attachment.h>

#include <inbox/ShortDateTime.h>

#include <QFileInfo>

namespace quillory {

namespace {

// What the extraction tells apart among attachments that came with their content.
enum class Content { Pdf, Picture, Text, Other };

Content contentOf(const QString &type)
{
    if (type == QLatin1String("application/pdf"))
        return Content::Pdf;
    if (type.startsWith(QLatin1String("image/")))
        return Content::Picture;
    if (type == QLatin1String("text/plain"))
        return Content::Text;
    return Content::Other;
}

} // namespace

SharedItemExtractor::SharedItemExtractor(std::function<QDateTime()> now) : m_now(std::move(now))
{
}

QList<SharedItem> SharedItemExtractor::extract(const QList<Attachment> &attachments) const
{
    QList<SharedItem> items;
    for (const Attachment &attachment : attachments) {
        if (auto item = extractSharedItem(attachment))
            items.append(*item);
    }
    return items;
}

std::optional<SharedItem> SharedItemExtractor::extractSharedItem(const Attachment &attachment) const
{
    // A file, whatever its type, is a file item; any other address a page.
    if (const auto address = attachment.address())
        return address->isLocalFile() ? fileItem(*address) : webItem(*address);
    const Content content = contentOf(attachment.mimeType());
    const auto bytes = attachment.bytes();
    if (content == Content::Text) {
        const QString text =
            bytes ? QString::fromUtf8(*bytes) : attachment.text().value_or(QString());
        const QUrl url(text.trimmed(), QUrl::StrictMode);
        if (url.isValid() && !url.scheme().isEmpty())
            return webItem(url);
        return std::nullopt;
    }
    if (!bytes || content == Content::Other)
        return std::nullopt;
    // Bytes that came without a file: the item holds them, under a title that dates them.
    const bool document = content == Content::Pdf;
    SharedItem item;
    item.type = document ? SharedItemType::Document : SharedItemType::Image;
    item.imageData = *bytes;
    item.title = dated(document ? QStringLiteral("Document ") : QStringLiteral("Image "));
    return item;
}

SharedItemType SharedItemExtractor::detectWebKind(const QUrl &url)
{
    // Plain substrings, as the share menu's own detection has it: "dropbox.com" contains
    // "x.com" and counts as a post.
    static const std::pair<const char *, SharedItemType> patterns[] = {
        {"facebook.com", SharedItemType::SocialPost}, {"instagram.com", SharedItemType::SocialPost},
        {"twitter.com", SharedItemType::SocialPost},  {"x.com", SharedItemType::SocialPost},
        {"linkedin.com", SharedItemType::SocialPost}, {"tiktok.com", SharedItemType::SocialPost},
        {"youtube.com", SharedItemType::Video},       {"youtu.be", SharedItemType::Video},
        {"vimeo.com", SharedItemType::Video},
    };
    const QString host = url.host().toLower();
    for (const auto &[pattern, kind] : patterns) {
        if (host.contains(QLatin1String(pattern)))
            return kind;
    }
    return SharedItemType::WebLink;
}

SharedItemType SharedItemExtractor::detectFileKind(const QUrl &url)
{
    // By the name alone, as records have always had it, whatever the file's MIME type says.
    const QString path = url.path().toLower();
    for (const char *ending : {".jpg", ".jpeg", ".png", ".gif", ".webp"}) {
        if (path.endsWith(QLatin1String(ending)))
            return SharedItemType::Image;
    }
    return SharedItemType::Document;
}

SharedItem SharedItemExtractor::webItem(const QUrl &url)
{
    SharedItem item;
    item.type = detectWebKind(url);
    item.url = url;
    item.title = url.host().isEmpty() ? QStringLiteral("Untitled") : url.host();
    return item;
}

SharedItem SharedItemExtractor::fileItem(const QUrl &url)
{
    SharedItem item;
    item.type = detectFileKind(url);
    item.url = url;
    // "Report.final.PDF" is titled "Report.final": only the last extension goes.
    item.title = QFileInfo(url.toLocalFile()).completeBaseName();
    if (item.title.isEmpty())
        item.title = QFileInfo(url.toLocalFile()).fileName();
    return item;
}

QString SharedItemExtractor::dated(const QString &prefix) const
{
    return prefix + ShortDateTime::format(m_now());
}

} // namespace quillory
