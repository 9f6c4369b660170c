#include <readable/BlockWriter.h>

#include <readable/FlatDocument.h>

#include <gumbo.h>

#include <algorithm>

namespace quillory {

namespace {

using Kind = ReadableBlock::Kind;

constexpr qsizetype linkTextLimit = 1000;
constexpr size_t hrefLimit = 8192;

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

char lowered(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
}

// The href as a browser reads it (without the tabs and line breaks URL parsing drops), when
// it leads to a web page or a mail address off this page; empty otherwise.
std::string followable(std::string_view href)
{
    while (!href.empty() && isSpace(href.front()))
        href.remove_prefix(1);
    while (!href.empty() && isSpace(href.back()))
        href.remove_suffix(1);
    if (href.empty() || href.front() == '#' || href.size() > hrefLimit)
        return {};
    std::string cleaned;
    cleaned.reserve(href.size());
    for (char c : href) {
        if (c != '\t' && c != '\n' && c != '\r')
            cleaned += c;
    }
    const size_t mark = cleaned.find_first_of(":/?#");
    if (mark == std::string::npos || cleaned[mark] != ':')
        return cleaned;
    std::string scheme = cleaned.substr(0, mark);
    for (char &c : scheme)
        c = lowered(c);
    if (scheme == "http" || scheme == "https" || scheme == "mailto" || scheme == "ftp")
        return cleaned;
    return {};
}

int headingLevel(GumboTag tag)
{
    switch (tag) {
    case GUMBO_TAG_H1:
        return 1;
    case GUMBO_TAG_H2:
        return 2;
    case GUMBO_TAG_H3:
        return 3;
    case GUMBO_TAG_H4:
        return 4;
    case GUMBO_TAG_H5:
        return 5;
    case GUMBO_TAG_H6:
        return 6;
    default:
        return 0;
    }
}

// Containers that, made mostly of links, are menus, tag clouds and "more like this" boxes.
// An ordered list of links inside an article is its references, and stays.
bool isLinkGroup(GumboTag tag)
{
    switch (tag) {
    case GUMBO_TAG_UL:
    case GUMBO_TAG_DL:
    case GUMBO_TAG_DIV:
    case GUMBO_TAG_SECTION:
    case GUMBO_TAG_TABLE:
    case GUMBO_TAG_P:
        return true;
    default:
        return false;
    }
}

} // namespace

bool BlockWriter::addBounded(std::string &to, std::string_view piece, qsizetype limit)
{
    if (qsizetype(piece.size()) <= limit) {
        to.append(piece);
        return true;
    }
    size_t cut = size_t(std::max<qsizetype>(limit, 0));
    // Back to the first byte of the character the limit falls in.
    while (cut > 0 && (uchar(piece[cut]) & 0xC0) == 0x80)
        --cut;
    to.append(piece.substr(0, cut));
    return false;
}

bool BlockWriter::excluded(qint32 index, qint32 root) const
{
    const FlatDocument::Node &node = m_document.nodes()[size_t(index)];
    if (node.has(FlatDocument::Hidden) || index == m_options.skipped)
        return true;
    if (!m_options.keepChrome && (node.flags & (FlatDocument::Chrome | FlatDocument::Unlikely)))
        return true;
    if (!m_options.dropLinkGroups || index == root)
        return false;
    const auto tag = GumboTag(node.tag);
    if (tag == GUMBO_TAG_FORM)
        return true;
    return isLinkGroup(tag) && node.links >= 3 && node.linkDensity() > 0.5 && node.weight < 25;
}

void BlockWriter::append(const char *text, qint32 size)
{
    const qsizetype room = m_options.byteLimit - m_written - separator() - qsizetype(m_text.size());
    if (m_context.pre > 0) {
        if (m_text.empty() && size > 0)
            m_linkLed = m_inLink;
        m_cut = !addBounded(m_text, std::string_view(text, size_t(size)), room) || m_cut;
    } else {
        qint32 at = 0;
        while (at < size && !m_cut) {
            if (isSpace(text[at])) {
                m_pendingSpace = true;
                ++at;
                continue;
            }
            qint32 run = at;
            while (run < size && !isSpace(text[run]))
                ++run;
            const bool space =
                m_pendingSpace && !m_text.empty() && m_text.back() != '\n' && m_text.back() != '\t';
            if (m_text.empty())
                m_linkLed = m_inLink;
            const qsizetype left = m_options.byteLimit - m_written - separator() -
                                   qsizetype(m_text.size()) - (space ? 1 : 0);
            if (space && left >= 0)
                m_text += ' ';
            m_pendingSpace = false;
            m_cut = !addBounded(m_text, std::string_view(text + at, size_t(run - at)), left);
            at = run;
        }
    }
    if (!m_inLink)
        return;
    // A link's text is collapsed whatever its block, and kept short.
    for (qint32 at = 0; at < size; ++at) {
        if (isSpace(text[at])) {
            m_linkPendingSpace = true;
            continue;
        }
        qint32 run = at;
        while (run < size && !isSpace(text[run]))
            ++run;
        if (m_linkPendingSpace && !m_linkText.empty())
            m_linkText += ' ';
        m_linkPendingSpace = false;
        if (!addBounded(m_linkText, std::string_view(text + at, size_t(run - at)),
                        linkTextLimit - qsizetype(m_linkText.size())))
            break;
        at = run - 1;
    }
}

void BlockWriter::lineBreak()
{
    if (m_context.pre > 0) {
        append("\n", 1);
        return;
    }
    m_pendingSpace = false;
    m_linkPendingSpace = true;
    if (m_text.empty())
        return;
    if (m_text.back() == '\n') {
        flush(); // two breaks in a row part paragraphs on many pages
        return;
    }
    m_text += '\n';
}

void BlockWriter::flush()
{
    size_t begin = 0;
    size_t end = m_text.size();
    if (m_context.pre > 0) {
        while (begin < end && m_text[begin] == '\n')
            ++begin;
        while (end > begin && isSpace(m_text[end - 1]))
            --end;
    } else {
        while (begin < end && isSpace(m_text[begin]))
            ++begin;
        while (end > begin && isSpace(m_text[end - 1]))
            --end;
    }
    if (end > begin) {
        m_written += qsizetype(end - begin) + separator();
        m_blocks.push_back(
            {m_context.kind, m_context.level, m_text.substr(begin, end - begin), m_linkLed});
    }
    m_text.clear();
    m_pendingSpace = false;
    m_linkLed = false;
}

void BlockWriter::enter(qint32 index, std::vector<Open> &open)
{
    const FlatDocument::Node &node = m_document.nodes()[size_t(index)];
    const auto tag = GumboTag(node.tag);
    if (tag == GUMBO_TAG_BR) {
        lineBreak();
        return;
    }
    if (tag == GUMBO_TAG_TD || tag == GUMBO_TAG_TH) {
        // A row reads as one line, its cells parted by tabs, as a browser copies it; a cell
        // holding blocks still gives them blocks of their own.
        if (!m_text.empty() && m_text.back() != '\n' && m_text.back() != '\t')
            m_text += '\t';
        m_pendingSpace = false;
    }
    Open opened{node.end, m_context, false, false};
    if (FlatDocument::isBlockTag(tag) && tag != GUMBO_TAG_TD && tag != GUMBO_TAG_TH) {
        flush();
        opened.block = true;
        if (m_context.pre > 0) {
            // Blocks inside preformatted text keep its spaces, and so stay preformatted.
        } else if (const int level = headingLevel(tag); level > 0) {
            m_context.kind = Kind::Heading;
            m_context.level = level;
        } else if (tag == GUMBO_TAG_LI) {
            m_context.kind = Kind::ListItem;
            m_context.level = 0;
        } else if (tag == GUMBO_TAG_BLOCKQUOTE) {
            m_context.kind = Kind::Quote;
            m_context.level = 0;
        } else if (tag == GUMBO_TAG_PRE || tag == GUMBO_TAG_LISTING || tag == GUMBO_TAG_PLAINTEXT) {
            m_context.kind = Kind::Preformatted;
            m_context.level = 0;
            ++m_context.pre;
        }
    }
    if (tag == GUMBO_TAG_A && !m_inLink) {
        m_linkHref = followable(m_document.attribute(index, "href"));
        if (!m_linkHref.empty()) {
            opened.link = true;
            m_inLink = true;
            m_linkText.clear();
            m_linkPendingSpace = false;
        }
    }
    if (opened.block || opened.link)
        open.push_back(opened);
}

void BlockWriter::leave(const Open &open)
{
    if (open.link) {
        m_inLink = false;
        if (!m_linkText.empty() && qsizetype(m_links.size()) < m_options.linkLimit)
            m_links.push_back({m_linkText, m_linkHref});
    }
    if (open.block) {
        flush();
        m_context = open.saved;
    }
}

void BlockWriter::write(qint32 root)
{
    const std::vector<FlatDocument::Node> &nodes = m_document.nodes();
    std::vector<Open> open;
    const qint32 end = nodes[size_t(root)].end;
    for (qint32 i = root; i < end && !m_cut;) {
        while (!open.empty() && open.back().end <= i) {
            const Open closed = open.back();
            open.pop_back();
            leave(closed);
        }
        const FlatDocument::Node &node = nodes[size_t(i)];
        if (node.isText()) {
            append(node.text, node.textSize);
            ++i;
            continue;
        }
        if (excluded(i, root)) {
            i = node.end;
            continue;
        }
        enter(i, open);
        ++i;
    }
    while (!open.empty()) {
        const Open closed = open.back();
        open.pop_back();
        leave(closed);
    }
    flush();
}

} // namespace quillory
