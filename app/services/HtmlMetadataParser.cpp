#include "HtmlMetadataParser.h"

#include "HtmlEntities.h"

#include <QHash>
#include <QRegularExpression>
#include <QStringDecoder>
#include <algorithm>
#include <array>
#include <vector>

namespace quillory {

namespace {

enum class Attribute { Property, Name };

// The two tag shapes tried for one key: the key's attribute before content, then after.
// A content value runs to the closing quote of the kind that opened it, so an apostrophe
// inside double quotes stays part of the value.
struct MetaPatterns
{
    std::array<QRegularExpression, 2> tries;
};

const MetaPatterns &metaPatterns(Attribute attribute, const QString &key)
{
    // Compiled once per thread: QRegularExpression is only reentrant, not thread-safe.
    thread_local QHash<QString, MetaPatterns> compiled;
    const QString attr =
        attribute == Attribute::Property ? QStringLiteral("property") : QStringLiteral("name");
    const QString id = attr + u'=' + key;
    auto it = compiled.find(id);
    if (it != compiled.end())
        return *it;

    const QString content = QStringLiteral("content=(?:\"([^\"]+)\"|'([^']+)')");
    const QString keyed =
        attr + QStringLiteral("=[\"']") + QRegularExpression::escape(key) + QStringLiteral("[\"']");
    MetaPatterns patterns;
    patterns.tries[0].setPattern(QStringLiteral("<meta[^>]+") + keyed + QStringLiteral("[^>]+") +
                                 content);
    patterns.tries[1].setPattern(QStringLiteral("<meta[^>]+") + content + QStringLiteral("[^>]+") +
                                 keyed);
    for (QRegularExpression &re : patterns.tries) {
        re.setPatternOptions(QRegularExpression::CaseInsensitiveOption);
        re.optimize();
    }
    return *compiled.insert(id, patterns);
}

const QRegularExpression &titlePattern()
{
    thread_local const QRegularExpression re = [] {
        QRegularExpression r(QStringLiteral("<title[^>]*>([^<]+)</title>"),
                             QRegularExpression::CaseInsensitiveOption);
        r.optimize();
        return r;
    }();
    return re;
}

bool isAsciiLetter(QChar c, char16_t lower)
{
    return c.unicode() == lower || c.unicode() == lower - (u'a' - u'A');
}

// The regular expressions are run without their per-call UTF-16 check, which would read
// the whole page again on every call; instead the page is checked once here, and any
// unpaired surrogate (never produced by decoding bytes) is replaced.
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

constexpr QRegularExpression::MatchOptions uncheckedAnchored =
    QRegularExpression::AnchorAtOffsetMatchOption |
    QRegularExpression::DontCheckSubjectStringMatchOption;

// True when `word` (lower-case ASCII) is written at `at`, in either case.
bool hasWordAt(QStringView text, qsizetype at, QLatin1StringView word)
{
    if (at + word.size() > text.size())
        return false;
    for (qsizetype i = 0; i < word.size(); ++i) {
        const char16_t c = text[at + i].unicode();
        const char16_t w = char16_t(word[i].unicode());
        if (c != w && !(w >= u'a' && w <= u'z' && c == w - (u'a' - u'A')))
            return false;
    }
    return true;
}

bool containsWord(QStringView text, qsizetype from, qsizetype to, QLatin1StringView word)
{
    for (qsizetype i = from; i + word.size() <= to; ++i) {
        if (hasWordAt(text, i, word))
            return true;
    }
    return false;
}

// One "<meta" opening and which key attributes a pattern anchored there could reach.
struct MetaTag
{
    qsizetype start = 0;
    bool property = false;
    bool name = false;
};

// A match reads "attr=" either before the tag's first '>' or, after a quoted content value
// (which may hold '>'), before the next '>'. Looking for "property=" and "name=" in that
// stretch rules out most tags (microdata's itemprop ones, say) without running a pattern.
MetaTag scanTag(QStringView text, qsizetype start)
{
    const auto endFrom = [text](qsizetype from) {
        const qsizetype at = text.indexOf(u'>', from);
        return at < 0 ? text.size() : at;
    };
    const qsizetype end = endFrom(start);
    qsizetype reach = end;
    for (qsizetype i = start; i < end; ++i) {
        if (!hasWordAt(text, i, QLatin1StringView("content=")) || i + 8 >= text.size())
            continue;
        const QChar quote = text[i + 8];
        if (quote != u'"' && quote != u'\'')
            continue;
        const qsizetype close = text.indexOf(quote, i + 9);
        if (close >= 0)
            reach = std::max(reach, endFrom(close + 1));
    }
    return {start, containsWord(text, start, reach, QLatin1StringView("property=")),
            containsWord(text, start, reach, QLatin1StringView("name="))};
}

// Every match of a meta pattern begins at "<meta", so the page is scanned for those
// openings once, and each pattern is then tried anchored at each of them in page order.
// That finds the same first match as searching the whole text, without rescanning a
// large page once per pattern.
class MetaTagIndex final
{
public:
    explicit MetaTagIndex(const QString &html) : m_text(matchableText(html))
    {
        const QStringView text(m_text);
        for (qsizetype at = text.indexOf(u'<'); at >= 0 && at + 5 <= text.size();
             at = text.indexOf(u'<', at + 1)) {
            if (isAsciiLetter(text[at + 1], u'm') && isAsciiLetter(text[at + 2], u'e') &&
                isAsciiLetter(text[at + 3], u't') && isAsciiLetter(text[at + 4], u'a'))
                m_tags.push_back(scanTag(text, at));
        }
    }

    const QString &text() const { return m_text; }

    std::optional<QString> content(Attribute attribute, const QString &key) const
    {
        for (const QRegularExpression &re : metaPatterns(attribute, key).tries) {
            for (const MetaTag &tag : m_tags) {
                if (!(attribute == Attribute::Property ? tag.property : tag.name))
                    continue;
                const QRegularExpressionMatch m =
                    re.match(m_text, tag.start, QRegularExpression::NormalMatch, uncheckedAnchored);
                if (m.hasMatch())
                    return HtmlMetadataParser::decodeEntities(m.hasCaptured(1) ? m.capturedView(1)
                                                                               : m.capturedView(2));
            }
        }
        return std::nullopt;
    }

private:
    QString m_text;
    std::vector<MetaTag> m_tags;
};

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

// The bytes up to the last complete UTF-8 sequence, for a page cut mid-character.
QByteArrayView withoutIncompleteUtf8Tail(QByteArrayView bytes)
{
    qsizetype i = bytes.size();
    int continuation = 0;
    while (i > 0 && continuation < 3 && (uchar(bytes[i - 1]) & 0xC0) == 0x80) {
        --i;
        ++continuation;
    }
    if (i == 0)
        return bytes;
    const uchar lead = uchar(bytes[i - 1]);
    const int expected = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    return expected > 1 && continuation + 1 < expected ? bytes.first(i - 1) : bytes;
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
        const QRegularExpressionMatch title =
            titlePattern().match(tags.text(), 0, QRegularExpression::NormalMatch,
                                 QRegularExpression::DontCheckSubjectStringMatchOption);
        if (title.hasMatch())
            m.title = decodeEntities(title.capturedView(1));
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

QString HtmlMetadataParser::decodePage(const QByteArray &bytes, bool truncated)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(truncated ? withoutIncompleteUtf8Tail(bytes) : bytes);
    if (!utf8.hasError())
        return text;
    return QString::fromLatin1(bytes);
}

} // namespace quillory
