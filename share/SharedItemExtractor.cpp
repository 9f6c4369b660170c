#include <share/SharedItemExtractor.h>

#include <share/Attachment.h>

#include <inbox/ShortDateTime.h>

#include <QFile>
#include <QFileInfo>

namespace quillory {

namespace {

std::optional<QString> textOf(const QVariant &value)
{
    if (value.typeId() == QMetaType::QString)
        return value.toString();
    if (value.typeId() == QMetaType::QByteArray)
        return QString::fromUtf8(value.toByteArray());
    return std::nullopt;
}

std::optional<QByteArray> fileContents(const QUrl &url)
{
    QFile file(url.toLocalFile());
    if (!url.isLocalFile() || !QFileInfo(file).isFile() || !file.open(QIODevice::ReadOnly) ||
        file.size() > SharedItemExtractor::pictureLimit)
        return std::nullopt;
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return bytes;
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
    for (const QString &type : {Attachment::url, Attachment::plainText, Attachment::fileUrl,
                                Attachment::image, Attachment::pdf, Attachment::data}) {
        const auto value = attachment.load(type);
        if (!value)
            continue;
        if (auto item = apply(type, *value))
            return item;
    }
    return std::nullopt;
}

std::optional<SharedItem> SharedItemExtractor::apply(const QString &type,
                                                     const QVariant &value) const
{
    if (type == Attachment::url) {
        if (const auto url = urlFromLoadedItem(value); url && !url->isLocalFile())
            return webItem(*url);
        if (const auto url = webURLFromText(value))
            return webItem(*url);
        return std::nullopt;
    }
    if (type == Attachment::plainText) {
        const auto text = textOf(value);
        const QUrl url(text.value_or(QString()).trimmed(), QUrl::StrictMode);
        if (text && url.isValid() && !url.scheme().isEmpty())
            return webItem(url);
        return std::nullopt;
    }
    if (type == Attachment::fileUrl || type == Attachment::data) {
        if (const auto url = urlFromLoadedItem(value); url && url->isLocalFile())
            return fileItem(*url);
        return std::nullopt;
    }
    if (type == Attachment::image) {
        std::optional<QByteArray> bytes;
        if (value.typeId() == QMetaType::QUrl)
            bytes = fileContents(value.toUrl());
        else if (value.typeId() == QMetaType::QByteArray)
            bytes = value.toByteArray();
        if (!bytes)
            return std::nullopt;
        SharedItem item;
        item.type = SharedItemType::Image;
        item.imageData = *bytes;
        item.title = dated(QStringLiteral("Image "));
        return item;
    }
    if (type == Attachment::pdf) {
        if (const auto url = urlFromLoadedItem(value); url && url->isLocalFile()) {
            SharedItem item = fileItem(*url);
            item.type = SharedItemType::Document;
            return item;
        }
        if (value.typeId() != QMetaType::QByteArray)
            return std::nullopt;
        SharedItem item;
        item.type = SharedItemType::Document;
        item.imageData = value.toByteArray();
        item.title = dated(QStringLiteral("Document "));
        return item;
    }
    return std::nullopt;
}

// Bytes would be bookmark data on the desktop this comes from; Linux has none to resolve.
std::optional<QUrl> SharedItemExtractor::urlFromLoadedItem(const QVariant &value)
{
    if (value.typeId() == QMetaType::QUrl)
        return value.toUrl();
    return std::nullopt;
}

std::optional<QUrl> SharedItemExtractor::webURLFromText(const QVariant &value)
{
    const auto text = textOf(value);
    if (!text)
        return std::nullopt;
    const QUrl url(text->trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty() || url.isLocalFile())
        return std::nullopt;
    return url;
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
