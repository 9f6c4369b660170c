#pragma once

#include <QString>
#include <QUrl>
#include <QUuid>
#include <memory>
#include <vector>

namespace quillory {

// What an import of a bookmark file did.
struct BookmarkImportResult
{
    // A page an imported bookmark holds, to fetch its details later if the user wants.
    struct Page
    {
        QUuid itemId;
        QUrl url;
        bool keepTitle = true; // the bookmark had a title of its own
    };
    // Shared, since a large import has many: copies of the result cost nothing, and the
    // last owner can let go of them off the interface thread.
    using Pages = std::vector<Page>;

    int bookmarksImported = 0;
    int foldersCreated = 0;
    int foldersReused = 0;
    int tagsCreated = 0;
    int skipped = 0;
    int foldersMovedUp = 0; // nested too deep (FolderNesting)
    std::shared_ptr<const Pages> pages = std::make_shared<const Pages>();

    // "Imported 1,200 bookmarks into 8 new folders and 3 existing ones, with 5 new tags.
    // Skipped 4 entries only a browser uses (separators, scripts, feeds).", the numbers
    // written as the user's locale writes them, then ImportResult::foldersMovedUpText().
    QString summary() const;
};

} // namespace quillory
