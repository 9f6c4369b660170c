#include "ItemTexts.h"

#include <cstring>

namespace quillory {

namespace {

constexpr uint8_t bit(ItemTexts::Field field)
{
    return uint8_t(1u << field);
}

std::optional<std::string_view> viewOf(const std::optional<QByteArray> &bytes)
{
    if (!bytes)
        return std::nullopt;
    return std::string_view(bytes->constData(), size_t(bytes->size()));
}

} // namespace

ItemTexts::ItemTexts(const Parts &parts)
{
    Header h{};
    size_t size = 0;
    for (size_t i = 0; i < fieldCount; ++i) {
        if (parts[i] || i == Title)
            h.present |= uint8_t(1u << i);
        size += parts[i] ? parts[i]->size() : 0;
        h.end[i] = uint32_t(size);
    }
    if (h.present == bit(Title) && size == 0)
        return;
    // Offsets are 32 bits: text past 4 GB could not have been read into one string anyway.
    Q_ASSERT(size <= UINT32_MAX);
    m_block = std::make_unique_for_overwrite<char[]>(sizeof(Header) + size);
    std::memcpy(m_block.get(), &h, sizeof(Header));
    char *out = m_block.get() + sizeof(Header);
    for (const std::optional<std::string_view> &part : parts) {
        if (part && !part->empty()) {
            std::memcpy(out, part->data(), part->size());
            out += part->size();
        }
    }
}

ItemTexts::Header ItemTexts::header() const
{
    Header h{};
    if (m_block)
        std::memcpy(&h, m_block.get(), sizeof(Header));
    else
        h.present = bit(Title);
    return h;
}

bool ItemTexts::has(Field field) const
{
    return (header().present & bit(field)) != 0;
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

std::optional<QByteArray> ItemTexts::optionalBytes(Field field) const
{
    if (!has(field))
        return std::nullopt;
    const std::string_view v = utf8(field);
    return QByteArray(v.data(), qsizetype(v.size()));
}

bool ItemTexts::set(Field field, const std::optional<QString> &value)
{
    return replace(field,
                   viewOf(value ? std::optional<QByteArray>(value->toUtf8()) : std::nullopt));
}

bool ItemTexts::setBytes(Field field, const std::optional<QByteArray> &value)
{
    return replace(field, viewOf(value));
}

bool ItemTexts::replace(Field field, std::optional<std::string_view> value)
{
    if (field == Title && !value)
        value = std::string_view();
    if (has(field) == value.has_value() && utf8(field) == value.value_or(std::string_view()))
        return false;
    Parts parts;
    for (size_t i = 0; i < fieldCount; ++i)
        parts[i] = optionalUtf8(Field(i));
    parts[field] = value;
    // The parts point into the old block, which the assignment frees only once the new one
    // is made.
    *this = ItemTexts(parts);
    return true;
}

} // namespace quillory
