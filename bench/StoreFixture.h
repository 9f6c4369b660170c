#pragma once

#include "SyntheticLibrary.h"

#include <model/LibraryStore.h>

#include <QString>
#include <cstddef>
#include <memory>
#include <vector>

namespace quillory::bench {

// A synthetic library saved to a store file by a child process (the benchmark program run
// with the "write-store" command), so the generated records never occupy the measuring
// process and are read back laid out as the application has them.
class StoreFixture final
{
public:
    // The file, written on first use and removed with the process; empty on failure.
    static const QString &path(std::size_t itemCount);
    // That file opened once and kept open for the whole run; null on failure.
    static LibraryStore *opened(std::size_t itemCount);

    // Moves the tags and folders of `library` into `store` (parents first) and hands back
    // its items for the caller to insert.
    static std::vector<std::unique_ptr<Item>> adoptTagsAndFolders(LibraryStore &store,
                                                                  SyntheticLibrary &library);
};

} // namespace quillory::bench
