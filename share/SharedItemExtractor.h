#pragma once

#include <share/SharedItem.h>

#include <QDateTime>
#include <functional>
#include <optional>

namespace quillory {

class Attachment;

// Turns each attachment into at most one shared item, by its MIME type: a link becomes a page,
// a file a file item, PDF bytes a document, picture bytes a picture, and text an address when
// it holds one. Nothing here touches the network or stores anything.
class SharedItemExtractor final
{
public:
    // `now` dates the titles of pictures and documents that come without a name.
    explicit SharedItemExtractor(std::function<QDateTime()> now = &QDateTime::currentDateTime);

    QList<SharedItem> extract(const QList<Attachment> &attachments) const;
    std::optional<SharedItem> extractSharedItem(const Attachment &attachment) const;

    static SharedItemType detectWebKind(const QUrl &url);
    static SharedItemType detectFileKind(const QUrl &url);

private:
    static SharedItem webItem(const QUrl &url);
    static SharedItem fileItem(const QUrl &url);
    QString dated(const QString &prefix) const;

    std::function<QDateTime()> m_now;
};

} // namespace quillory
