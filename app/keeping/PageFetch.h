#pragma once

#include <metadata/MetadataService.h>

#include <QUrl>
#include <QUuid>
#include <functional>

class QObject;

namespace quillory {

class KeptPages;

// One fetch of an item's page and what it leaves with the kept pages: the answer always,
// and the page itself when a copy is asked for and the page could be read. A new item's
// enrichment and the keeping queue both fetch through it.
class PageFetch final
{
public:
    enum class Copy { Keep, Skip };

    // `done` runs on the context's thread, never once the context is destroyed (which also
    // abandons the transfer). `stillWanted` is asked when the answer arrives: an item
    // deleted meanwhile leaves nothing behind. Null `pages` records nothing.
    static void run(MetadataService &metadata, KeptPages *pages, const QUuid &itemId,
                    const QUrl &url, Copy copy, const QObject *context,
                    std::function<bool()> stillWanted,
                    std::function<void(const PageOutcome &)> done);

    // The answer a fetch counts as, as FetchAnswer spells it.
    static int answerOf(const ServedPage &served);
};

} // namespace quillory
