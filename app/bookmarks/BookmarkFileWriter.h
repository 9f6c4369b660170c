#pragma once

#include <bookmarks/BookmarkTree.h>

#include <model/ItemTexts.h>

#include <QByteArray>
#include <QHash>
#include <QUuid>
#include <string>
#include <vector>

namespace quillory {

class Item;
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
        // A folder's place in `folders`, by id: a folder deleted while links are still being
        // added may leave its address to another.
        QHash<QUuid, qsizetype> folderIndex;
    };
    // Interface thread.
    static LibraryCopy copyOf(const LibraryStore &store);
    // copyOf() in steps: the folders, then links one item at a time. Interface thread.
    static LibraryCopy copyFolders(const LibraryStore &store);
    // Adds `item` if it has an address; one in a folder copied after the folders reads as
    // at the top level.
    static void addLink(LibraryCopy &library, const Item &item);
    // Thread-safe.
    static BookmarkTree treeOf(const LibraryCopy &library);
    // Interface thread.
    static BookmarkTree treeOf(const LibraryStore &store) { return treeOf(copyOf(store)); }
    // Thread-safe. A comma, which separates tags in the file, becomes a space in a name.
    static QByteArray write(const BookmarkTree &tree);
};

} // namespace quillory
