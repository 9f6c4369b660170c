#pragma once

#include <bookmarks/BookmarkImportResult.h>
#include <bookmarks/BookmarkTree.h>

#include <QString>
#include <QUuid>
#include <functional>
#include <model/StoreFile.h>
#include <vector>

namespace quillory {

class LibraryStore;

// Turns a bookmark file's tree into new records for the library. A folder the library
// already has under the same parent with the same name is reused, and so is a tag of the
// same name in any case, so importing a file twice does not double the tree; they are
// linked through stand-ins, which lets the records be built off the interface thread.
class BookmarkImporter final
{
public:
    // The folders and tags of the library, as plain values any thread may read.
    struct StoredFolder
    {
        QUuid id;
        QUuid parentId;
        QString name;
    };
    struct StoredTag
    {
        QUuid id;
        QString name;
    };
    struct Library
    {
        std::vector<StoredFolder> folders;
        std::vector<StoredTag> tags;
    };
    struct Records
    {
        StoreFile::Contents contents;
        BookmarkImportResult result;
    };
    using Progress = std::function<void(qsizetype done, qsizetype total)>;

    // The most of a bookmark's own words kept: a hostile file's megabyte title must not
    // become a megabyte title in every list, search and save.
    static constexpr qsizetype nameLimit = 1000;
    static constexpr qsizetype noteLimit = 100'000;
    // The most tags one bookmark is given; the rest of a longer list are left out. Far more
    // than anyone tags a bookmark with, and it bounds the import of a hostile list, since an
    // item checks each tag it is given against every tag it already has.
    static constexpr qsizetype tagLimit = 1000;

    // Interface thread.
    static Library libraryOf(const LibraryStore &store);
    // Thread-safe. The result's pages list the imported web bookmarks.
    static Records records(const BookmarkTree &tree, const Library &library,
                           const Progress &progress = {});
};

} // namespace quillory
