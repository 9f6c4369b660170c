#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

namespace quillory {

class TextArena;

// An item's texts, kept as UTF-8 in one block: its title, note, the site it came from, its
// web address, the program it came from, its page metadata (JSON), and a kind's raw value
// when it names no kind this version knows. The four a search reads come first, in the
// order it reads them, so that they lie end to end in the block. A large library holds hundreds of
// thousands of items and shows a few dozen: a string each would cost twice the bytes of text, a
// pointer or two per field and an allocation per field, for text mostly read once, to be indexed.
class ItemTexts final
{
public:
    enum Field : uint8_t { Title, Note, SourceDomain, Url, SourceApp, MetadataJSON, UnknownType };
    static constexpr size_t fieldCount = 7;
    static_assert(fieldCount < 8, "one byte tells which fields are present, and where");
    using Parts = std::array<std::optional<std::string_view>, fieldCount>;

    // An empty title and nothing else.
    ItemTexts() = default;
    // An absent title stands for an empty one. With an arena, the block is made in it (for
    // the many items of a library read at once).
    explicit ItemTexts(const Parts &parts, TextArena *arena = nullptr);
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
        // Every field at once, read in one pass.
        Parts parts() const;
        // Where the four fields a search reads (Title to Url) lie, end to end from `begin`:
        // field f ends `ends[f]` bytes after it, and is present when bit f of `present` is.
        struct Searched
        {
            const char *begin;
            std::array<uint32_t, 4> ends;
            uint8_t present;
        };
        static_assert(Url == 3, "the searched fields come first");
        // Inline: a search reads it for nearly every item on some queries.
        Searched searched() const
        {
            Searched searched{"", {}, 1};
            if (!m_block)
                return searched;
            const auto present = static_cast<unsigned char>(m_block[0]);
            searched.present = uint8_t(present & 0xf);
            const char *in = m_block + 1;
            uint32_t end = 0;
            for (size_t i = 0; i <= Url; ++i) {
                if (present & (1u << i))
                    end += uint32_t(readSize(in));
                searched.ends[i] = end;
            }
            for (size_t i = Url + 1; i < fieldCount; ++i) {
                if (present & (1u << i))
                    readSize(in);
            }
            searched.begin = in;
            return searched;
        }

    private:
        // A field's size, moving `in` past it: one byte for most.
        static size_t readSize(const char *&in)
        {
            const auto first = static_cast<unsigned char>(*in);
            if (first < 0x80) {
                ++in;
                return first;
            }
            return readLongSize(in);
        }
        static size_t readLongSize(const char *&in);

        const char *m_block;
    };
    View view() const { return View(m_block.get()); }
    // The block, when it lies in a TextArena: a reader may then hold it there
    // (TextArena::retain) and read it on after this item has changed or gone. Null otherwise.
    const char *arenaBlock() const;
    // Makes a block of `parts` in `arena`, held once for the caller, and returns it.
    static const char *write(const Parts &parts, TextArena &arena);

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
    static size_t blockSize(const Parts &parts);
    static void fill(char *block, const Parts &parts, bool inArena);

    struct BlockDeleter
    {
        void operator()(char *block) const;
    };

    // One byte of which fields are present (and whether the block lies in an arena), the
    // size of each present field as a base-128 varint (one byte for most), then their bytes,
    // in field order.
    std::unique_ptr<char[], BlockDeleter> m_block; // null: the empty title alone
};

} // namespace quillory
