#pragma once

#include <QList>
#include <QString>
#include <QUrl>

namespace quillory {

// One block of a page's readable text, in reading order. A heading's level is 1 to 6; other
// kinds have level 0. Preformatted text keeps its spaces and line breaks; every other kind's
// whitespace is collapsed as a browser shows it, with a line break where the page had <br>.
struct ReadableBlock
{
    enum class Kind : quint8 { Heading, Paragraph, ListItem, Quote, Preformatted };

    Kind kind = Kind::Paragraph;
    int level = 0;
    QString text;

    friend bool operator==(const ReadableBlock &, const ReadableBlock &) = default;
};

// A link inside the readable text: what it says, and where it goes, made absolute against
// the page's address. Only web and mail links are kept; a script link or one into the page
// itself is not.
struct ReadableLink
{
    QString text;
    QUrl address;

    friend bool operator==(const ReadableLink &, const ReadableLink &) = default;
};

// What a reader wants of a page: its main content, or, on a page with no article, its
// visible text, cut shorter; or nothing, with the reason.
struct ReadableText
{
    enum class Outcome : quint8 {
        Article,     // the main content was found
        VisibleText, // no article (a page of links, a search page): the page's visible text
        NotText,     // the bytes are binary or not in the encoding they were decoded from
        NoText,      // the page shows no text
    };

    Outcome outcome = Outcome::NoText;
    QString title;
    QString byline;
    QList<ReadableBlock> blocks;
    QList<ReadableLink> links;
    bool inputCut = false;  // the page was longer than what is read of it
    bool outputCut = false; // the text was longer than what is kept of it

    // The blocks with a blank line between each two, as full-text search indexes them.
    QString plainText() const;
};

} // namespace quillory
