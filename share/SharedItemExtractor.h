#pragma once

#include <share/SharedItem.h>

#include <QDateTime>
#include <QVariant>
#include <functional>
#include <optional>

namespace quillory {

class Attachment;

// Turns each attachment into at most one shared item. Content types are tried in a fixed
// order (URL, plain text, file URL, image, PDF, any data); the first whose rule yields an item
// ends the search. Nothing here touches the network or stores anything.
class SharedItemExtractor final
{
public:
    // `now` dates the titles of pictures and documents that come without a name.
    explicit SharedItemExtractor(std::function<QDateTime()> now = &QDateTime::currentDateTime);

    QList<SharedItem> extract(const QList<Attachment> &attachments) const;
    std::optional<SharedItem> extractSharedItem(const Attachment &attachment) const;

    static std::optional<QUrl> urlFromLoadedItem(const QVariant &value);
    static std::optional<QUrl> webURLFromText(const QVariant &value);
    static SharedItemType detectWebKind(const QUrl &url);
    static SharedItemType detectFileKind(const QUrl &url);

    // The most of a shared picture read from a file; larger ones are not taken.
    static constexpr qint64 pictureLimit = qint64(256) * 1024 * 1024;

private:
    std::optional<SharedItem> apply(const QString &type, const QVariant &value) const;
    static SharedItem webItem(const QUrl &url);
    static SharedItem fileItem(const QUrl &url);
    QString dated(const QString &prefix) const;

    std::function<QDateTime()> m_now;
};

} // namespace quillory
