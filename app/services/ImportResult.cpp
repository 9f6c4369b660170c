#include "ImportResult.h"

#include <CountedNoun.h>

namespace quillory {

QString ImportResult::summary() const
{
    return QStringLiteral("Imported %1, %2, %3")
        .arg(CountedNoun::of(itemsImported, QStringLiteral("item"), QStringLiteral("items")),
             CountedNoun::of(foldersImported, QStringLiteral("folder"), QStringLiteral("folders")),
             CountedNoun::of(tagsImported, QStringLiteral("tag"), QStringLiteral("tags")));
}

} // namespace quillory
