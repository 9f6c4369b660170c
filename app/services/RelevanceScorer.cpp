#include "RelevanceScorer.h"

#include <Item.h>
#include <SearchText.h>
#include <Tag.h>

#include <algorithm>

namespace quillory {

namespace {

std::vector<std::string_view> splitOnSpaces(std::string_view text)
{
    std::vector<std::string_view> words;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = std::min(text.find(' ', start), text.size());
        if (end > start)
            words.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return words;
}

} // namespace

RelevanceScorer::RelevanceScorer(const QString &query) : m_query(SearchText::fold(query))
{
    for (std::string_view word : splitOnSpaces(m_query.needle()))
        m_words.emplace_back(word);
}

bool RelevanceScorer::mayMatch(const Item &item) const
{
    // Every positive score needs at least one word somewhere: a field holding the whole
    // query holds each word too. The NUL separators keep words from spanning fields.
    if (m_words.empty())
        return true;
    const std::string_view all = item.searchText().all();
    for (const SubstringFinder &word : m_words) {
        if (word.needle().find(SearchText::separator) != std::string::npos)
            return true;
        if (word.foundIn(all))
            return true;
    }
    for (const Tag *tag : item.tags()) {
        for (const SubstringFinder &word : m_words) {
            if (word.foundIn(tag->searchName()))
                return true;
        }
    }
    return false;
}

int RelevanceScorer::score(const Item &item) const
{
    const SearchText &text = item.searchText();
    int score = 0;

    const std::string_view title = text.title();
    if (m_query.foundIn(title)) {
        score += m_query.isPrefixOf(title) ? 150 : 100;
    } else if (std::all_of(m_words.cbegin(), m_words.cend(),
                           [title](const SubstringFinder &w) { return w.foundIn(title); })) {
        score += 60;
    }

    if (const auto note = text.note()) {
        if (m_query.foundIn(*note)) {
            score += 40;
        } else {
            for (const SubstringFinder &w : m_words)
                score += w.foundIn(*note) ? 10 : 0;
        }
    }

    for (const Tag *tag : item.tags()) {
        const std::string &name = tag->searchName();
        if (m_query.foundIn(name))
            score += 30;
        for (const SubstringFinder &w : m_words)
            score += w.foundIn(name) ? 15 : 0;
    }

    if (const auto domain = text.domain(); domain && m_query.foundIn(*domain))
        score += 20;
    if (const auto url = text.url(); url && m_query.foundIn(*url))
        score += 10;
    return score;
}

} // namespace quillory
