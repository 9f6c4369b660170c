#pragma once

#include <metadata/FetchedMetadata.h>

#include <QString>
#include <QStringView>
#include <QUrl>
#include <optional>

namespace quillory {

// Reads Open Graph, Twitter-card and standard meta tags and the title element out of a
// page's text by scanning it; no DOM is built. The work grows in step with the page, however
// the page is written: a <meta> tag running past 8 KiB is skipped. Pure functions, safe on
// any thread.
class HtmlMetadataParser final
{
public:
    // Fields in precedence order: og:*, then twitter:*, then name="description", then
    // <title>. A relative image address is resolved against `baseURL`.
    static FetchedMetadata parse(const QString &html, const QUrl &baseURL);

    // The content of the first <meta> tag whose property (or name) attribute is `key`,
    // compared without regard to case, with character references decoded; absent when no
    // tag has a non-empty content. A key holding '>' matches nothing.
    static std::optional<QString> metaContentByProperty(const QString &html, const QString &key);
    static std::optional<QString> metaContentByName(const QString &html, const QString &key);

    // Decodes every named, decimal and hexadecimal character reference once; references
    // HTML does not define stay as written. "&nbsp;" gives an ordinary space.
    static QString decodeEntities(QStringView text);
};

} // namespace quillory
