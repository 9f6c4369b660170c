#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QUrl>
#include <optional>

class QMimeData;

namespace quillory {

// What a clipboard or a drop offers that can become items. At most one of the three is
// filled: addresses (web pages and local files, in the order given), or an encoded picture,
// or a picture that exists only decoded in memory.
struct ClipboardOffer
{
    QList<QUrl> urls;
    QByteArray picture;
    QImage image;

    bool isEmpty() const { return urls.isEmpty() && picture.isEmpty() && image.isNull(); }
};

// The one place that decides what pasted or dropped data means, so the menus, the tray,
// the add menu and drops all agree. The first that applies wins: a list of addresses with
// a scheme, text that is one address with a scheme, PNG, TIFF, any other picture format
// that decodes, a decoded picture.
class ClipboardReader final
{
public:
    static ClipboardOffer read(const QMimeData &data);
    // Cheap enough for a drag passing over a window: looks at the formats only.
    static bool mayOffer(const QMimeData &data);
    // An address with a scheme, after the line break copied text often ends with.
    static std::optional<QUrl> addressIn(const QString &text);
};

} // namespace quillory
