#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

namespace quillory {

// What a page says about itself. `imageURL` is absolute text when the page's value could be
// resolved; `publishDate` is never filled by the fetcher.
struct FetchedMetadata
{
    std::optional<QString> title;
    std::optional<QString> description;
    std::optional<QString> imageURL;
    std::optional<QString> siteName;
    std::optional<QString> author;
    std::optional<QDateTime> publishDate;

    bool operator==(const FetchedMetadata &) const = default;
};

} // namespace quillory
