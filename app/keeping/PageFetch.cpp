#include <keeping/PageFetch.h>

#include <model/Clock.h>
#include <pages/KeptPages.h>
#include <pages/LinkHealth.h>

namespace quillory {

int PageFetch::answerOf(const ServedPage &served)
{
    if (served.hostNotFound)
        return FetchAnswer::HostNotFound;
    if (served.httpStatus >= 100 && served.httpStatus <= 599)
        return served.httpStatus;
    return FetchAnswer::NoAnswer;
}

void PageFetch::run(MetadataService &metadata, KeptPages *pages, const QUuid &itemId,
                    const QUrl &url, Copy copy, const QObject *context,
                    std::function<bool()> stillWanted,
                    std::function<void(const PageOutcome &)> done)
{
    metadata.fetchPage(
        url, context,
        [pages, itemId, copy, stillWanted = std::move(stillWanted),
         done = std::move(done)](const PageOutcome &outcome) {
            if (pages != nullptr && (!stillWanted || stillWanted())) {
                const ServedPage &served = outcome.served;
                pages->recordAnswer(itemId, answerOf(served));
                // A page whose details could not be read is no page to keep.
                if (copy == Copy::Keep && !outcome.metadata.error && !served.body.isEmpty())
                    pages->keep(itemId,
                                {Clock::nowMSecs(), served.finalUrl.toString(), served.httpStatus,
                                 served.body, served.contentType, served.truncated});
            }
            if (done)
                done(outcome);
        });
}

} // namespace quillory
