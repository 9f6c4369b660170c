#include <search/RelevanceScorer.h>

#include <model/Item.h>
#include <model/SearchText.h>
#include <model/Tag.h>

#include <algorithm>

namespace quillory {

namespace {

constexpr unsigned titleBit = 1u << SearchText::Title;
constexpr unsigned noteBit = 1u << SearchText::Note;
constexpr unsigned domainBit = 1u << SearchText::Domain;
constexpr unsigned urlBit = 1u << SearchText::Url;

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
    m_queryIsOneWord = m_words.size() == 1 && m_words.front().needle() == m_query.needle();
    m_needlesSpanFields = m_query.needle().find(SearchText::separator) != std::string::npos;
}

unsigned RelevanceScorer::fieldsContaining(const SubstringFinder &needle, const Item &item) const
{
    const SearchText &text = item.searchText();
    const std::string_view all = text.all();
    unsigned fields = 0;
    if (m_needlesSpanFields || needle.needle().empty()) {
        // Field by field, so a needle can never join the end of one field to the next.
        const auto test = [&](const std::optional<std::string_view> &field, unsigned bit) {
            if (field && needle.foundIn(*field))
                fields |= bit;
        };
        test(text.title(), titleBit);
        test(text.note(), noteBit);
        test(text.domain(), domainBit);
        test(text.url(), urlBit);
        return fields;
    }
    // One scan over all fields: after a hit, skip to the next field.
    size_t from = 0;
    while (from < all.size()) {
        const size_t hit = needle.find(all.substr(from));
        if (hit == std::string_view::npos)
            break;
        const SearchText::Field field = text.fieldAt(from + hit);
        fields |= 1u << field;
        from = text.endOf(field);
    }
    return fields;
}

int RelevanceScorer::tagScore(const Tag &tag) const
{
    const std::string &name = tag.searchName();
    int score = m_query.foundIn(name) ? 30 : 0;
    if (m_queryIsOneWord)
        return score + (score > 0 ? 15 : 0);
    for (const SubstringFinder &w : m_words)
        score += w.foundIn(name) ? 15 : 0;
    return score;
}

int RelevanceScorer::score(const Item &item) const
{
    TagScores scores;
    return score(item, scores);
}

int RelevanceScorer::tagsScore(const Item &item, TagScores &tagScores) const
{
    int score = 0;
    for (const Tag *tag : item.tags()) {
        auto it = tagScores.find(tag);
        if (it == tagScores.end())
            it = tagScores.emplace(tag, tagScore(*tag)).first;
        score += it->second;
    }
    return score;
}

int RelevanceScorer::score(const Item &item, TagScores &tagScores) const
{
    // At most a few words are typed; a pasted paragraph goes to the heap.
    constexpr size_t onStack = 16;
    unsigned stackFields[onStack];
    std::vector<unsigned> heapFields;
    unsigned *wordFields = stackFields;
    if (m_words.size() > onStack) {
        heapFields.resize(m_words.size());
        wordFields = heapFields.data();
    }
    for (size_t w = 0; w < m_words.size(); ++w)
        wordFields[w] = fieldsContaining(m_words[w], item);
    return score(item, wordFields, SearchFields::of(item.searchText()), tagScores);
}

int RelevanceScorer::textScore(const unsigned *wordFields, const SearchFields &fields,
                               int fromTags) const
{
    int score = fromTags;

    unsigned inAllWords = titleBit | noteBit | domainBit | urlBit;
    unsigned inAnyWord = 0;
    for (size_t w = 0; w < m_words.size(); ++w) {
        inAllWords &= wordFields[w];
        inAnyWord |= wordFields[w];
    }
    if (m_words.empty())
        inAllWords = 0;
    if (inAnyWord == 0 && !m_words.empty())
        return score;
    // Every field holding the whole query holds each word too, so the query is looked for
    // only in the fields holding all of them.
    unsigned queryFields = 0;
    if (m_queryIsOneWord) {
        queryFields = wordFields[0];
    } else {
        const unsigned candidates =
            m_words.empty() ? (titleBit | noteBit | domainBit | urlBit) : inAllWords;
        const auto test = [&](const std::optional<std::string_view> &field, unsigned bit) {
            if ((candidates & bit) && field && m_query.foundIn(*field))
                queryFields |= bit;
        };
        test(fields.title, titleBit);
        test(fields.note, noteBit);
        test(fields.domain, domainBit);
        test(fields.url, urlBit);
    }

    if (queryFields & titleBit)
        score += m_query.isPrefixOf(fields.title) ? 150 : 100;
    else if (std::all_of(wordFields, wordFields + m_words.size(),
                         [](unsigned f) { return f & titleBit; }))
        score += 60;

    if (fields.note) {
        if (queryFields & noteBit) {
            score += 40;
        } else {
            for (size_t w = 0; w < m_words.size(); ++w)
                score += (wordFields[w] & noteBit) ? 10 : 0;
        }
    }
    if (queryFields & domainBit)
        score += 20;
    if (queryFields & urlBit)
        score += 10;
    return score;
}

} // namespace quillory
