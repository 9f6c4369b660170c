#include <model/ItemTexts.h>

#include <model/TextArena.h>

#include <cstring>

namespace quillory {

namespace {

constexpr unsigned bit(size_t field)
{
    return 1u << field;
}

// The presence byte's last bit: the block lies in a TextArena.
constexpr unsigned inArenaBit = 0x80;

size_t varintSize(size_t value)
{
    size_t n = 1;
    for (; value >= 0x80; value >>= 7)
        ++n;
    return n;
}

char *writeVarint(char *out, size_t value)
{
    for (; value >= 0x80; value >>= 7)
        *out++ = char(0x80 | (value & 0x7f));
    *out++ = char(value);
    return out;
}

size_t readVarint(const char *&in)
{
    size_t value = 0;
    for (unsigned shift = 0;; shift += 7) {
        const auto byte = static_cast<unsigned char>(*in++);
        value |= size_t(byte & 0x7f) << shift;
        if (byte < 0x80)
            return value;
    }
}

std::optional<std::string_view> viewOf(const std::optional<QByteArray> &bytes)
{
    if (!bytes)
        return std::nullopt;
    return std::string_view(bytes->constData(), size_t(bytes->size()));
}

} // namespace

size_t ItemTexts::blockSize(const Parts &parts)
{
    size_t size = 1;
    for (size_t i = 0; i < fieldCount; ++i) {
        if (parts[i])
            size += varintSize(parts[i]->size()) + parts[i]->size();
        else if (i == Title)
            size += varintSize(0);
    }
    return size;
}

void ItemTexts::fill(char *block, const Parts &parts, bool inArena)
{
    unsigned present = bit(Title) | (inArena ? inArenaBit : 0);
    for (size_t i = 0; i < fieldCount; ++i) {
        if (parts[i])
            present |= bit(i);
    }
    block[0] = char(present);
    char *out = block + 1;
    for (size_t i = 0; i < fieldCount; ++i) {
        if (present & bit(i))
            out = writeVarint(out, parts[i] ? parts[i]->size() : 0);
    }
    for (const std::optional<std::string_view> &part : parts) {
        if (part && !part->empty()) {
            std::memcpy(out, part->data(), part->size());
            out += part->size();
        }
    }
}

ItemTexts::ItemTexts(const Parts &parts, TextArena *arena)
{
    bool onlyTitle = !parts[Title] || parts[Title]->empty();
    for (size_t i = 0; i < fieldCount; ++i)
        onlyTitle = onlyTitle && (i == Title || !parts[i]);
    if (onlyTitle)
        return;
    if (arena != nullptr) {
        m_block.reset(const_cast<char *>(write(parts, *arena)));
        return;
    }
    m_block.reset(new char[blockSize(parts)]);
    fill(m_block.get(), parts, false);
}

const char *ItemTexts::write(const Parts &parts, TextArena &arena)
{
    char *block = arena.allocate(blockSize(parts));
    fill(block, parts, true);
    return block;
}

void ItemTexts::BlockDeleter::operator()(char *block) const
{
    if (static_cast<unsigned char>(block[0]) & inArenaBit)
        TextArena::release(block);
    else
        delete[] block;
}

const char *ItemTexts::arenaBlock() const
{
    const char *block = m_block.get();
    return block != nullptr && (static_cast<unsigned char>(block[0]) & inArenaBit) ? block
                                                                                   : nullptr;
}

bool ItemTexts::View::has(Field field) const
{
    const unsigned present = m_block ? static_cast<unsigned char>(m_block[0]) : bit(Title);
    return (present & bit(field)) != 0;
}

std::string_view ItemTexts::View::utf8(Field field) const
{
    if (!m_block || !has(field))
        return {};
    const unsigned present = static_cast<unsigned char>(m_block[0]);
    const char *in = m_block + 1;
    size_t offset = 0;
    size_t size = 0;
    for (size_t i = 0; i < fieldCount; ++i) {
        if (!(present & bit(i)))
            continue;
        const size_t n = readVarint(in);
        if (i < field)
            offset += n;
        else if (i == field)
            size = n;
    }
    return std::string_view(in + offset, size);
}

std::optional<std::string_view> ItemTexts::View::optionalUtf8(Field field) const
{
    if (!has(field))
        return std::nullopt;
    return utf8(field);
}

QString ItemTexts::View::text(Field field) const
{
    // An empty field reads as an empty string, never a null one, as it was set.
    const std::string_view v = m_block ? utf8(field) : std::string_view("", 0);
    return QString::fromUtf8(v.data(), qsizetype(v.size()));
}

std::optional<QString> ItemTexts::View::optionalText(Field field) const
{
    if (!has(field))
        return std::nullopt;
    return text(field);
}

std::string_view ItemTexts::View::bytes() const
{
    if (!m_block)
        return {};
    const unsigned present = static_cast<unsigned char>(m_block[0]);
    const char *in = m_block + 1;
    size_t size = 0;
    for (size_t i = 0; i < fieldCount; ++i) {
        if (present & bit(i))
            size += readVarint(in);
    }
    return std::string_view(m_block, size_t(in - m_block) + size);
}

ItemTexts::Parts ItemTexts::View::parts() const
{
    Parts parts;
    if (!m_block) {
        parts[Title] = std::string_view("", 0);
        return parts;
    }
    const unsigned present = static_cast<unsigned char>(m_block[0]);
    const char *in = m_block + 1;
    size_t sizes[fieldCount] = {};
    for (size_t i = 0; i < fieldCount; ++i) {
        if (present & bit(i))
            sizes[i] = readVarint(in);
    }
    for (size_t i = 0; i < fieldCount; ++i) {
        if (present & bit(i)) {
            parts[i] = std::string_view(in, sizes[i]);
            in += sizes[i];
        }
    }
    return parts;
}

size_t ItemTexts::View::readLongSize(const char *&in)
{
    return readVarint(in);
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
