#include <readable/FlatDocument.h>

#include <gumbo.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace quillory {

struct FlatDocument::Parse
{
    GumboOutput *output = nullptr;

    ~Parse()
    {
        if (output != nullptr)
            gumbo_destroy_output(&kGumboDefaultOptions, output);
    }
};

namespace {

const GumboNode *gumboNode(const void *element)
{
    return static_cast<const GumboNode *>(element);
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

char lowered(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
}

bool isAlphanumeric(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool equalsIgnoringCase(std::string_view text, std::string_view lowerWord)
{
    if (text.size() != lowerWord.size())
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (lowered(text[i]) != lowerWord[i])
            return false;
    }
    return true;
}

// A value with its spaces taken out and lower-cased, at most its first 512 bytes.
std::string squeezed(std::string_view value)
{
    std::string out;
    for (char c : value.substr(0, 512)) {
        if (!isSpace(c))
            out += lowered(c);
    }
    return out;
}

bool isHiddenTag(GumboTag tag)
{
    switch (tag) {
    case GUMBO_TAG_HEAD:
    case GUMBO_TAG_TITLE:
    case GUMBO_TAG_META:
    case GUMBO_TAG_LINK:
    case GUMBO_TAG_BASE:
    case GUMBO_TAG_SCRIPT:
    case GUMBO_TAG_STYLE:
    case GUMBO_TAG_NOSCRIPT:
    case GUMBO_TAG_TEMPLATE:
    case GUMBO_TAG_IFRAME:
    case GUMBO_TAG_OBJECT:
    case GUMBO_TAG_EMBED:
    case GUMBO_TAG_CANVAS:
    case GUMBO_TAG_SVG:
    case GUMBO_TAG_MATH:
    case GUMBO_TAG_SELECT:
    case GUMBO_TAG_BUTTON:
    case GUMBO_TAG_INPUT:
    case GUMBO_TAG_TEXTAREA:
    case GUMBO_TAG_LABEL:
    case GUMBO_TAG_DATALIST:
    case GUMBO_TAG_AUDIO:
    case GUMBO_TAG_VIDEO:
    case GUMBO_TAG_MAP:
    case GUMBO_TAG_XMP:
    case GUMBO_TAG_NOEMBED:
    case GUMBO_TAG_NOFRAMES:
    case GUMBO_TAG_FRAMESET:
        return true;
    default:
        return false;
    }
}

// Landmark roles of what surrounds a page's content.
bool isChromeRole(std::string_view role)
{
    for (std::string_view chrome :
         {"navigation", "banner", "contentinfo", "complementary", "search", "menu", "menubar",
          "dialog", "alertdialog", "toolbar", "tablist"}) {
        if (equalsIgnoringCase(role, chrome))
            return true;
    }
    return false;
}

constexpr std::array contentWords{
    std::string_view("article"), std::string_view("articles"), std::string_view("content"),
    std::string_view("main"),    std::string_view("post"),     std::string_view("entry"),
    std::string_view("body"),    std::string_view("story"),    std::string_view("prose"),
    std::string_view("blog"),    std::string_view("hentry")};
constexpr std::array furnitureWords{
    std::string_view("nav"),     std::string_view("navigation"), std::string_view("menu"),
    std::string_view("menus"),   std::string_view("foot"),       std::string_view("aside"),
    std::string_view("ad"),      std::string_view("ads"),        std::string_view("masthead"),
    std::string_view("header"),  std::string_view("topbar"),     std::string_view("toolbar"),
    std::string_view("modal"),   std::string_view("consent"),    std::string_view("pager"),
    std::string_view("signup"),  std::string_view("login"),      std::string_view("skip"),
    std::string_view("comment"), std::string_view("comments"),   std::string_view("commentlist"),
    std::string_view("disqus"),  std::string_view("outbrain"),   std::string_view("taboola")};
// Furniture words that also start longer words of furniture ("sidebar1", "sharebar").
// "hidden" is not one: utility classes such as "overflow-hidden" or "hidden md:block" dress
// content as often as they hide it.
constexpr std::array furniturePrefixes{
    std::string_view("sidebar"),    std::string_view("footer"),  std::string_view("navbar"),
    std::string_view("share"),      std::string_view("sharing"), std::string_view("social"),
    std::string_view("promo"),      std::string_view("advert"),  std::string_view("sponsor"),
    std::string_view("banner"),     std::string_view("related"), std::string_view("recommend"),
    std::string_view("widget"),     std::string_view("popup"),   std::string_view("cookie"),
    std::string_view("newsletter"), std::string_view("subscri"), std::string_view("breadcrumb"),
    std::string_view("pagination")};

} // namespace

FlatDocument::Hint FlatDocument::hintOf(std::string_view value)
{
    bool content = false;
    bool furniture = false;
    value = value.substr(0, 512);
    size_t at = 0;
    while (at < value.size()) {
        while (at < value.size() && !isAlphanumeric(value[at]))
            ++at;
        const size_t start = at;
        // Words split at separators and where a lower-case letter meets an upper-case one.
        while (at < value.size() && isAlphanumeric(value[at]) &&
               !(at > start && value[at] >= 'A' && value[at] <= 'Z' && value[at - 1] >= 'a' &&
                 value[at - 1] <= 'z'))
            ++at;
        if (at == start || at - start > 32)
            continue;
        char buffer[32];
        for (size_t i = start; i < at; ++i)
            buffer[i - start] = lowered(value[i]);
        const std::string_view word(buffer, at - start);
        if (std::find(contentWords.begin(), contentWords.end(), word) != contentWords.end()) {
            content = true;
            continue;
        }
        if (std::find(furnitureWords.begin(), furnitureWords.end(), word) != furnitureWords.end()) {
            furniture = true;
            continue;
        }
        for (std::string_view prefix : furniturePrefixes)
            furniture = furniture || word.starts_with(prefix);
    }
    if (content && furniture)
        return Hint::Both;
    return content ? Hint::Content : furniture ? Hint::Furniture : Hint::None;
}

bool FlatDocument::isBlockTag(quint16 tag)
{
    switch (GumboTag(tag)) {
    case GUMBO_TAG_ADDRESS:
    case GUMBO_TAG_ARTICLE:
    case GUMBO_TAG_ASIDE:
    case GUMBO_TAG_BLOCKQUOTE:
    case GUMBO_TAG_CENTER:
    case GUMBO_TAG_DD:
    case GUMBO_TAG_DETAILS:
    case GUMBO_TAG_DIR:
    case GUMBO_TAG_DIV:
    case GUMBO_TAG_DL:
    case GUMBO_TAG_DT:
    case GUMBO_TAG_FIELDSET:
    case GUMBO_TAG_FIGCAPTION:
    case GUMBO_TAG_FIGURE:
    case GUMBO_TAG_FOOTER:
    case GUMBO_TAG_FORM:
    case GUMBO_TAG_H1:
    case GUMBO_TAG_H2:
    case GUMBO_TAG_H3:
    case GUMBO_TAG_H4:
    case GUMBO_TAG_H5:
    case GUMBO_TAG_H6:
    case GUMBO_TAG_HEADER:
    case GUMBO_TAG_HGROUP:
    case GUMBO_TAG_HR:
    case GUMBO_TAG_LI:
    case GUMBO_TAG_LISTING:
    case GUMBO_TAG_MAIN:
    case GUMBO_TAG_MENU:
    case GUMBO_TAG_NAV:
    case GUMBO_TAG_OL:
    case GUMBO_TAG_P:
    case GUMBO_TAG_PRE:
    case GUMBO_TAG_PLAINTEXT:
    case GUMBO_TAG_SECTION:
    case GUMBO_TAG_SUMMARY:
    case GUMBO_TAG_TABLE:
    case GUMBO_TAG_CAPTION:
    case GUMBO_TAG_TBODY:
    case GUMBO_TAG_THEAD:
    case GUMBO_TAG_TFOOT:
    case GUMBO_TAG_TR:
    case GUMBO_TAG_TD:
    case GUMBO_TAG_TH:
    case GUMBO_TAG_UL:
    case GUMBO_TAG_BODY:
        return true;
    default:
        return false;
    }
}

FlatDocument::FlatDocument(std::string_view html) : m_parse(std::make_unique<Parse>())
{
    GumboOptions options = kGumboDefaultOptions;
    options.max_errors = 0; // no page's errors are read, so none are kept
    m_parse->output = gumbo_parse_with_options(&options, html.data(), html.size());
    if (m_parse->output == nullptr || m_parse->output->root == nullptr)
        return;
    flatten();
    aggregate();
    keepUnlikelyWrappers();
}

FlatDocument::~FlatDocument() = default;

std::string_view FlatDocument::attribute(qint32 node, const char *name) const
{
    const void *element = m_nodes[size_t(node)].element;
    if (element == nullptr)
        return {};
    const GumboAttribute *found =
        gumbo_get_attribute(&gumboNode(element)->v.element.attributes, name);
    return found != nullptr && found->value != nullptr ? std::string_view(found->value)
                                                       : std::string_view();
}

bool FlatDocument::hasAttribute(qint32 node, const char *name) const
{
    const void *element = m_nodes[size_t(node)].element;
    return element != nullptr &&
           gumbo_get_attribute(&gumboNode(element)->v.element.attributes, name) != nullptr;
}

void FlatDocument::classify(qint32 index)
{
    Node &node = m_nodes[size_t(index)];
    node.flags = hiddenOrChrome(index);
    if (node.has(Hidden))
        return;
    const GumboTag tag = GumboTag(node.tag);
    const Hint classHint = hintOf(attribute(index, "class"));
    const Hint idHint = hintOf(attribute(index, "id"));
    const auto weightOf = [](Hint hint) {
        return hint == Hint::Content ? 25 : hint == Hint::Furniture ? -25 : 0;
    };
    node.weight = qint16(weightOf(classHint) + weightOf(idHint));
    const bool structural = tag == GUMBO_TAG_BODY || tag == GUMBO_TAG_HTML ||
                            tag == GUMBO_TAG_ARTICLE || tag == GUMBO_TAG_MAIN;
    if (!structural && (classHint == Hint::Furniture || idHint == Hint::Furniture) &&
        classHint != Hint::Content && idHint != Hint::Content && classHint != Hint::Both &&
        idHint != Hint::Both)
        node.flags |= Unlikely;
}

quint8 FlatDocument::hiddenOrChrome(qint32 index) const
{
    const GumboTag tag = GumboTag(m_nodes[size_t(index)].tag);
    if (isHiddenTag(tag) || hasAttribute(index, "hidden") ||
        equalsIgnoringCase(attribute(index, "aria-hidden"), "true"))
        return Hidden;
    const std::string style = squeezed(attribute(index, "style"));
    if (style.find("display:none") != std::string::npos ||
        style.find("visibility:hidden") != std::string::npos)
        return Hidden;
    quint8 flags = 0;
    if (tag == GUMBO_TAG_NAV || tag == GUMBO_TAG_ASIDE || tag == GUMBO_TAG_FOOTER ||
        isChromeRole(attribute(index, "role")))
        flags |= Chrome;
    if (tag == GUMBO_TAG_HEADER) {
        // A page's banner, unless it heads an article.
        bool inArticle = false;
        for (qint32 up = m_nodes[size_t(index)].parent; up >= 0 && !inArticle;
             up = m_nodes[size_t(up)].parent) {
            const GumboTag above = GumboTag(m_nodes[size_t(up)].tag);
            inArticle = above == GUMBO_TAG_ARTICLE || above == GUMBO_TAG_MAIN;
        }
        if (!inArticle)
            flags |= Chrome;
    }
    return flags;
}

void FlatDocument::readHeadElement(const void *element)
{
    const GumboNode *node = gumboNode(element);
    const GumboVector &attributes = node->v.element.attributes;
    const auto value = [&attributes](const char *name) {
        const GumboAttribute *found = gumbo_get_attribute(&attributes, name);
        return found != nullptr && found->value != nullptr ? std::string_view(found->value)
                                                           : std::string_view();
    };
    switch (node->v.element.tag) {
    case GUMBO_TAG_TITLE:
        if (m_title.empty()) {
            const GumboVector &children = node->v.element.children;
            for (unsigned i = 0; i < children.length; ++i) {
                const GumboNode *child = static_cast<const GumboNode *>(children.data[i]);
                if (child->type == GUMBO_NODE_TEXT || child->type == GUMBO_NODE_WHITESPACE)
                    m_title += child->v.text.text;
            }
        }
        break;
    case GUMBO_TAG_META:
        if (m_metaAuthor.empty() && equalsIgnoringCase(value("name"), "author"))
            m_metaAuthor = value("content");
        break;
    case GUMBO_TAG_BASE:
        if (m_baseHref.empty())
            m_baseHref = value("href");
        break;
    default:
        break;
    }
}

void FlatDocument::flatten()
{
    struct Pending
    {
        const GumboNode *node;
        qint32 parent;
    };
    std::vector<Pending> pending{{m_parse->output->root, -1}};
    while (!pending.empty()) {
        const Pending next = pending.back();
        pending.pop_back();
        const GumboNode *g = next.node;
        Node node;
        node.parent = next.parent;
        switch (g->type) {
        case GUMBO_NODE_TEXT:
        case GUMBO_NODE_WHITESPACE:
        case GUMBO_NODE_CDATA:
            node.text = g->v.text.text;
            node.textSize = qint32(std::strlen(g->v.text.text));
            m_nodes.push_back(node);
            continue;
        case GUMBO_NODE_ELEMENT:
        case GUMBO_NODE_TEMPLATE:
            break;
        case GUMBO_NODE_DOCUMENT:
        case GUMBO_NODE_COMMENT:
            continue;
        }
        const auto index = qint32(m_nodes.size());
        node.element = g;
        node.tag = quint16(g->v.element.tag);
        m_nodes.push_back(node);
        Node &added = m_nodes.back();
        classify(index);
        const GumboTag tag = g->v.element.tag;
        if (tag == GUMBO_TAG_TITLE || tag == GUMBO_TAG_META || tag == GUMBO_TAG_BASE)
            readHeadElement(g);
        if (tag == GUMBO_TAG_BODY && m_body < 0)
            m_body = index;
        if (tag == GUMBO_TAG_HEAD) {
            // Only the title, the author and the base address are read from the head.
            const GumboVector &children = g->v.element.children;
            for (unsigned i = 0; i < children.length; ++i) {
                const GumboNode *child = static_cast<const GumboNode *>(children.data[i]);
                if (child->type == GUMBO_NODE_ELEMENT)
                    readHeadElement(child);
            }
        }
        if (added.has(Hidden))
            continue;
        const GumboVector &children = g->v.element.children;
        for (unsigned i = children.length; i > 0; --i)
            pending.push_back({static_cast<const GumboNode *>(children.data[i - 1]), index});
    }
    if (m_body < 0 && !m_nodes.empty())
        m_body = 0;
}

void FlatDocument::aggregate()
{
    for (qint32 i = qint32(m_nodes.size()) - 1; i >= 0; --i) {
        Node &node = m_nodes[size_t(i)];
        node.end = std::max(node.end, i + 1);
        if (node.isText()) {
            bool inSpace = true;
            for (qint32 at = 0; at < node.textSize; ++at) {
                const auto c = uchar(node.text[at]);
                if (isSpace(char(c))) {
                    if (!inSpace)
                        ++node.textBytes;
                    inSpace = true;
                    continue;
                }
                inSpace = false;
                ++node.textBytes;
                // ',' and the ideographic, full-width and Arabic commas
                if (c == ',' ||
                    (at + 2 < node.textSize && ((c == 0xEF && uchar(node.text[at + 1]) == 0xBC &&
                                                 uchar(node.text[at + 2]) == 0x8C) ||
                                                (c == 0xE3 && uchar(node.text[at + 1]) == 0x80 &&
                                                 uchar(node.text[at + 2]) == 0x81))) ||
                    (c == 0xD8 && at + 1 < node.textSize && uchar(node.text[at + 1]) == 0x8C))
                    ++node.commas;
            }
        } else if (node.tag == GUMBO_TAG_A && hasAttribute(i, "href")) {
            node.linkBytes = node.textBytes;
            node.links += 1;
        }
        if (node.parent < 0)
            continue;
        Node &parent = m_nodes[size_t(node.parent)];
        parent.end = std::max(parent.end, node.end);
        if ((node.flags & (Hidden | Chrome)) != 0)
            continue;
        parent.shownBytes += node.isText() ? node.textBytes : node.shownBytes;
        if (node.has(Unlikely))
            continue;
        parent.textBytes += node.textBytes;
        parent.linkBytes += node.linkBytes;
        parent.commas += node.commas;
        parent.links += node.links;
        if (!node.isText() && isBlockTag(node.tag))
            parent.flags |= HasBlockChild;
    }
}

void FlatDocument::keepUnlikelyWrappers()
{
    if (m_body < 0)
        return;
    const qint32 whole = m_nodes[size_t(m_body)].shownBytes;
    bool changed = false;
    for (Node &node : m_nodes) {
        if (node.has(Unlikely) && qint64(node.shownBytes) * 2 > whole) {
            node.flags &= quint8(~Unlikely);
            changed = true;
        }
    }
    if (!changed)
        return;
    for (Node &node : m_nodes) {
        node.textBytes = 0;
        node.linkBytes = 0;
        node.commas = 0;
        node.links = 0;
        node.shownBytes = 0;
    }
    aggregate();
}

} // namespace quillory
