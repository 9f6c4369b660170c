#include <readable/MarkupFilter.h>

#include <readable/FlatDocument.h>

#include <gumbo.h>

#include <algorithm>
#include <vector>

namespace quillory {

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char lowered(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
}

// Elements a tree never holds open: void ones, and those the parser closes by itself when
// the next of their kind (or their container's end) comes.
bool isUncounted(GumboTag tag)
{
    switch (tag) {
    case GUMBO_TAG_AREA:
    case GUMBO_TAG_BASE:
    case GUMBO_TAG_BASEFONT:
    case GUMBO_TAG_BGSOUND:
    case GUMBO_TAG_BR:
    case GUMBO_TAG_COL:
    case GUMBO_TAG_EMBED:
    case GUMBO_TAG_FRAME:
    case GUMBO_TAG_HR:
    case GUMBO_TAG_IMAGE:
    case GUMBO_TAG_IMG:
    case GUMBO_TAG_INPUT:
    case GUMBO_TAG_KEYGEN:
    case GUMBO_TAG_LINK:
    case GUMBO_TAG_META:
    case GUMBO_TAG_PARAM:
    case GUMBO_TAG_SOURCE:
    case GUMBO_TAG_TRACK:
    case GUMBO_TAG_WBR:
    case GUMBO_TAG_P:
    case GUMBO_TAG_LI:
    case GUMBO_TAG_DT:
    case GUMBO_TAG_DD:
    case GUMBO_TAG_OPTION:
    case GUMBO_TAG_OPTGROUP:
    case GUMBO_TAG_TR:
    case GUMBO_TAG_TD:
    case GUMBO_TAG_TH:
    case GUMBO_TAG_THEAD:
    case GUMBO_TAG_TBODY:
    case GUMBO_TAG_TFOOT:
    case GUMBO_TAG_CAPTION:
    case GUMBO_TAG_COLGROUP:
    case GUMBO_TAG_RB:
    case GUMBO_TAG_RT:
    case GUMBO_TAG_RP:
    case GUMBO_TAG_RTC:
    case GUMBO_TAG_A:
    case GUMBO_TAG_HTML:
    case GUMBO_TAG_HEAD:
    case GUMBO_TAG_BODY:
        return true;
    default:
        return false;
    }
}

// The elements a parser reopens by itself wherever text follows their end, each reopening
// nesting all of them again: a page that leaves many open would make the tree grow by that
// many elements at every word.
bool isFormatting(GumboTag tag)
{
    switch (tag) {
    case GUMBO_TAG_B:
    case GUMBO_TAG_BIG:
    case GUMBO_TAG_CODE:
    case GUMBO_TAG_EM:
    case GUMBO_TAG_FONT:
    case GUMBO_TAG_I:
    case GUMBO_TAG_NOBR:
    case GUMBO_TAG_S:
    case GUMBO_TAG_SMALL:
    case GUMBO_TAG_STRIKE:
    case GUMBO_TAG_STRONG:
    case GUMBO_TAG_TT:
    case GUMBO_TAG_U:
        return true;
    default:
        return false;
    }
}

constexpr size_t formattingLimit = 8;

// Where a block's end tag stops looking for its element.
bool isScopeBoundary(GumboTag tag)
{
    switch (tag) {
    case GUMBO_TAG_APPLET:
    case GUMBO_TAG_CAPTION:
    case GUMBO_TAG_HTML:
    case GUMBO_TAG_TABLE:
    case GUMBO_TAG_TD:
    case GUMBO_TAG_TH:
    case GUMBO_TAG_MARQUEE:
    case GUMBO_TAG_OBJECT:
    case GUMBO_TAG_TEMPLATE:
        return true;
    default:
        return false;
    }
}

// Where any other end tag stops: it never closes a block it is inside.
bool isSpecial(GumboTag tag)
{
    return isScopeBoundary(tag) || FlatDocument::isBlockTag(tag) || tag == GUMBO_TAG_BUTTON ||
           tag == GUMBO_TAG_SELECT || tag == GUMBO_TAG_IFRAME || tag == GUMBO_TAG_TEXTAREA;
}

enum class Content { Markup, Dropped, Kept, RestIsText };

// What follows a start tag until its end tag: raw text a reader never sees is dropped,
// escapable text (a title) is kept but not read as tags.
Content contentOf(GumboTag tag)
{
    switch (tag) {
    case GUMBO_TAG_SCRIPT:
    case GUMBO_TAG_STYLE:
    case GUMBO_TAG_XMP:
    case GUMBO_TAG_IFRAME:
    case GUMBO_TAG_NOEMBED:
    case GUMBO_TAG_NOFRAMES:
    case GUMBO_TAG_NOSCRIPT:
        return Content::Dropped;
    case GUMBO_TAG_TITLE:
    case GUMBO_TAG_TEXTAREA:
        return Content::Kept;
    case GUMBO_TAG_PLAINTEXT:
        return Content::RestIsText;
    default:
        return Content::Markup;
    }
}

class Filter final
{
public:
    Filter(std::string_view in, const MarkupFilter::Limits &limits) : m_in(in), m_limits(limits)
    {
        m_out.reserve(in.size());
    }

    std::string run();

private:
    // Where a tag that opens at `at` ends (just past its '>'); npos when the input ends
    // first, as the tokenizer then drops the tag.
    size_t tagEnd(size_t at) const;
    size_t commentEnd(size_t at) const;
    // Where "</name" closing a raw text element starts; the input's end when none does.
    size_t rawTextEnd(size_t from, std::string_view name) const;
    void drop(size_t from, size_t to)
    {
        m_out.append(m_in.substr(m_copied, from - m_copied));
        m_copied = to;
    }
    void close(GumboTag tag);
    // Ends the formatting elements left open before the block tag at `at`: the parser would
    // reopen them in every block to come, and no reader sees what they format.
    void endFormatting(size_t at);

    std::string_view m_in;
    const MarkupFilter::Limits &m_limits;
    std::string m_out;
    size_t m_copied = 0;
    std::vector<GumboTag> m_open;
    int m_foreign = 0; // open <svg> and <math>, where "/>" closes any element
    // Formatting elements opened and not yet closed, oldest first.
    std::vector<GumboTag> m_formatting;
    qsizetype m_elements = 0;
};

size_t Filter::tagEnd(size_t at) const
{
    const size_t size = m_in.size();
    while (at < size && !isSpace(m_in[at]) && m_in[at] != '/' && m_in[at] != '>')
        ++at;
    for (;;) {
        while (at < size && (isSpace(m_in[at]) || m_in[at] == '/'))
            ++at;
        if (at >= size)
            return std::string_view::npos;
        if (m_in[at] == '>')
            return at + 1;
        ++at; // an attribute name's first character may be '='
        while (at < size && !isSpace(m_in[at]) && m_in[at] != '/' && m_in[at] != '>' &&
               m_in[at] != '=')
            ++at;
        while (at < size && isSpace(m_in[at]))
            ++at;
        if (at >= size || m_in[at] != '=')
            continue;
        ++at;
        while (at < size && isSpace(m_in[at]))
            ++at;
        if (at >= size)
            return std::string_view::npos;
        if (m_in[at] == '"' || m_in[at] == '\'') {
            const size_t close = m_in.find(m_in[at], at + 1);
            if (close == std::string_view::npos)
                return close;
            at = close + 1;
            continue;
        }
        while (at < size && !isSpace(m_in[at]) && m_in[at] != '>')
            ++at;
    }
}

size_t Filter::commentEnd(size_t at) const
{
    size_t p = at + 4;
    if (p < m_in.size() && m_in[p] == '>')
        return p + 1;
    if (m_in.substr(p, 2) == "->")
        return p + 2;
    for (;;) {
        const size_t dashes = m_in.find("--", p);
        if (dashes == std::string_view::npos)
            return m_in.size();
        if (m_in.substr(dashes + 2, 1) == ">")
            return dashes + 3;
        if (m_in.substr(dashes + 2, 2) == "!>")
            return dashes + 4;
        p = dashes + 1;
    }
}

size_t Filter::rawTextEnd(size_t from, std::string_view name) const
{
    for (size_t at = m_in.find("</", from); at != std::string_view::npos;
         at = m_in.find("</", at + 2)) {
        const size_t after = at + 2 + name.size();
        if (after > m_in.size())
            break;
        bool same = true;
        for (size_t i = 0; i < name.size() && same; ++i)
            same = lowered(m_in[at + 2 + i]) == name[i];
        if (same && (after == m_in.size() || isSpace(m_in[after]) || m_in[after] == '/' ||
                     m_in[after] == '>'))
            return at;
    }
    return m_in.size();
}

void Filter::close(GumboTag tag)
{
    if (isFormatting(tag)) {
        const auto open = std::find(m_formatting.rbegin(), m_formatting.rend(), tag);
        if (open != m_formatting.rend())
            m_formatting.erase(std::next(open).base());
        // The parser may keep blocks opened inside it open past its end, so only an element
        // on top is taken as closed.
        if (!m_open.empty() && m_open.back() == tag)
            m_open.pop_back();
        return;
    }
    // Only the nearest few are searched, so that stray end tags cost nothing; an element
    // missed here stays counted, which can only flatten earlier.
    const bool block = isSpecial(tag);
    const size_t searched = std::min<size_t>(m_open.size(), 32);
    for (size_t i = 1; i <= searched; ++i) {
        const GumboTag open = m_open[m_open.size() - i];
        if (open != tag) {
            if (block ? isScopeBoundary(open) : isSpecial(open))
                return;
            continue;
        }
        for (size_t n = 0; n < i; ++n) {
            const GumboTag popped = m_open.back();
            m_open.pop_back();
            if (popped == GUMBO_TAG_SVG || popped == GUMBO_TAG_MATH)
                --m_foreign;
        }
        return;
    }
}

void Filter::endFormatting(size_t at)
{
    m_out.append(m_in.substr(m_copied, at - m_copied));
    m_copied = at;
    for (auto open = m_formatting.rbegin(); open != m_formatting.rend(); ++open) {
        m_out += "</";
        m_out += gumbo_normalized_tagname(*open);
        m_out += '>';
        if (!m_open.empty() && m_open.back() == *open)
            m_open.pop_back();
    }
    m_formatting.clear();
}

std::string Filter::run()
{
    const size_t size = m_in.size();
    size_t at = 0;
    while ((at = m_in.find('<', at)) != std::string_view::npos) {
        if (m_in.substr(at, 4) == "<!--") {
            const size_t end = commentEnd(at);
            drop(at, end);
            at = end;
            continue;
        }
        const char next = at + 1 < size ? m_in[at + 1] : '\0';
        if (next == '!' || next == '?') {
            const size_t close = m_in.find('>', at);
            if (close == std::string_view::npos)
                break;
            at = close + 1;
            continue;
        }
        const bool closing = next == '/';
        const size_t nameStart = at + (closing ? 2 : 1);
        if (nameStart >= size || !isLetter(m_in[nameStart])) {
            ++at;
            continue;
        }
        const size_t end = tagEnd(nameStart);
        if (end == std::string_view::npos)
            break;
        size_t nameEnd = nameStart;
        while (nameEnd < end && !isSpace(m_in[nameEnd]) && m_in[nameEnd] != '/' &&
               m_in[nameEnd] != '>')
            ++nameEnd;
        const std::string_view name = m_in.substr(nameStart, nameEnd - nameStart);
        const GumboTag tag = gumbo_tagn_enum(name.data(), unsigned(name.size()));
        const bool formatting = isFormatting(tag);
        if (!formatting && !m_formatting.empty() && isSpecial(tag))
            endFormatting(at);
        if (closing) {
            close(tag);
            at = end;
            continue;
        }
        const bool selfClosed = m_foreign > 0 && end >= 2 && m_in[end - 2] == '/';
        const bool counted = !isUncounted(tag) && !selfClosed;
        const bool kept = ++m_elements <= m_limits.elements &&
                          (!counted || m_open.size() < size_t(m_limits.depth)) &&
                          (!formatting || m_formatting.size() < formattingLimit);
        if (kept && formatting)
            m_formatting.push_back(tag);
        if (!kept) {
            drop(at, end);
        } else if (counted) {
            m_open.push_back(tag);
            if (tag == GUMBO_TAG_SVG || tag == GUMBO_TAG_MATH)
                ++m_foreign;
        }
        at = end;
        const Content content = contentOf(tag);
        if (content == Content::RestIsText)
            break;
        if (content == Content::Markup)
            continue;
        const char *const known = gumbo_normalized_tagname(tag);
        const size_t contentEnd = rawTextEnd(end, known);
        if (content == Content::Dropped)
            drop(end, contentEnd);
        at = contentEnd;
    }
    m_out.append(m_in.substr(std::min(m_copied, size)));
    return std::move(m_out);
}

} // namespace

std::string MarkupFilter::filter(std::string_view html, const Limits &limits)
{
    return Filter(html, limits).run();
}

} // namespace quillory
