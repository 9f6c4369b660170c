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
// the program it came from, its page metadata (JSON), and a kind's raw value when it names
// no kind this version knows. A large library holds hundreds of thousands of items and
// shows a few dozen: a string each would cost twice the bytes of text, a pointer or two per
// field and an allocation per field, for text mostly read once, to be indexed.
class ItemTexts final
{
public:
    enum Field : uint8_t { Title, Url, Note, SourceDomain, SourceApp, MetadataJSON, UnknownType };
    static constexpr size_t fieldCount = 7;
    static_assert(fieldCount <= 8, "one byte tells which fields are present");
    using Parts = std::array<std::optional<std::string_view>, fieldCount>;

    // An empty title and nothing else.
    ItemTexts() = default;
    // An absent title stands for an empty one.
    explicit ItemTexts(const Parts &parts);
    ItemTexts(ItemTexts &&) noexcept = default;
    ItemTexts &operator=(ItemTexts &&) noexcept = default;
    // Reads a block wherever it is kept: the item's own, or a copy of bytes() made for
    // another thread.
    class View
    {
    public:
        // Null: the empty title alone.
        explicit View(const char *block) : m_block(block) {}
        bool has(Field field) const;
        std::string_view utf8(Field field) const;
        std::optional<std::string_view> optionalUtf8(Field field) const;
        QString text(Field field) const;
        std::optional<QString> optionalText(Field field) const;
        // The whole block, empty for the empty title alone.
        std::string_view bytes() const;

    private:
        const char *m_block;
    };
    View view() const { return View(m_block.get()); }

    // The title is always present, if perhaps empty.
    bool has(Field field) const { return view().has(field); }
    // The field's bytes; empty when absent.
    std::string_view utf8(Field field) const { return view().utf8(field); }
    std::optional<std::string_view> optionalUtf8(Field field) const
    {
        return view().optionalUtf8(field);
    }
    std::optional<QString> optionalText(Field field) const { return view().optionalText(field); }
    QString text(Field field) const { return view().text(field); }
    std::optional<QByteArray> optionalBytes(Field field) const;

    // False, and nothing changed, when the field already holds `value`.
    bool set(Field field, const std::optional<QString> &value);
    bool setBytes(Field field, const std::optional<QByteArray> &value);

private:
    bool replace(Field field, std::optional<std::string_view> value);

    // One byte of which fields are present, the size of each present field as a base-128
    // varint (one byte for most), then their bytes, in field order.
    std::unique_ptr<char[]> m_block; // null: the empty title alone
};

} // namespace quillory
