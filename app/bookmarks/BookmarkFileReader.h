#pragma once

#include <bookmarks/BookmarkTree.h>

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

namespace quillory {

// Reads the bookmark file every browser exports (the Netscape format: nested <DL> lists of
// <DT><H3> folders and <DT><A> links, each link optionally followed by a <DD> note) the way
// a browser reads HTML: forgivingly. Unclosed tags end where the next one starts, a
// missing </DL> is closed by the end of the file, attribute names are matched in any case
// and order, character references are decoded, and a charset declared in a <META> is
// honoured. Nesting of any depth is read without recursion. Thread-safe.
class BookmarkFileReader final
{
public:
    struct Result
    {
        std::optional<BookmarkTree> tree;
        QString error; // the description shown to the user, when `tree` is absent
    };

    // Fails only for bytes that hold no bookmark file at all.
    static Result read(QByteArrayView bytes);

    // The bytes in UTF-8 when they are in another encoding, told as a browser tells a page's
    // (HtmlDecoding), with a <META> looked for in the first 64 KiB; absent when they are
    // UTF-8 already.
    static std::optional<QByteArray> convertedToUtf8(QByteArrayView bytes);

    // ADD_DATE and LAST_MODIFIED count seconds; some tools write milliseconds or
    // microseconds instead, told apart by size. 0 for anything else.
    static qint64 millisecondsOf(QByteArrayView attribute);
};

} // namespace quillory
