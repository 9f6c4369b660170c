#pragma once

#include <readable/ReadableText.h>

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

namespace quillory {

// A page's readable text as a rich-text document of our own making: every piece of the
// page's text escaped, no markup of the page's carried over, nothing that loads. Links
// become anchors "link:N" naming the N-th of `links`, so a click hands over the address the
// page had, never one read back from the document; words of a search are marked.
class ReadingDocument final
{
public:
    struct Built
    {
        QString html;
        QList<QUrl> links;
    };

    // The words a search field's text looks for: letters and digits, at most 16 of them.
    static QStringList searchWords(const QString &searchText);
    static Built build(const ReadableText &text, const QStringList &words);
    // The address behind an anchor of a built document; empty for anything else.
    static QUrl linkOf(const QUrl &anchor, const QList<QUrl> &links);

    static inline const QString anchorScheme = QStringLiteral("link");
};

} // namespace quillory
