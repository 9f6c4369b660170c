#pragma once

#include <model/SearchText.h>

#include <optional>
#include <string_view>

namespace quillory {

// One item's lower-cased searchable fields, read from its own search text or from a copy
// kept in a search index.
struct SearchFields
{
    std::string_view title;
    std::optional<std::string_view> note;
    std::optional<std::string_view> domain;
    std::optional<std::string_view> url;

    static SearchFields of(const SearchText &text)
    {
        return {text.title(), text.note(), text.domain(), text.url()};
    }
};

} // namespace quillory
