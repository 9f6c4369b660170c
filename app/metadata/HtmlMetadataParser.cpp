#include <metadata/HtmlMetadataParser.h>

#include <html/HtmlEntities.h>

#include <algorithm>
#include <array>
#include <vector>

namespace quillory {

namespace {

// The furthest one <meta> tag may run: from "<meta" to its first '>', or past a quoted
// content value holding '>' to the '>' after that. Real tags are a fraction of this; a
// longer one is skipped, so that no page, however written, gets its text read over and
// over, tag after tag and lookup after lookup.
constexpr qsizetype longestMetaTag = 8 * 1024;

enum class Attribute { Property, Name };
constexpr std::array<Attribute, 2> attributes{Attribute::Property, Attribute::Name};

std::size_t slotOf(Attribute attribute)
{
    return attribute == Attribute::Property ? 0 : 1;
}

QLatin1StringView attributeWord(Attribute attribute)
{
    return attribute == Attribute::Property ? QLatin1StringView("property=")
                                            : QLatin1StringView("name=");
}

bool isAsciiLetter(QChar c, char16_t lower)
{
    return c.unicode() == lower || c.unicode() == lower - (u'a' - u'A');
}

bool isQuote(QChar c)
{
    return c == u'"' || c == u'\'';
}

// Simple case folding, so that a key's "k" also matches the Kelvin sign and its "s" the long
// s, as case-insensitive matching of Unicode text has it.
bool sameIgnoringCase(QChar a, QChar b)
{
    return a == b || a.toCaseFolded() == b.toCaseFolded();
}

// True when `word` (lower-case ASCII) is written at `at`, in either case.
bool hasWordAt(QStringView text, qsizetype at, QLatin1StringView word)
{
    if (at < 0 || at + word.size() > text.size())
        return false;
    for (qsizetype i = 0; i < word.size(); ++i) {
        const char16_t c = text[at + i].unicode();
        const char16_t w = char16_t(word[i].unicode());
        if (c != w && !(w >= u'a' && w <= u'z' && c == w - (u'a' - u'A')))
            return false;
    }
    return true;
}

// Any unpaired surrogate (never produced by decoding bytes) is replaced, so that what is
// read out of the page is always valid text.
QString matchableText(const QString &html)
{
    if (QStringView(html).isValidUtf16())
        return html;
    QString text = html;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (text[i].isSurrogate())
            text[i] = QChar::ReplacementCharacter;
    }
    return text;
}

// Where the next `c` is at or after a position, or the text's size when there is none.
// Asked with positions that never go back, it reads each character at most once, however
// many times it is asked.
class NextChar final
{
public:
    NextChar(QStringView text, char16_t c) : m_text(text), m_c(c) {}

    qsizetype from(qsizetype at)
    {
        if (at < m_scannedFrom || at > m_found) {
            const qsizetype found = m_text.indexOf(QChar(m_c), at);
            m_scannedFrom = at;
            m_found = found < 0 ? m_text.size() : found;
        }
        return m_found;
    }

private:
    QStringView m_text;
    char16_t m_c;
    qsizetype m_scannedFrom = 0;
    qsizetype m_found = -1;
};

// The next "<meta", in either case, at or after `from`; -1 when there is none.
qsizetype nextMetaOpening(QStringView text, qsizetype from)
{
    for (qsizetype at = text.indexOf(u'<', from); at >= 0 && at + 5 <= text.size();
         at = text.indexOf(u'<', at + 1)) {
        if (isAsciiLetter(text[at + 1], u'm') && isAsciiLetter(text[at + 2], u'e') &&
            isAsciiLetter(text[at + 3], u't') && isAsciiLetter(text[at + 4], u'a'))
            return at;
    }
    return -1;
}

// A content value a tag can give: "content=" at `at`, the value up to the quote that
// closes it at `close`, and the first '>' after that quote (or the text's end) at `end`.
struct ContentValue
{
    qsizetype at = 0;
    qsizetype close = 0;
    qsizetype end = 0;
};

struct Range
{
    std::size_t begin = 0;
    std::size_t end = 0;
};

struct MetaTag
{
    Range values;                    // into the index's content values, in page order
    std::array<Range, 2> attributes; // into the index's "property=" and "name=" positions
};

// The tags are read the way `<meta[^>]+K[^>]+C` and then `<meta[^>]+C[^>]+K` would read them,
// case-insensitively and first match first, where K is the key attribute (property="key" or
// name="key", either quote on either side) and C is content="value" or content='value' with
// a non-empty value running to the quote that opened it. Those readings never go past a
// '>' except inside a value, so each tag is looked at only up to its end:
//
// - K then C: a key attribute before the tag's first '>' and a content value after it. The
//   value given is the tag's last one, the one the longest reading reaches.
// - C then K: the tag's last content value with a key attribute after it, before the next
//   '>' (a value may hold '>').
//
// A "<meta" written before the first '>' of an earlier one reads, to those patterns, as part
// of that earlier tag, and can only find what it finds; it is not a tag of its own.
class MetaTagIndex final
{
public:
    explicit MetaTagIndex(const QString &html) : m_text(matchableText(html))
    {
        const QStringView text(m_text);
        Finders finders{NextChar(text, u'>'),
                        {NextChar(text, u'"'), NextChar(text, u'\'')},
                        {NextChar(text, u'>'), NextChar(text, u'>')}};
        qsizetype at = nextMetaOpening(text, 0);
        while (at >= 0) {
            const qsizetype end = finders.bracket.from(at);
            // When the first "<meta" is too far from the '>', a later one close enough
            // finds the same.
            qsizetype start = at;
            for (at = nextMetaOpening(text, at + 1); at >= 0 && at < end;
                 at = nextMetaOpening(text, at + 1)) {
                if (end - start > longestMetaTag)
                    start = at;
            }
            addTag(start, end, finders);
        }
    }

    const QString &text() const { return m_text; }

    std::optional<QString> content(Attribute attribute, QStringView key) const
    {
        // Such a key would run past the end of any tag.
        if (key.contains(u'>'))
            return std::nullopt;
        for (const MetaTag &tag : m_tags) {
            if (const ContentValue *value = keyThenContent(tag, attribute, key))
                return valueText(*value);
        }
        std::vector<qsizetype> keys;
        for (const MetaTag &tag : m_tags) {
            if (const ContentValue *value = contentThenKey(tag, attribute, key, keys))
                return valueText(*value);
        }
        return std::nullopt;
    }

private:
    struct Finders
    {
        NextChar bracket;
        std::array<NextChar, 2> quote;             // " and '
        std::array<NextChar, 2> bracketAfterQuote; // after a value closed by " and by '
    };

    void addTag(qsizetype start, qsizetype end, Finders &finders)
    {
        if (end - start > longestMetaTag)
            return;
        const QStringView text(m_text);
        MetaTag tag;
        tag.values.begin = m_values.size();
        for (const Attribute attribute : attributes)
            tag.attributes[slotOf(attribute)].begin = m_attributes[slotOf(attribute)].size();
        // Every attribute a pattern reads ends in '=', and at least one character stands
        // between "<meta" and it.
        const qsizetype first = start + 6;
        const auto attributesEndingAt = [this, text, first](qsizetype equals) {
            for (const Attribute attribute : attributes) {
                const QLatin1StringView word = attributeWord(attribute);
                const qsizetype at = equals + 1 - word.size();
                if (at >= first && hasWordAt(text, at, word))
                    m_attributes[slotOf(attribute)].push_back(at);
            }
        };

        qsizetype reach = end;
        const QStringView head = text.first(end);
        for (qsizetype equals = head.indexOf(u'=', first); equals >= 0;
             equals = head.indexOf(u'=', equals + 1)) {
            attributesEndingAt(equals);
            const qsizetype at = equals - 7;
            if (at < first || equals + 2 > end || !isQuote(text[equals + 1]) ||
                !hasWordAt(text, at, QLatin1StringView("content=")))
                continue;
            const std::size_t kind = text[equals + 1] == u'"' ? 0 : 1;
            const qsizetype close = finders.quote[kind].from(equals + 2);
            if (close == text.size() || close == equals + 2)
                continue; // never closed, or empty: no value
            const qsizetype after = finders.bracketAfterQuote[kind].from(close + 1);
            m_values.push_back({at, close, after});
            reach = std::max(reach, after);
        }
        if (reach - start > longestMetaTag) {
            m_values.resize(tag.values.begin);
            for (const Attribute attribute : attributes)
                m_attributes[slotOf(attribute)].resize(tag.attributes[slotOf(attribute)].begin);
            return;
        }
        // A key attribute may also follow a value that holds '>'.
        const QStringView whole = text.first(reach);
        for (qsizetype equals = whole.indexOf(u'=', end); equals >= 0;
             equals = whole.indexOf(u'=', equals + 1))
            attributesEndingAt(equals);

        tag.values.end = m_values.size();
        for (const Attribute attribute : attributes)
            tag.attributes[slotOf(attribute)].end = m_attributes[slotOf(attribute)].size();
        m_tags.push_back(tag);
    }

    // The whole key attribute at `at`, where its "property=" or "name=" was found.
    bool keyAt(qsizetype at, Attribute attribute, QStringView key) const
    {
        const QStringView text(m_text);
        qsizetype i = at + attributeWord(attribute).size();
        if (i + key.size() + 2 > text.size() || !isQuote(text[i]))
            return false;
        ++i;
        for (const QChar k : key) {
            if (!sameIgnoringCase(text[i++], k))
                return false;
        }
        return isQuote(text[i]);
    }

    static qsizetype keyLength(Attribute attribute, QStringView key)
    {
        return attributeWord(attribute).size() + key.size() + 2;
    }

    const ContentValue *keyThenContent(const MetaTag &tag, Attribute attribute,
                                       QStringView key) const
    {
        if (tag.values.begin == tag.values.end)
            return nullptr;
        const ContentValue &last = m_values[tag.values.end - 1];
        const Range range = tag.attributes[slotOf(attribute)];
        const std::vector<qsizetype> &positions = m_attributes[slotOf(attribute)];
        for (std::size_t i = range.begin; i < range.end; ++i) {
            const qsizetype at = positions[i];
            // One character at least between the key attribute and "content=".
            if (at + keyLength(attribute, key) >= last.at)
                break;
            if (keyAt(at, attribute, key))
                return &last;
        }
        return nullptr;
    }

    const ContentValue *contentThenKey(const MetaTag &tag, Attribute attribute, QStringView key,
                                       std::vector<qsizetype> &keys) const
    {
        const Range range = tag.attributes[slotOf(attribute)];
        const std::vector<qsizetype> &positions = m_attributes[slotOf(attribute)];
        keys.clear();
        for (std::size_t i = range.begin; i < range.end; ++i) {
            if (keyAt(positions[i], attribute, key))
                keys.push_back(positions[i]);
        }
        if (keys.empty())
            return nullptr;
        for (std::size_t i = tag.values.end; i-- > tag.values.begin;) {
            const ContentValue &value = m_values[i];
            // One character at least between the closing quote and the key attribute.
            const auto next = std::lower_bound(keys.begin(), keys.end(), value.close + 2);
            if (next != keys.end() && *next + keyLength(attribute, key) <= value.end)
                return &value;
        }
        return nullptr;
    }

    QString valueText(const ContentValue &value) const
    {
        return HtmlMetadataParser::decodeEntities(
            QStringView(m_text).sliced(value.at + 9, value.close - value.at - 9));
    }

    QString m_text;
    std::vector<MetaTag> m_tags;
    std::vector<ContentValue> m_values;
    std::array<std::vector<qsizetype>, 2> m_attributes;
};

// The first title element as `<title[^>]*>([^<]+)</title>` finds it, case-insensitively:
// "<title", anything up to the next '>', then text holding no '<' that is followed at once
// by "</title>".
std::optional<QStringView> titleText(QStringView text)
{
    NextChar bracket(text, u'>');
    NextChar opening(text, u'<');
    for (qsizetype at = text.indexOf(u'<'); at >= 0; at = text.indexOf(u'<', at + 1)) {
        if (!hasWordAt(text, at + 1, QLatin1StringView("title")))
            continue;
        const qsizetype open = bracket.from(at + 6);
        if (open == text.size())
            return std::nullopt; // no later "<title" has a '>' either
        const qsizetype close = opening.from(open + 1);
        if (close > open + 1 && hasWordAt(text, close, QLatin1StringView("</title>")))
            return text.sliced(open + 1, close - open - 1);
    }
    return std::nullopt;
}

int digitValue(char16_t c, bool hex)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (hex && c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (hex && c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

struct Reference
{
    qsizetype length = 0; // from '&' to ';' inclusive; 0 when there is no valid reference
    char32_t first = 0;
    char32_t second = 0;
};

// "&#233;" or "&#xE9;" at `at`. Zero, surrogates, values past U+10FFFF and endless digit
// runs are not characters and are left as written.
Reference numericReference(QStringView text, qsizetype at)
{
    qsizetype i = at + 2;
    const bool hex = i < text.size() && (text[i] == u'x' || text[i] == u'X');
    if (hex)
        ++i;
    const qsizetype digitsStart = i;
    char32_t value = 0;
    bool tooLarge = false;
    for (int d; i < text.size() && (d = digitValue(text[i].unicode(), hex)) >= 0; ++i) {
        value = value * (hex ? 16 : 10) + char32_t(d);
        if (value > 0x10FFFF) {
            tooLarge = true;
            value = 0x110000; // keeps the sum from wrapping while the digits run on
        }
    }
    if (i == digitsStart || i >= text.size() || text[i] != u';')
        return {};
    if (tooLarge || value == 0 || (value >= 0xD800 && value <= 0xDFFF))
        return {};
    return {i + 1 - at, value, 0};
}

Reference namedReference(QStringView text, qsizetype at)
{
    std::array<char, longestHtmlEntityName> name{};
    std::size_t length = 0;
    qsizetype i = at + 1;
    for (; i < text.size() && length < name.size(); ++i, ++length) {
        const char16_t c = text[i].unicode();
        const bool alnum =
            (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
        if (!alnum)
            break;
        name[length] = char(c);
    }
    if (length == 0 || i >= text.size() || text[i] != u';')
        return {};
    const std::string_view key(name.data(), length);
    const HtmlEntity *entity = findHtmlEntity(key);
    if (entity == nullptr)
        return {};
    // A no-break space in a title or summary only gets in the way of trimming and wrapping.
    if (key == "nbsp")
        return {i + 1 - at, U' ', 0};
    return {i + 1 - at, entity->first, entity->second};
}

void appendCodePoint(QString &out, char32_t c)
{
    if (QChar::requiresSurrogates(c)) {
        out.append(QChar(QChar::highSurrogate(c)));
        out.append(QChar(QChar::lowSurrogate(c)));
    } else {
        out.append(QChar(char16_t(c)));
    }
}

} // namespace

FetchedMetadata HtmlMetadataParser::parse(const QString &html, const QUrl &baseURL)
{
    const MetaTagIndex tags(html);
    const auto byProperty = [&tags](const QString &key) {
        return tags.content(Attribute::Property, key);
    };
    const auto byName = [&tags](const QString &key) { return tags.content(Attribute::Name, key); };

    FetchedMetadata m;
    m.title = byProperty(QStringLiteral("og:title"));
    m.description = byProperty(QStringLiteral("og:description"));
    m.imageURL = byProperty(QStringLiteral("og:image"));
    m.siteName = byProperty(QStringLiteral("og:site_name"));
    if (!m.title)
        m.title = byName(QStringLiteral("twitter:title"));
    if (!m.description)
        m.description = byName(QStringLiteral("twitter:description"));
    if (!m.imageURL)
        m.imageURL = byName(QStringLiteral("twitter:image"));
    if (!m.description)
        m.description = byName(QStringLiteral("description"));
    m.author = byName(QStringLiteral("author"));
    if (!m.title) {
        if (const std::optional<QStringView> title = titleText(tags.text()))
            m.title = decodeEntities(*title);
    }

    // Anything not starting "http" is taken as relative to the page: "/a.png", "a.png",
    // "//cdn/a.png", and also "HTTP://..." which resolving leaves absolute.
    if (m.imageURL && !m.imageURL->startsWith(QStringLiteral("http"))) {
        const QUrl reference(*m.imageURL, QUrl::TolerantMode);
        if (reference.isValid())
            m.imageURL = baseURL.resolved(reference).toString(QUrl::FullyEncoded);
    }
    if (m.title)
        m.title = m.title->trimmed();
    if (m.description)
        m.description = m.description->trimmed();
    return m;
}

std::optional<QString> HtmlMetadataParser::metaContentByProperty(const QString &html,
                                                                 const QString &key)
{
    return MetaTagIndex(html).content(Attribute::Property, key);
}

std::optional<QString> HtmlMetadataParser::metaContentByName(const QString &html,
                                                             const QString &key)
{
    return MetaTagIndex(html).content(Attribute::Name, key);
}

QString HtmlMetadataParser::decodeEntities(QStringView text)
{
    qsizetype at = text.indexOf(u'&');
    if (at < 0)
        return text.toString();

    // One pass, left to right: decoded text is never looked at again, so "&amp;lt;"
    // becomes "&lt;" and not "<".
    QString out;
    out.reserve(text.size());
    qsizetype copied = 0;
    while (at >= 0) {
        const bool numeric = at + 1 < text.size() && text[at + 1] == u'#';
        const Reference ref = numeric ? numericReference(text, at) : namedReference(text, at);
        if (ref.length == 0) {
            at = text.indexOf(u'&', at + 1);
            continue;
        }
        out.append(text.mid(copied, at - copied));
        appendCodePoint(out, ref.first);
        if (ref.second != 0)
            appendCodePoint(out, ref.second);
        copied = at + ref.length;
        at = text.indexOf(u'&', copied);
    }
    out.append(text.mid(copied));
    return out;
}

} // namespace quillory
