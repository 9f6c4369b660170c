#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

namespace quillory {

// An item's title, web address and note, kept as UTF-8 in one block. A large library holds
// hundreds of thousands of them and shows a few dozen: three UTF-16 strings each cost
// twice the bytes of text and three allocations, for text mostly read once, to be indexed.
class ItemTexts final
{
public:
    enum Field : uint8_t { Title, Url, Note };

    // An empty title, no address and no note.
    ItemTexts() = default;
    ItemTexts(std::string_view title, std::optional<std::string_view> url,
              std::optional<std::string_view> note);
    ItemTexts(ItemTexts &&) noexcept = default;
    ItemTexts &operator=(ItemTexts &&) noexcept = default;

    // The title is always present, if perhaps empty.
    bool has(Field field) const;
    // The field's bytes; empty when absent.
    std::string_view utf8(Field field) const;
    std::optional<std::string_view> optionalUtf8(Field field) const;
    QString text(Field field) const;
    std::optional<QString> optionalText(Field field) const;

    // False, and nothing changed, when the field already holds `value`. An absent title
    // stands for an empty one.
    bool set(Field field, const std::optional<QString> &value);

private:
    // The block begins with the end of each field's bytes, counted from the first byte of
    // text, and which fields are present; the text follows.
    struct Header
    {
        uint32_t end[3];
        uint8_t present;
    };
    Header header() const;
    const char *bytes() const { return m_block.get() + sizeof(Header); }

    std::unique_ptr<char[]> m_block; // null: the empty title alone
};

} // namespace quillory
