#include <exchange/JsonCursor.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

namespace quillory {

namespace {

// Well-formed UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(const unsigned char *p, const unsigned char *end)
{
    while (p < end) {
        const unsigned lead = *p;
        if (lead < 0x80) {
            ++p;
            continue;
        }
        int extra = 0;
        unsigned codePoint = 0;
        unsigned smallest = 0;
        if ((lead & 0xE0) == 0xC0) {
            extra = 1, codePoint = lead & 0x1F, smallest = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2, codePoint = lead & 0x0F, smallest = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3, codePoint = lead & 0x07, smallest = 0x10000;
        } else {
            return false;
        }
        if (end - p <= extra)
            return false;
        for (int i = 1; i <= extra; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            codePoint = (codePoint << 6) | (p[i] & 0x3F);
        }
        if (codePoint < smallest || codePoint > 0x10FFFF ||
            (codePoint >= 0xD800 && codePoint <= 0xDFFF))
            return false;
        p += extra + 1;
    }
    return true;
}

void appendUtf8(QByteArray &out, unsigned codePoint)
{
    if (codePoint < 0x80) {
        out.append(char(codePoint));
    } else if (codePoint < 0x800) {
        out.append(char(0xC0 | (codePoint >> 6)));
        out.append(char(0x80 | (codePoint & 0x3F)));
    } else if (codePoint < 0x10000) {
        out.append(char(0xE0 | (codePoint >> 12)));
        out.append(char(0x80 | ((codePoint >> 6) & 0x3F)));
        out.append(char(0x80 | (codePoint & 0x3F)));
    } else {
        out.append(char(0xF0 | (codePoint >> 18)));
        out.append(char(0x80 | ((codePoint >> 12) & 0x3F)));
        out.append(char(0x80 | ((codePoint >> 6) & 0x3F)));
        out.append(char(0x80 | (codePoint & 0x3F)));
    }
}

// Four hexadecimal digits at `at`, or -1.
int hexQuad(const char *at, const char *end)
{
    if (end - at < 4)
        return -1;
    int value = 0;
    for (int i = 0; i < 4; ++i) {
        const char c = at[i];
        int digit = 0;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return -1;
        value = value * 16 + digit;
    }
    return value;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

JsonCursor::JsonCursor(QByteArrayView text)
    : m_begin(text.data()), m_at(text.data()), m_end(text.data() + text.size())
{
    if (text.startsWith("\xEF\xBB\xBF"))
        m_at += 3;
}

bool JsonCursor::fail(const char *what)
{
    return fail(what, m_at);
}

bool JsonCursor::fail(const char *what, const char *at)
{
    if (!m_failed) {
        m_failed = true;
        m_errorText = QString::fromLatin1(what);
        m_errorOffset = at - m_begin;
    }
    return false;
}

void JsonCursor::skipWhitespace()
{
    while (m_at < m_end && (*m_at == ' ' || *m_at == '\n' || *m_at == '\r' || *m_at == '\t'))
        ++m_at;
}

JsonCursor::Type JsonCursor::peek()
{
    if (m_failed)
        return Type::Invalid;
    skipWhitespace();
    if (m_at >= m_end)
        return Type::Invalid;
    switch (*m_at) {
    case '{':
        return Type::Object;
    case '[':
        return Type::Array;
    case '"':
        return Type::String;
    case 't':
    case 'f':
        return Type::Boolean;
    case 'n':
        return Type::Null;
    default:
        return *m_at == '-' || isDigit(*m_at) ? Type::Number : Type::Invalid;
    }
}

bool JsonCursor::expect(char c)
{
    if (m_failed)
        return false;
    skipWhitespace();
    if (m_at >= m_end)
        return fail("unexpected end of the text");
    if (*m_at != c)
        return fail("unexpected character");
    ++m_at;
    return true;
}

bool JsonCursor::enter(bool object)
{
    if (m_levels.size() >= size_t(maximumDepth))
        return fail("too deeply nested");
    m_levels.push_back({object, true});
    return true;
}

bool JsonCursor::beginObject()
{
    return expect('{') && enter(true);
}

bool JsonCursor::beginArray()
{
    return expect('[') && enter(false);
}

bool JsonCursor::nextMember(QByteArrayView &name)
{
    if (m_failed || m_levels.empty() || !m_levels.back().object)
        return fail("not in an object");
    Level &level = m_levels.back();
    skipWhitespace();
    if (m_at >= m_end)
        return fail("unexpected end of the text");
    if (*m_at == '}') {
        ++m_at;
        m_levels.pop_back();
        return false;
    }
    if (!level.first) {
        if (*m_at != ',')
            return fail("expected a comma or the end of the object");
        ++m_at;
        skipWhitespace();
    }
    level.first = false;
    if (m_at >= m_end || *m_at != '"')
        return fail("expected a member name");
    if (!stringBytes(&name, nullptr))
        return false;
    return expect(':');
}

bool JsonCursor::nextElement()
{
    if (m_failed || m_levels.empty() || m_levels.back().object)
        return fail("not in an array");
    Level &level = m_levels.back();
    skipWhitespace();
    if (m_at >= m_end)
        return fail("unexpected end of the text");
    if (*m_at == ']') {
        ++m_at;
        m_levels.pop_back();
        return false;
    }
    if (!level.first) {
        if (*m_at != ',')
            return fail("expected a comma or the end of the array");
        ++m_at;
        skipWhitespace();
        if (m_at < m_end && *m_at == ']')
            return fail("a comma before the end of an array");
    }
    level.first = false;
    return true;
}

bool JsonCursor::readString(QString &text)
{
    if (m_failed)
        return false;
    skipWhitespace();
    if (m_at >= m_end || *m_at != '"')
        return fail("expected a text");
    return stringBytes(nullptr, &text);
}

bool JsonCursor::readString(QByteArray &utf8)
{
    if (m_failed)
        return false;
    skipWhitespace();
    if (m_at >= m_end || *m_at != '"')
        return fail("expected a text");
    return stringBytes(nullptr, nullptr, &utf8);
}

// At the opening quote: the string, unescaped, as UTF-8 bytes in `name` (valid until the next
// name) or `utf8`, or as `text`; with none of them it is only checked.
bool JsonCursor::stringBytes(QByteArrayView *name, QString *text, QByteArray *utf8)
{
    const char *const opening = m_at++;
    const char *run = m_at;
    unsigned seen = 0; // ORed bytes: bit 7 set when anything is not ASCII
    bool escaped = false;
    QByteArray decoded;
    for (;;) {
        while (m_at < m_end) {
            const auto c = static_cast<unsigned char>(*m_at);
            if (c == '"' || c == '\\' || c < 0x20)
                break;
            seen |= c;
            ++m_at;
        }
        if (m_at >= m_end)
            return fail("unterminated text", opening);
        if (static_cast<unsigned char>(*m_at) < 0x20)
            return fail("control character in a text");
        if (*m_at == '"')
            break;
        if (!escaped) {
            escaped = true;
            decoded.reserve(m_at - run + 16);
        }
        decoded.append(run, m_at - run);
        const char *const escape = m_at++;
        if (m_at >= m_end)
            return fail("unterminated text", opening);
        switch (*m_at++) {
        case '"':
            decoded.append('"');
            break;
        case '\\':
            decoded.append('\\');
            break;
        case '/':
            decoded.append('/');
            break;
        case 'b':
            decoded.append('\b');
            break;
        case 'f':
            decoded.append('\f');
            break;
        case 'n':
            decoded.append('\n');
            break;
        case 'r':
            decoded.append('\r');
            break;
        case 't':
            decoded.append('\t');
            break;
        case 'u': {
            int unit = hexQuad(m_at, m_end);
            if (unit < 0)
                return fail("invalid escape", escape);
            m_at += 4;
            unsigned codePoint = unsigned(unit);
            if (unit >= 0xD800 && unit <= 0xDBFF) {
                const int low = m_end - m_at >= 6 && m_at[0] == '\\' && m_at[1] == 'u'
                                    ? hexQuad(m_at + 2, m_end)
                                    : -1;
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    codePoint =
                        0x10000 + ((unsigned(unit) - 0xD800) << 10) + (unsigned(low) - 0xDC00);
                    m_at += 6;
                } else {
                    codePoint = 0xFFFD; // half a pair stands for nothing
                }
            } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
                codePoint = 0xFFFD;
            }
            if (codePoint >= 0x80)
                seen |= 0x80;
            appendUtf8(decoded, codePoint);
            break;
        }
        default:
            return fail("invalid escape", escape);
        }
        run = m_at;
    }
    const char *const closing = m_at++;
    // Escapes are ASCII and decode to well-formed UTF-8: only the bytes as written need
    // checking.
    if ((seen & 0x80) != 0 && !isValidUtf8(reinterpret_cast<const unsigned char *>(opening + 1),
                                           reinterpret_cast<const unsigned char *>(closing)))
        return fail("invalid UTF-8 in a text", opening);
    if (escaped)
        decoded.append(run, closing - run);
    const char *bytes = escaped ? decoded.constData() : opening + 1;
    const qsizetype length = escaped ? decoded.size() : closing - opening - 1;
    if (text != nullptr)
        *text = (seen & 0x80) == 0 ? QString::fromLatin1(bytes, length)
                                   : QString::fromUtf8(bytes, length);
    if (utf8 != nullptr)
        *utf8 = escaped ? std::move(decoded) : QByteArray(bytes, length);
    if (name != nullptr) {
        if (escaped) {
            m_name = std::move(decoded);
            *name = m_name;
        } else {
            *name = QByteArrayView(bytes, length);
        }
    }
    return true;
}

bool JsonCursor::readNumber(double &number)
{
    if (m_failed)
        return false;
    skipWhitespace();
    const char *const start = m_at;
    const char *p = m_at;
    if (p < m_end && *p == '-')
        ++p;
    if (p < m_end && *p == '0') {
        ++p;
    } else if (p < m_end && *p >= '1' && *p <= '9') {
        while (p < m_end && isDigit(*p))
            ++p;
    } else {
        return fail("invalid number", start);
    }
    if (p < m_end && *p == '.') {
        const char *const digits = ++p;
        while (p < m_end && isDigit(*p))
            ++p;
        if (p == digits)
            return fail("invalid number", start);
    }
    if (p < m_end && (*p == 'e' || *p == 'E')) {
        ++p;
        if (p < m_end && (*p == '+' || *p == '-'))
            ++p;
        const char *const digits = p;
        while (p < m_end && isDigit(*p))
            ++p;
        if (p == digits)
            return fail("invalid number", start);
    }
    const auto [end, error] = std::from_chars(start, p, number);
    if (error == std::errc::result_out_of_range) {
        // strtod tells too small (read as zero, like other parsers) from too large.
        number = std::strtod(std::string(start, p).c_str(), nullptr);
    } else if (error != std::errc() || end != p) {
        return fail("invalid number", start);
    }
    if (!std::isfinite(number))
        return fail("number out of range", start);
    m_at = p;
    return true;
}

bool JsonCursor::literal(const char *word)
{
    if (m_failed)
        return false;
    skipWhitespace();
    const auto length = qsizetype(std::strlen(word));
    if (m_end - m_at < length || std::memcmp(m_at, word, size_t(length)) != 0)
        return fail("unexpected character");
    m_at += length;
    return true;
}

bool JsonCursor::readBoolean(bool &value)
{
    if (peek() != Type::Boolean)
        return fail("expected true or false");
    value = *m_at == 't';
    return literal(value ? "true" : "false");
}

bool JsonCursor::readNull()
{
    return literal("null");
}

bool JsonCursor::skipValue()
{
    switch (peek()) {
    case Type::Object: {
        if (!beginObject())
            return false;
        QByteArrayView name;
        while (nextMember(name)) {
            if (!skipValue())
                return false;
        }
        return !m_failed;
    }
    case Type::Array:
        if (!beginArray())
            return false;
        while (nextElement()) {
            if (!skipValue())
                return false;
        }
        return !m_failed;
    case Type::String:
        return stringBytes(nullptr, nullptr);
    case Type::Number: {
        double number = 0;
        return readNumber(number);
    }
    case Type::Boolean: {
        bool value = false;
        return readBoolean(value);
    }
    case Type::Null:
        return readNull();
    case Type::Invalid:
        break;
    }
    return m_at >= m_end ? fail("unexpected end of the text") : fail("unexpected character");
}

bool JsonCursor::atEnd()
{
    if (m_failed)
        return false;
    skipWhitespace();
    return m_at == m_end || fail("unexpected text after the end");
}

} // namespace quillory
