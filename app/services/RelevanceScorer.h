#pragma once

#include "SubstringFinder.h"

#include <QString>
#include <unordered_map>
#include <vector>

namespace quillory {

class Item;
class Tag;

// Scores items against one query: the query as a whole and its space-separated words,
// tested as plain substrings of the lower-cased title, note, tag names, source domain and
// URL. Built once per search; score() may run on several threads at once, each with its
// own TagScores.
class RelevanceScorer final
{
public:
    // What each tag adds for this query; tags are few and shared by many items.
    using TagScores = std::unordered_map<const Tag *, int>;

    // `query` is lower-cased here; it is not trimmed.
    explicit RelevanceScorer(const QString &query);

    int score(const Item &item) const;
    int score(const Item &item, TagScores &tagScores) const;

private:
    // Bit per search-text field (title, note, domain, URL) that contains the needle.
    unsigned fieldsContaining(const SubstringFinder &needle, const Item &item) const;
    int tagScore(const Tag &tag) const;

    SubstringFinder m_query;
    std::vector<SubstringFinder> m_words;
    bool m_queryIsOneWord = false;
    bool m_needlesSpanFields = false; // a needle holding the field separator
};

} // namespace quillory
