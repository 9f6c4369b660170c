#pragma once

#include "SubstringFinder.h"

#include <QString>
#include <vector>

namespace quillory {

class Item;

// Scores items against one query: the query as a whole and its space-separated words,
// tested as plain substrings of the lower-cased title, note, tag names, source domain and
// URL. Built once per search; score() is safe to call from several threads at once.
class RelevanceScorer final
{
public:
    // `query` is lower-cased here; it is not trimmed.
    explicit RelevanceScorer(const QString &query);

    int score(const Item &item) const;
    // False only when score() is certainly 0; cheaper than scoring.
    bool mayMatch(const Item &item) const;

private:
    SubstringFinder m_query;
    std::vector<SubstringFinder> m_words;
};

} // namespace quillory
