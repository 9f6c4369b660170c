#pragma once

#include "BookmarkTree.h"

#include <QByteArray>

namespace quillory {

class LibraryStore;

// Writes the library as the bookmark file browsers import: folders nested as the library
// nests them, each item with an address a link with its tags in TAGS and its note in a
// <DD>. Items without an address (pictures kept in the library) have no place in it.
class BookmarkFileWriter final
{
public:
    // The library's folders (depth first, in their order) and its items with an address.
    // Interface thread.
    static BookmarkTree treeOf(const LibraryStore &store);
    // Thread-safe. A comma, which separates tags in the file, becomes a space in a name.
    static QByteArray write(const BookmarkTree &tree);
};

} // namespace quillory
