#include <model/SearchText.h>

namespace quillory {

namespace {

// Most library text is ASCII: fold it byte by byte straight into the buffer, and take the
// full Unicode path only for text that needs it.
void appendFolded(std::string &out, const QString &text)
{
    const char16_t *chars = reinterpret_cast<const char16_t *>(text.utf16());
    const qsizetype n = text.size();
    qsizetype ascii = 0;
    while (ascii < n && chars[ascii] < 0x80)
        ++ascii;
    if (ascii < n) {
        out += text.toLower().toStdString();
        return;
    }
    const size_t at = out.size();
    out.resize(at + size_t(n));
    char *dest = out.data() + at;
    for (qsizetype i = 0; i < n; ++i) {
        const char c = char(chars[i]);
        dest[i] = (c >= 'A' && c <= 'Z') ? char(c + ('a' - 'A')) : c;
    }
}

// The same folding for UTF-8: ASCII bytes are the characters themselves.
void appendFolded(std::string &out, std::string_view utf8)
{
    size_t ascii = 0;
    while (ascii < utf8.size() && static_cast<unsigned char>(utf8[ascii]) < 0x80)
        ++ascii;
    if (ascii < utf8.size()) {
        appendFolded(out, QString::fromUtf8(utf8.data(), qsizetype(utf8.size())));
        return;
    }
    const size_t at = out.size();
    out.resize(at + utf8.size());
    char *dest = out.data() + at;
    for (size_t i = 0; i < utf8.size(); ++i) {
        const char c = utf8[i];
        dest[i] = (c >= 'A' && c <= 'Z') ? char(c + ('a' - 'A')) : c;
    }
}

} // namespace

std::string SearchText::fold(const QString &text)
{
    std::string folded;
    appendFolded(folded, text);
    return folded;
}

void SearchText::assign(std::string_view title, std::optional<std::string_view> note,
                        std::optional<std::string_view> domain, std::optional<std::string_view> url)
{
    std::string text;
    text.reserve(title.size() + (note ? note->size() : 0) + (domain ? domain->size() : 0) +
                 (url ? url->size() : 0) + 4);
    const auto ended = [&text] {
        text += separator;
        return uint32_t(text.size());
    };
    appendFolded(text, title);
    m_noteAt = ended();
    if (note)
        appendFolded(text, *note);
    m_domainAt = ended();
    if (domain)
        appendFolded(text, *domain);
    m_urlAt = ended();
    if (url)
        appendFolded(text, *url);
    ended();
    m_text = std::move(text);
    m_present = uint8_t((note ? 1 : 0) | (domain ? 2 : 0) | (url ? 4 : 0));
}

std::optional<std::string_view> SearchText::note() const
{
    if (!(m_present & 1))
        return std::nullopt;
    return field(m_noteAt, m_domainAt);
}

std::optional<std::string_view> SearchText::domain() const
{
    if (!(m_present & 2))
        return std::nullopt;
    return field(m_domainAt, m_urlAt);
}

std::optional<std::string_view> SearchText::url() const
{
    if (!(m_present & 4))
        return std::nullopt;
    return field(m_urlAt, uint32_t(m_text.size()));
}

} // namespace quillory
