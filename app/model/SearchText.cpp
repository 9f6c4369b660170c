#include "SearchText.h"

namespace quillory {

std::string SearchText::fold(const QString &text)
{
    return text.toLower().toStdString();
}

void SearchText::assign(const QString &title, const std::optional<QString> &note,
                        const std::optional<QString> &domain, const std::optional<QString> &url)
{
    std::string text;
    text.reserve(size_t(title.size() + (note ? note->size() : 0) + (domain ? domain->size() : 0) +
                        (url ? url->size() : 0) + 4));
    const auto append = [&text](const std::optional<QString> &value) {
        if (value)
            text += fold(*value);
        text += separator;
        return uint32_t(text.size());
    };
    m_noteAt = append(title);
    m_domainAt = append(note);
    m_urlAt = append(domain);
    append(url);
    text.shrink_to_fit();
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
