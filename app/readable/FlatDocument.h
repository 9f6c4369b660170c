#pragma once

#include <QtGlobal>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quillory {

// A parsed page laid out as one array in document order, so that every walk over it is a
// loop: an element's subtree is the nodes from it to its `end`, and its parent comes before
// it. Elements a reader never sees (scripts, styles, forms' controls, the head, anything
// hidden) are kept without their subtree. Each node carries what the scoring reads: the
// length of the text a reader sees under it, how much of that is in links, its commas, and
// the hints its tag, class and id give. The parser's tree stays owned here, because text
// nodes point into it.
class FlatDocument final
{
public:
    enum Flag : quint8 {
        Hidden = 1,        // never shown: no subtree was kept
        Chrome = 2,        // navigation, banners, footers, sidebars, comment sections
        Unlikely = 4,      // a class or id that names only page furniture
        HasBlockChild = 8, // a child element starts a block of its own
    };
    static constexpr quint16 textTag = 0xFFFF;
    // What a reader never reads: hidden elements and page furniture.
    static constexpr quint8 unread = Hidden | Chrome | Unlikely;

    struct Node
    {
        const void *element = nullptr; // the parser's node, for attributes
        const char *text = nullptr;    // a text node's UTF-8, as written (not collapsed)
        qint32 textSize = 0;
        qint32 parent = -1;
        qint32 end = 0;        // one past the last node of the subtree
        quint16 tag = textTag; // the parser's tag number for elements
        quint8 flags = 0;
        qint16 weight = 0; // +25 / -25 for each of class and id that hints content or furniture
        // Over the subtree, leaving out what is Hidden, Chrome or Unlikely: bytes of text with
        // whitespace runs counted once, the part of them inside links, commas, and links.
        qint32 textBytes = 0;
        qint32 linkBytes = 0;
        qint32 commas = 0;
        qint32 links = 0;
        qint32 shownBytes = 0; // textBytes with the Unlikely parts counted too

        bool isText() const { return tag == textTag; }
        bool has(Flag flag) const { return (flags & flag) != 0; }
        double linkDensity() const { return textBytes > 0 ? double(linkBytes) / textBytes : 0.0; }
    };

    // `html` must outlive this document.
    explicit FlatDocument(std::string_view html);
    ~FlatDocument();
    FlatDocument(const FlatDocument &) = delete;
    FlatDocument &operator=(const FlatDocument &) = delete;

    const std::vector<Node> &nodes() const { return m_nodes; }
    // The <body>, or the root when the tree has none; -1 for an empty tree.
    qint32 body() const { return m_body; }
    // The first element of the body, in document order, for which `found(index, node)`
    // holds, or -1; text nodes and the subtrees of unread elements are passed over.
    template <typename Found> qint32 findReadElement(Found found) const
    {
        for (qint32 i = m_body; i >= 0 && i < m_nodes[size_t(m_body)].end;) {
            const Node &node = m_nodes[size_t(i)];
            if (node.isText()) {
                ++i;
            } else if ((node.flags & unread) != 0) {
                i = node.end;
            } else if (found(i, node)) {
                return i;
            } else {
                ++i;
            }
        }
        return -1;
    }
    // An attribute's value as written after character references; empty when absent.
    std::string_view attribute(qint32 node, const char *name) const;
    bool hasAttribute(qint32 node, const char *name) const;

    const std::string &title() const { return m_title; }
    const std::string &metaAuthor() const { return m_metaAuthor; }
    const std::string &baseHref() const { return m_baseHref; }

    static bool isBlockTag(quint16 tag);
    // Words of a class or id value that name content ("article", "post") or page furniture
    // ("sidebar", "comments"); the rest are neither.
    enum class Hint { None, Content, Furniture, Both };
    static Hint hintOf(std::string_view classOrId);

private:
    struct Parse;

    void flatten();
    void aggregate();
    // A class or id naming furniture on an element that holds most of the page's text is
    // taken as a wrapper's ("layout-with-sidebar"), not as furniture.
    void keepUnlikelyWrappers();
    void classify(qint32 index);
    quint8 hiddenOrChrome(qint32 index) const;
    void readHeadElement(const void *element);

    std::unique_ptr<Parse> m_parse;
    std::vector<Node> m_nodes;
    qint32 m_body = -1;
    std::string m_title;
    std::string m_metaAuthor;
    std::string m_baseHref;
};

} // namespace quillory
