#pragma once

#include <model/StoreFailure.h>

namespace quillory {

class SqliteDatabase;

// The kept pages' tables inside the library's store file, all named page_*. A library
// without them gets them; one of an older version is upgraded in place, in one transaction.
// Anything under those names that this version would not make (a trigger, a changed
// definition, an unknown engine setting) makes the copies unusable, untouched: the library's
// own tables never depend on them, so the library opens as before.
class PageSchema final
{
public:
    static constexpr int version = 2;

    // True when the file holds exactly this version's tables afterwards. A file that cannot
    // be written to is only checked.
    static bool prepare(SqliteDatabase &db, StoreFailure *failure);
};

} // namespace quillory
