#include <html/HtmlDecoding.h>

#include <QStringDecoder>
#include <algorithm>
#include <string_view>
#include <utility>

namespace quillory {

namespace {

// One encoding of the WHATWG Encoding standard: its name, the converter Qt knows it by, and
// its labels, space-separated and lower case. Null converter: the "replacement" encoding,
// whose bytes a browser shows as one U+FFFD, since decoders for these labels let a page
// smuggle markup past a filter.
struct Encoding
{
    std::string_view name;
    const char *converter;
    std::string_view labels;
};

// Where the standard's decoder is a superset of an older table (GBK, Big5, EUC-KR), the
// converter is that superset; x-user-defined's high bytes map to private-use characters no
// title can use, so it reads as windows-1252, as a <meta> naming it does in a browser.
constexpr Encoding encodings[] = {
    {"UTF-8", "UTF-8", "unicode-1-1-utf-8 unicode11utf8 unicode20utf8 utf-8 utf8 x-unicode20utf8"},
    {"IBM866", "IBM866", "866 cp866 csibm866 ibm866"},
    {"ISO-8859-2", "ISO-8859-2",
     "csisolatin2 iso-8859-2 iso-ir-101 iso8859-2 iso88592 iso_8859-2 iso_8859-2:1987 l2 latin2"},
    {"ISO-8859-3", "ISO-8859-3",
     "csisolatin3 iso-8859-3 iso-ir-109 iso8859-3 iso88593 iso_8859-3 iso_8859-3:1988 l3 latin3"},
    {"ISO-8859-4", "ISO-8859-4",
     "csisolatin4 iso-8859-4 iso-ir-110 iso8859-4 iso88594 iso_8859-4 iso_8859-4:1988 l4 latin4"},
    {"ISO-8859-5", "ISO-8859-5",
     "csisolatincyrillic cyrillic iso-8859-5 iso-ir-144 iso8859-5 iso88595 iso_8859-5 "
     "iso_8859-5:1988"},
    {"ISO-8859-6", "ISO-8859-6",
     "arabic asmo-708 csiso88596e csiso88596i csisolatinarabic ecma-114 iso-8859-6 "
     "iso-8859-6-e iso-8859-6-i iso-ir-127 iso8859-6 iso88596 iso_8859-6 iso_8859-6:1987"},
    {"ISO-8859-7", "ISO-8859-7",
     "csisolatingreek ecma-118 elot_928 greek greek8 iso-8859-7 iso-ir-126 iso8859-7 iso88597 "
     "iso_8859-7 iso_8859-7:1987 sun_eu_greek"},
    {"ISO-8859-8", "ISO-8859-8",
     "csiso88598e csisolatinhebrew hebrew iso-8859-8 iso-8859-8-e iso-ir-138 iso8859-8 iso88598 "
     "iso_8859-8 iso_8859-8:1988 visual"},
    {"ISO-8859-8-I", "ISO-8859-8", "csiso88598i iso-8859-8-i logical"},
    {"ISO-8859-10", "ISO-8859-10",
     "csisolatin6 iso-8859-10 iso-ir-157 iso8859-10 iso885910 l6 latin6"},
    {"ISO-8859-13", "ISO-8859-13", "iso-8859-13 iso8859-13 iso885913"},
    {"ISO-8859-14", "ISO-8859-14", "iso-8859-14 iso8859-14 iso885914"},
    {"ISO-8859-15", "ISO-8859-15", "csisolatin9 iso-8859-15 iso8859-15 iso885915 iso_8859-15 l9"},
    {"ISO-8859-16", "ISO-8859-16", "iso-8859-16"},
    {"KOI8-R", "KOI8-R", "cskoi8r koi koi8 koi8-r koi8_r"},
    {"KOI8-U", "KOI8-U", "koi8-ru koi8-u"},
    {"macintosh", "macintosh", "csmacintosh mac macintosh x-mac-roman"},
    {"windows-874", "windows-874", "dos-874 iso-8859-11 iso8859-11 iso885911 tis-620 windows-874"},
    {"windows-1250", "windows-1250", "cp1250 windows-1250 x-cp1250"},
    {"windows-1251", "windows-1251", "cp1251 windows-1251 x-cp1251"},
    {"windows-1252", "windows-1252",
     "ansi_x3.4-1968 ascii cp1252 cp819 csisolatin1 ibm819 iso-8859-1 iso-ir-100 iso8859-1 "
     "iso88591 iso_8859-1 iso_8859-1:1987 l1 latin1 us-ascii windows-1252 x-cp1252 "
     "x-user-defined"},
    {"windows-1253", "windows-1253", "cp1253 windows-1253 x-cp1253"},
    {"windows-1254", "windows-1254",
     "cp1254 csisolatin5 iso-8859-9 iso-ir-148 iso8859-9 iso88599 iso_8859-9 iso_8859-9:1989 "
     "l5 latin5 windows-1254 x-cp1254"},
    {"windows-1255", "windows-1255", "cp1255 windows-1255 x-cp1255"},
    {"windows-1256", "windows-1256", "cp1256 windows-1256 x-cp1256"},
    {"windows-1257", "windows-1257", "cp1257 windows-1257 x-cp1257"},
    {"windows-1258", "windows-1258", "cp1258 windows-1258 x-cp1258"},
    {"x-mac-cyrillic", "x-mac-cyrillic", "x-mac-cyrillic x-mac-ukrainian"},
    {"GBK", "GB18030",
     "chinese csgb2312 csiso58gb231280 gb2312 gb_2312 gb_2312-80 gbk iso-ir-58 x-gbk"},
    {"gb18030", "GB18030", "gb18030"},
    {"Big5", "Big5-HKSCS", "big5 big5-hkscs cn-big5 csbig5 x-x-big5"},
    {"EUC-JP", "EUC-JP", "cseucpkdfmtjapanese euc-jp x-euc-jp"},
    {"ISO-2022-JP", "ISO-2022-JP", "csiso2022jp iso-2022-jp"},
    {"Shift_JIS", "Shift_JIS",
     "csshiftjis ms932 ms_kanji shift-jis shift_jis sjis windows-31j x-sjis"},
    {"EUC-KR", "windows-949",
     "cseuckr csksc56011987 euc-kr iso-ir-149 korean ks_c_5601-1987 ks_c_5601-1989 ksc5601 "
     "ksc_5601 windows-949"},
    {"replacement", nullptr,
     "csiso2022kr hz-gb-2312 iso-2022-cn iso-2022-cn-ext iso-2022-kr replacement"},
    {"UTF-16BE", "UTF-16BE", "unicodefffe utf-16be"},
    {"UTF-16LE", "UTF-16LE", "csunicode iso-10646-ucs-2 ucs-2 unicode unicodefeff utf-16 utf-16le"},
};

const Encoding &encodingNamed(std::string_view name)
{
    for (const Encoding &e : encodings) {
        if (e.name == name)
            return e;
    }
    return encodingNamed("windows-1252");
}

bool isSpace(char c)
{
    return c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == ' ';
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char lowered(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
}

// `lowerWord` is lower case already.
bool sameIgnoringCase(QByteArrayView text, std::string_view lowerWord)
{
    if (text.size() != qsizetype(lowerWord.size()))
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (lowered(text[i]) != lowerWord[size_t(i)])
            return false;
    }
    return true;
}

bool hasWordAt(QByteArrayView text, qsizetype at, std::string_view lowerWord)
{
    return at + qsizetype(lowerWord.size()) <= text.size() &&
           sameIgnoringCase(text.sliced(at, qsizetype(lowerWord.size())), lowerWord);
}

QByteArrayView trimmed(QByteArrayView text)
{
    while (!text.isEmpty() && isSpace(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isSpace(text.back()))
        text.chop(1);
    return text;
}

// The encoding a label names; null for a label naming none, or an encoding this Qt has no
// converter for.
const Encoding *encodingForLabel(QByteArrayView rawLabel)
{
    const QByteArrayView label = trimmed(rawLabel);
    if (label.isEmpty())
        return nullptr;
    for (const Encoding &e : encodings) {
        for (std::string_view rest = e.labels; !rest.empty();) {
            const size_t space = rest.find(' ');
            const std::string_view known = rest.substr(0, space);
            rest = space == std::string_view::npos ? std::string_view() : rest.substr(space + 1);
            if (!sameIgnoringCase(label, known))
                continue;
            if (e.converter != nullptr && !QStringDecoder(e.converter).isValid())
                return nullptr;
            return &e;
        }
    }
    return nullptr;
}

// The charset parameter of a Content-Type value, the first one given; empty when none is.
QByteArrayView charsetParameter(QByteArrayView contentType)
{
    qsizetype at = contentType.indexOf(';');
    while (at >= 0 && at < contentType.size()) {
        ++at;
        while (at < contentType.size() && isSpace(contentType[at]))
            ++at;
        qsizetype end = at;
        while (end < contentType.size() && contentType[end] != '=' && contentType[end] != ';')
            ++end;
        const QByteArrayView name = trimmed(contentType.sliced(at, end - at));
        if (end == contentType.size() || contentType[end] == ';') {
            at = end;
            continue; // a parameter without a value
        }
        at = end + 1;
        QByteArrayView value;
        if (at < contentType.size() && contentType[at] == '"') {
            const qsizetype close = contentType.indexOf('"', at + 1);
            end = close < 0 ? contentType.size() : close;
            value = contentType.sliced(at + 1, end - at - 1);
            end = contentType.indexOf(';', end);
        } else {
            end = contentType.indexOf(';', at);
            value = trimmed(contentType.sliced(at, (end < 0 ? contentType.size() : end) - at));
        }
        if (sameIgnoringCase(name, "charset"))
            return value;
        at = end;
    }
    return {};
}

// The encoding named by "charset=" in a <meta> content value, as browsers find it.
const Encoding *encodingInMetaContent(QByteArrayView content)
{
    qsizetype at = 0;
    for (;;) {
        while (at < content.size() && !hasWordAt(content, at, "charset"))
            ++at;
        if (at == content.size())
            return nullptr;
        at += 7;
        while (at < content.size() && isSpace(content[at]))
            ++at;
        if (at == content.size() || content[at] != '=')
            continue;
        ++at;
        while (at < content.size() && isSpace(content[at]))
            ++at;
        if (at == content.size())
            return nullptr;
        const char first = content[at];
        if (first == '"' || first == '\'') {
            const qsizetype close = content.indexOf(first, at + 1);
            return close < 0 ? nullptr : encodingForLabel(content.sliced(at + 1, close - at - 1));
        }
        qsizetype end = at;
        while (end < content.size() && !isSpace(content[end]) && content[end] != ';')
            ++end;
        return encodingForLabel(content.sliced(at, end - at));
    }
}

// The declaration a browser finds in a page's first bytes before it parses anything. Every
// step moves forward, and a tag, comment or value still open at the end of the bytes gives
// up the search, so a declaration cut by the limit is never half read.
class Prescan final
{
public:
    explicit Prescan(QByteArrayView bytes) : m_bytes(bytes) {}

    const Encoding *run();

private:
    struct Attribute
    {
        QByteArrayView name;
        QByteArrayView value;
    };
    enum class Read { Attribute, None, End };

    Read attribute(Attribute &attribute);
    Read skipSpaces()
    {
        while (m_at < m_bytes.size() && isSpace(m_bytes[m_at]))
            ++m_at;
        return m_at == m_bytes.size() ? Read::End : Read::None;
    }
    // Reads a <meta> tag's attributes: the encoding it declares, null when it declares none,
    // false when the bytes ended inside it.
    bool meta(const Encoding *&declared);

    QByteArrayView m_bytes;
    qsizetype m_at = 0;
};

const Encoding *Prescan::run()
{
    while (m_at < m_bytes.size()) {
        if (m_bytes[m_at] != '<') {
            m_at = m_bytes.indexOf('<', m_at);
            if (m_at < 0)
                return nullptr;
            continue;
        }
        const QByteArrayView rest = m_bytes.sliced(m_at);
        if (rest.startsWith("<!--")) {
            // "<!-->" closes itself.
            const qsizetype close = m_bytes.indexOf("-->", m_at + 2);
            if (close < 0)
                return nullptr;
            m_at = close + 3;
            continue;
        }
        if (hasWordAt(rest, 0, "<meta") && rest.size() > 5 &&
            (isSpace(rest[5]) || rest[5] == '/')) {
            m_at += 5;
            const Encoding *declared = nullptr;
            if (!meta(declared))
                return nullptr;
            if (declared != nullptr)
                return declared;
            ++m_at;
            continue;
        }
        const bool closing = rest.size() > 1 && rest[1] == '/';
        if (rest.size() > (closing ? 2 : 1) && isLetter(rest[closing ? 2 : 1])) {
            while (m_at < m_bytes.size() && !isSpace(m_bytes[m_at]) && m_bytes[m_at] != '>')
                ++m_at;
            Attribute ignored;
            Read read = Read::Attribute;
            while ((read = attribute(ignored)) == Read::Attribute) {
            }
            if (read == Read::End)
                return nullptr;
            ++m_at;
            continue;
        }
        if (rest.startsWith("<!") || rest.startsWith("</") || rest.startsWith("<?")) {
            const qsizetype close = m_bytes.indexOf('>', m_at + 1);
            if (close < 0)
                return nullptr;
            m_at = close + 1;
            continue;
        }
        ++m_at;
    }
    return nullptr;
}

bool Prescan::meta(const Encoding *&declared)
{
    enum class NeedPragma { Unset, Yes, No };
    NeedPragma need = NeedPragma::Unset;
    bool gotPragma = false;
    bool seenHttpEquiv = false;
    bool seenContent = false;
    bool seenCharset = false;
    const Encoding *charset = nullptr;
    Attribute a;
    for (Read read; (read = attribute(a)) != Read::None;) {
        if (read == Read::End)
            return false;
        // Only the first of each name counts.
        if (sameIgnoringCase(a.name, "http-equiv") && !std::exchange(seenHttpEquiv, true)) {
            gotPragma = gotPragma || sameIgnoringCase(a.value, "content-type");
        } else if (sameIgnoringCase(a.name, "content") && !std::exchange(seenContent, true)) {
            if (charset == nullptr) {
                charset = encodingInMetaContent(a.value);
                if (charset != nullptr)
                    need = NeedPragma::Yes;
            }
        } else if (sameIgnoringCase(a.name, "charset") && !std::exchange(seenCharset, true)) {
            charset = encodingForLabel(a.value);
            need = NeedPragma::No;
        }
    }
    if (need == NeedPragma::Unset || (need == NeedPragma::Yes && !gotPragma) || charset == nullptr)
        return true;
    // Bytes that could be read as ASCII to find this are not UTF-16, whatever they say.
    declared = charset->name.starts_with("UTF-16") ? &encodingNamed("UTF-8") : charset;
    return true;
}

Prescan::Read Prescan::attribute(Attribute &a)
{
    while (m_at < m_bytes.size() && (isSpace(m_bytes[m_at]) || m_bytes[m_at] == '/'))
        ++m_at;
    if (m_at == m_bytes.size())
        return Read::End;
    if (m_bytes[m_at] == '>')
        return Read::None;
    const qsizetype nameStart = m_at;
    a.value = {};
    for (;; ++m_at) {
        if (m_at == m_bytes.size())
            return Read::End;
        const char c = m_bytes[m_at];
        if ((c == '=' && m_at > nameStart) || isSpace(c) || c == '/' || c == '>')
            break;
    }
    a.name = m_bytes.sliced(nameStart, m_at - nameStart);
    if (m_bytes[m_at] == '/' || m_bytes[m_at] == '>')
        return Read::Attribute;
    if (skipSpaces() == Read::End)
        return Read::End;
    if (m_bytes[m_at] != '=')
        return Read::Attribute;
    ++m_at;
    if (skipSpaces() == Read::End)
        return Read::End;
    const char first = m_bytes[m_at];
    if (first == '"' || first == '\'') {
        const qsizetype close = m_bytes.indexOf(first, m_at + 1);
        if (close < 0)
            return Read::End;
        a.value = m_bytes.sliced(m_at + 1, close - m_at - 1);
        m_at = close + 1;
        return Read::Attribute;
    }
    if (first == '>')
        return Read::Attribute;
    const qsizetype valueStart = m_at;
    while (m_at < m_bytes.size() && !isSpace(m_bytes[m_at]) && m_bytes[m_at] != '>')
        ++m_at;
    if (m_at == m_bytes.size())
        return Read::End;
    a.value = m_bytes.sliced(valueStart, m_at - valueStart);
    return Read::Attribute;
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

HtmlDecoding::Choice chosen(std::string_view name, qsizetype bomLength = 0)
{
    return {QByteArray(name.data(), qsizetype(name.size())), bomLength};
}

} // namespace

HtmlDecoding::Choice HtmlDecoding::choose(QByteArrayView bytes, QByteArrayView contentType,
                                          bool truncated, qsizetype prescanLimit)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return chosen("UTF-8", 3);
    if (bytes.startsWith("\xFE\xFF"))
        return chosen("UTF-16BE", 2);
    if (bytes.startsWith("\xFF\xFE"))
        return chosen("UTF-16LE", 2);
    if (const Encoding *declared = encodingForLabel(charsetParameter(contentType)))
        return chosen(declared->name);
    if (const Encoding *declared = Prescan(bytes.first(std::min(bytes.size(), prescanLimit))).run())
        return chosen(declared->name);
    const QByteArrayView checked = truncated ? withoutIncompleteUtf8Tail(bytes) : bytes;
    return chosen(checked.isValidUtf8() ? "UTF-8" : "windows-1252");
}

QString HtmlDecoding::decode(QByteArrayView bytes, const Choice &choice, bool truncated)
{
    const QByteArrayView text = bytes.sliced(std::min(choice.bomLength, bytes.size()));
    const Encoding &encoding =
        encodingNamed({choice.encoding.constData(), size_t(choice.encoding.size())});
    if (encoding.converter == nullptr)
        return text.isEmpty() ? QString() : QString(QChar::ReplacementCharacter);
    // Left with its state at the end, a decoder holds back a last character the cut left
    // incomplete instead of writing a replacement for it.
    QStringDecoder decoder(encoding.converter, truncated ? QStringDecoder::Flag::Default
                                                         : QStringDecoder::Flag::Stateless);
    if (!decoder.isValid())
        return QString::fromLatin1(text); // a Qt without windows-1252: every byte a character
    return decoder.decode(text);
}

} // namespace quillory
