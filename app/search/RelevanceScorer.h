#pragma once

#include <search/SearchFields.h>
#include <search/SubstringFinder.h>

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
    // The same score, for an item whose fields holding each word were found already (by a
    // scan of many items at once): `wordFields[w]` has bit SearchText::Field set for every
    // field holding word w, and `fields` is the item's text.
    int score(const Item &item, const unsigned *wordFields, const SearchFields &fields,
              TagScores &tagScores) const
    {
        return textScore(wordFields, fields, tagsScore(item, tagScores));
    }
    // The same, with what the item's tags add summed already.
    int textScore(const unsigned *wordFields, const SearchFields &fields, int fromTags) const;

    // What one tag carried by an item adds to its score.
    int tagScore(const Tag &tag) const;
    const std::vector<SubstringFinder> &words() const { return m_words; }
    // False when a needle holds the field separator, so that a scan over fields laid end
    // to end could join two of them.
    bool wordsStayInsideFields() const { return !m_needlesSpanFields && !m_words.empty(); }

private:
    // Bit per search-text field (title, note, domain, URL) that contains the needle.
    unsigned fieldsContaining(const SubstringFinder &needle, const Item &item) const;
    int tagsScore(const Item &item, TagScores &tagScores) const;

    SubstringFinder m_query;
    std::vector<SubstringFinder> m_words;
    bool m_queryIsOneWord = false;
    bool m_needlesSpanFields = false; // a needle holding the field separator
};

} // namespace quillory
