#pragma once

#include <readable/ReadableText.h>

#include <QStringView>
#include <QUrl>

namespace quillory {

// Turns a fetched page, already decoded to text (HtmlDecoding), into what a reader wants of
// it: the article with its headings, paragraphs, lists, quotes and preformatted blocks, and
// the links inside it made absolute against the page's final address. Navigation, headers,
// footers, sidebars, comment sections, forms, scripts, styles and hidden elements are left
// out. A page with no article gives its visible text, shorter; binary or empty pages give
// nothing and say why. Every walk is a loop and every size is capped, so a page of any
// shape costs time and memory in step with the capped input. Pure functions, safe on any
// thread.
class ReadableExtractor final
{
public:
    struct Limits
    {
        qsizetype inputBytes = 10 * 1024 * 1024; // UTF-8 read of the page; the rest is not
        qsizetype outputBytes = 1024 * 1024;     // UTF-8 of the article's blocks
        qsizetype pageTextBytes = 64 * 1024;     // UTF-8 of a page's text when no article
        int depth = 256;                         // elements nested deeper lose their tags
        qsizetype elements = 250'000;            // tags past these are not parsed
        qsizetype links = 10'000;
    };

    static ReadableText extract(QStringView html, const QUrl &address);
    static ReadableText extract(QStringView html, const QUrl &address, const Limits &limits);
};

} // namespace quillory
