#include "ItemTexts.h"

#include <QByteArray>
#include <array>
#include <cstring>

namespace quillory {

ItemTexts::ItemTexts(std::string_view title, std::optional<std::string_view> url,
                     std::optional<std::string_view> note)
{
    const std::array<std::string_view, 3> parts = {title, url.value_or(std::string_view()),
                                                   note.value_or(std::string_view())};
    Header h{};
    h.present = uint8_t(1u << Title | (url ? 1u << Url : 0u) | (note ? 1u << Note : 0u));
    size_t size = 0;
    for (size_t i = 0; i < parts.size(); ++i) {
        size += parts[i].size();
        h.end[i] = uint32_t(size);
    }
    if (h.present == 1u << Title && size == 0)
        return;
    // A field's size is counted in 32 bits; text past 4 GB could not have been read into
    // one string in the first place.
    Q_ASSERT(size <= UINT32_MAX);
    m_block = std::make_unique_for_overwrite<char[]>(sizeof(Header) + size);
    std::memcpy(m_block.get(), &h, sizeof(Header));
    char *out = m_block.get() + sizeof(Header);
    for (std::string_view part : parts) {
        if (!part.empty())
            std::memcpy(out, part.data(), part.size());
        out += part.size();
    }
}

ItemTexts::Header ItemTexts::header() const
{
    Header h{};
    if (m_block)
        std::memcpy(&h, m_block.get(), sizeof(Header));
    else
        h.present = 1u << Title;
    return h;
}

bool ItemTexts::has(Field field) const
{
    return (header().present & (1u << field)) != 0;
}

std::string_view ItemTexts::utf8(Field field) const
{
    if (!m_block)
        return {};
    const Header h = header();
    const uint32_t begin = field == Title ? 0 : h.end[field - 1];
    return std::string_view(bytes() + begin, h.end[field] - begin);
}

std::optional<std::string_view> ItemTexts::optionalUtf8(Field field) const
{
    if (!has(field))
        return std::nullopt;
    return utf8(field);
}

QString ItemTexts::text(Field field) const
{
    // An empty field reads as an empty string, never a null one, as it was set.
    const std::string_view v = m_block ? utf8(field) : std::string_view("", 0);
    return QString::fromUtf8(v.data(), qsizetype(v.size()));
}

std::optional<QString> ItemTexts::optionalText(Field field) const
{
    if (!has(field))
        return std::nullopt;
    return text(field);
}

bool ItemTexts::set(Field field, const std::optional<QString> &value)
{
    const bool present = field == Title || value.has_value();
    const QByteArray encoded = value ? value->toUtf8() : QByteArray();
    const std::string_view now(encoded.constData(), size_t(encoded.size()));
    if (has(field) == present && utf8(field) == now)
        return false;
    std::optional<std::string_view> parts[3] = {utf8(Title), optionalUtf8(Url), optionalUtf8(Note)};
    parts[field] = present ? std::optional<std::string_view>(now) : std::nullopt;
    *this = ItemTexts(*parts[Title], parts[Url], parts[Note]);
    return true;
}

} // namespace quillory
