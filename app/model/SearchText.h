#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillory {

// Lower-cased UTF-8 copy of an item's searchable fields, kept up to date by the item so
// that a search never lower-cases a library on a keystroke. One buffer: title, note,
// source domain and URL separated by NUL bytes, so a match can never span two fields.
class SearchText final
{
public:
    // From the fields as UTF-8.
    void assign(std::string_view title, std::optional<std::string_view> note,
                std::optional<std::string_view> domain, std::optional<std::string_view> url);

    std::string_view all() const { return m_text; }
    const char *data() const { return m_text.data(); }
    std::string_view title() const { return field(0, m_noteAt); }
    std::optional<std::string_view> note() const;
    std::optional<std::string_view> domain() const;
    std::optional<std::string_view> url() const;

    enum Field { Title, Note, Domain, Url };
    // Which field the byte at `offset` of all() belongs to.
    Field fieldAt(size_t offset) const
    {
        return offset < m_noteAt     ? Title
               : offset < m_domainAt ? Note
               : offset < m_urlAt    ? Domain
                                     : Url;
    }
    // Offset in all() where the field after `field` begins (the size for the last).
    size_t endOf(Field field) const
    {
        return field == Title    ? m_noteAt
               : field == Note   ? m_domainAt
               : field == Domain ? m_urlAt
                                 : m_text.size();
    }

    // The lower-casing used for both the stored text and queries.
    static std::string fold(const QString &text);

    static constexpr char separator = '\0';

private:
    std::string_view field(uint32_t begin, uint32_t next) const
    {
        return std::string_view(m_text).substr(begin, next - begin - 1);
    }

    std::string m_text;
    uint32_t m_noteAt = 0;
    uint32_t m_domainAt = 0;
    uint32_t m_urlAt = 0;
    uint8_t m_present = 0; // bit 0 note, bit 1 domain, bit 2 url
};

} // namespace quillory
