#pragma once

#include <QString>

namespace quillory {

// What a finished import added: one new record for every record in the file.
struct ImportResult
{
    bool success = false;
    int itemsImported = 0;
    int foldersImported = 0;
    int tagsImported = 0;
    int foldersMovedUp = 0; // nested too deep (FolderNesting)

    // "Imported 3 items, 1 folders, 2 tags", and foldersMovedUpText() when some were.
    QString summary() const;
    // "2,000 folders lay deeper than 64 levels and were moved up to level 64."
    static QString foldersMovedUpText(qsizetype count);
    bool operator==(const ImportResult &) const = default;
};

} // namespace quillory
