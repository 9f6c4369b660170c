#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

namespace quillory {

// An item's texts, kept as UTF-8 in one block: its title, web address, note, the site and
// the program it came from, and its page metadata (JSON). A large library holds hundreds
// of thousands of items and shows a few dozen: a string each would cost twice the bytes of
// text, a pointer or two per field and an allocation per field, for text mostly read once,
// to be indexed.
class ItemTexts final
{
public:
    enum Field : uint8_t { Title, Url, Note, SourceDomain, SourceApp, MetadataJSON };
    static constexpr size_t fieldCount = 6;
    using Parts = std::array<std::optional<std::string_view>, fieldCount>;

    // An empty title and nothing else.
    ItemTexts() = default;
    // An absent title stands for an empty one.
    explicit ItemTexts(const Parts &parts);
    ItemTexts(ItemTexts &&) noexcept = default;
    ItemTexts &operator=(ItemTexts &&) noexcept = default;

    // The title is always present, if perhaps empty.
    bool has(Field field) const;
    // The field's bytes; empty when absent.
    std::string_view utf8(Field field) const;
    std::optional<std::string_view> optionalUtf8(Field field) const;
    std::optional<QString> optionalText(Field field) const;
    QString text(Field field) const;
    std::optional<QByteArray> optionalBytes(Field field) const;

    // False, and nothing changed, when the field already holds `value`.
    bool set(Field field, const std::optional<QString> &value);
    bool setBytes(Field field, const std::optional<QByteArray> &value);

private:
    // The block begins with the end of each field's bytes, counted from the first byte of
    // text, and which fields are present; the text follows.
    struct Header
    {
        uint32_t end[fieldCount];
        uint8_t present;
    };
    Header header() const;
    const char *bytes() const { return m_block.get() + sizeof(Header); }
    bool replace(Field field, std::optional<std::string_view> value);

    std::unique_ptr<char[]> m_block; // null: the empty title alone
};

} // namespace quillory
