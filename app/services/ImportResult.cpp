#include "ImportResult.h"

namespace quillory {

QString ImportResult::summary() const
{
    return QStringLiteral("Imported %1 items, %2 folders, %3 tags")
        .arg(itemsImported)
        .arg(foldersImported)
        .arg(tagsImported);
}

} // namespace quillory
