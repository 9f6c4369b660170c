#pragma once

#include <readable/ReadableText.h>

#include <QtGlobal>
#include <string>
#include <vector>

namespace quillory {

class FlatDocument;

// Writes the text under chosen elements of a flat document as blocks: headings,
// paragraphs, list items, quotes and preformatted text, whitespace collapsed as a browser
// shows it. Collects the links on the way, with the text they carry. Writing stops at a
// byte limit, cut at a character boundary, so no character is ever split. One loop over
// the subtrees, with a stack as deep as the blocks and links open at a node.
class BlockWriter final
{
public:
    struct Options
    {
        qsizetype byteLimit = 1024 * 1024;
        qsizetype linkLimit = 10'000;
        bool keepChrome = false;     // write navigation, footers and the like too
        bool dropLinkGroups = false; // leave out lists and boxes that are mostly links
        qint32 skipped = -1;         // an element left out (the byline, shown on its own)
    };
    struct Block
    {
        ReadableBlock::Kind kind;
        int level;
        std::string text;
        bool linkLed; // its text starts inside a link
    };
    struct Link
    {
        std::string text;
        std::string href;
    };

    BlockWriter(const FlatDocument &document, const Options &options)
        : m_document(document), m_options(options)
    {
    }

    void write(qint32 root);

    const std::vector<Block> &blocks() const { return m_blocks; }
    const std::vector<Link> &links() const { return m_links; }
    bool cut() const { return m_cut; }

private:
    struct Context
    {
        ReadableBlock::Kind kind = ReadableBlock::Kind::Paragraph;
        int level = 0;
        int pre = 0;
    };
    struct Open
    {
        qint32 end;
        Context saved;
        bool block;
        bool link;
    };

    bool excluded(qint32 index, qint32 root) const;
    void append(const char *text, qint32 size);
    // Adds as much of `piece` as `limit` leaves room for, whole characters only; false
    // when it did not all fit.
    static bool addBounded(std::string &to, std::string_view piece, qsizetype limit);
    void lineBreak();
    // The blank line before the next block in the plain text, which counts against the limit.
    qsizetype separator() const { return m_blocks.empty() ? 0 : 2; }
    void flush();
    void enter(qint32 index, std::vector<Open> &open);
    void leave(const Open &open);

    const FlatDocument &m_document;
    Options m_options;
    std::vector<Block> m_blocks;
    std::vector<Link> m_links;
    Context m_context;
    std::string m_text;
    bool m_pendingSpace = false;
    bool m_linkLed = false;
    bool m_inLink = false;
    std::string m_linkText;
    std::string m_linkHref;
    bool m_linkPendingSpace = false;
    qsizetype m_written = 0;
    bool m_cut = false;
};

} // namespace quillory
