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

    // "Imported 3 items, 1 folders, 2 tags"
    QString summary() const;
    bool operator==(const ImportResult &) const = default;
};

} // namespace quillory
