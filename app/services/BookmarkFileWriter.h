#pragma once

#include "BookmarkTree.h"

#include <ItemTexts.h>

#include <QByteArray>
#include <string>
#include <vector>

namespace quillory {

class LibraryStore;

// Writes the library as the bookmark file browsers import: folders nested as the library
// nests them, each item with an address a link with its tags in TAGS and its note in a
// <DD>. Items without an address (pictures kept in the library) have no place in it.
class BookmarkFileWriter final
{
public:
    // What a bookmark file is written from, copied quickly: the library's folders (depth
    // first, in their order) and its items with an address, their texts not yet decoded.
    struct LibraryCopy
    {
        struct Link
        {
            size_t textsAt = noTexts; // the item's block of texts in `texts`
            QStringList tags;
            qint64 addedAt = 0;
            qint64 modifiedAt = 0;
            qsizetype folder = -1;
        };
        static constexpr size_t noTexts = ~size_t(0);
        std::vector<BookmarkFolderEntry> folders;
        std::vector<Link> links;
        // Every link's texts end to end: copying them is a few large copies, not an
        // allocation for each.
        std::string texts;
    };
    // Interface thread.
    static LibraryCopy copyOf(const LibraryStore &store);
    // Thread-safe.
    static BookmarkTree treeOf(const LibraryCopy &library);
    // Interface thread.
    static BookmarkTree treeOf(const LibraryStore &store) { return treeOf(copyOf(store)); }
    // Thread-safe. A comma, which separates tags in the file, becomes a space in a name.
    static QByteArray write(const BookmarkTree &tree);
};

} // namespace quillory
