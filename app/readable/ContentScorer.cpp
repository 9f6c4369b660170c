#include <readable/ContentScorer.h>

#include <readable/FlatDocument.h>

#include <gumbo.h>

#include <algorithm>

namespace quillory {

namespace {

using Node = FlatDocument::Node;

double tagScore(GumboTag tag)
{
    switch (tag) {
    case GUMBO_TAG_DIV:
    case GUMBO_TAG_ARTICLE:
        return 5;
    case GUMBO_TAG_PRE:
    case GUMBO_TAG_TD:
    case GUMBO_TAG_BLOCKQUOTE:
        return 3;
    case GUMBO_TAG_ADDRESS:
    case GUMBO_TAG_OL:
    case GUMBO_TAG_UL:
    case GUMBO_TAG_DL:
    case GUMBO_TAG_DD:
    case GUMBO_TAG_DT:
    case GUMBO_TAG_LI:
    case GUMBO_TAG_FORM:
        return -3;
    case GUMBO_TAG_H1:
    case GUMBO_TAG_H2:
    case GUMBO_TAG_H3:
    case GUMBO_TAG_H4:
    case GUMBO_TAG_H5:
    case GUMBO_TAG_H6:
    case GUMBO_TAG_TH:
        return -5;
    default:
        return 0;
    }
}

// What reads as a paragraph: the paragraph elements, and a block holding only inline
// content (a <div> of text and <br>s is how many pages write paragraphs).
bool isParagraph(const Node &node)
{
    switch (GumboTag(node.tag)) {
    case GUMBO_TAG_P:
    case GUMBO_TAG_PRE:
    case GUMBO_TAG_TD:
        return true;
    case GUMBO_TAG_DIV:
    case GUMBO_TAG_SECTION:
    case GUMBO_TAG_ARTICLE:
        return !node.has(FlatDocument::HasBlockChild);
    default:
        return false;
    }
}

bool isHeading(quint16 tag)
{
    return tag >= GUMBO_TAG_H1 && tag <= GUMBO_TAG_H6;
}

} // namespace

std::vector<qint32> ContentScorer::choose(const FlatDocument &document)
{
    const std::vector<Node> &nodes = document.nodes();
    const qint32 body = document.body();
    if (body < 0)
        return {};
    std::vector<double> score(nodes.size(), 0.0);
    std::vector<bool> scored(nodes.size(), false);
    document.findReadElement([&](qint32, const Node &node) {
        if (isParagraph(node) && node.textBytes >= 25) {
            const double points = 1 + node.commas + std::min(node.textBytes / 100, 3);
            qint32 up = node.parent;
            for (int level = 0; level < 3 && up >= 0; ++level, up = nodes[size_t(up)].parent) {
                if (!scored[size_t(up)]) {
                    scored[size_t(up)] = true;
                    score[size_t(up)] =
                        tagScore(GumboTag(nodes[size_t(up)].tag)) + nodes[size_t(up)].weight;
                }
                score[size_t(up)] += points / (level == 0 ? 1 : level == 1 ? 2 : 6);
            }
        }
        return false;
    });
    qint32 top = -1;
    for (size_t i = 0; i < nodes.size(); ++i) {
        if (!scored[i])
            continue;
        score[i] *= 1.0 - nodes[i].linkDensity();
        if (top < 0 || score[i] > score[size_t(top)])
            top = qint32(i);
    }
    if (top < 0)
        return {};
    // An <article> just around the winner holds its title and byline too.
    for (qint32 up = nodes[size_t(top)].parent, level = 0; up >= 0 && level < 3;
         up = nodes[size_t(up)].parent, ++level) {
        if (nodes[size_t(up)].tag == GUMBO_TAG_ARTICLE &&
            nodes[size_t(top)].textBytes * 10 >= nodes[size_t(up)].textBytes * 6) {
            top = up;
            break;
        }
    }
    const double topScore = score[size_t(top)];
    const qint32 parent = nodes[size_t(top)].parent;
    if (parent < 0)
        return {top};
    const double threshold = std::max(10.0, topScore * 0.2);
    const std::string_view topClass = document.attribute(top, "class");
    std::vector<qint32> siblings;
    std::vector<bool> kept;
    for (qint32 c = parent + 1; c < nodes[size_t(parent)].end; c = nodes[size_t(c)].end) {
        const Node &sibling = nodes[size_t(c)];
        if (sibling.isText() || (sibling.flags & FlatDocument::unread) != 0)
            continue;
        bool keep = c == top;
        if (!keep && scored[size_t(c)]) {
            const double bonus = !topClass.empty() && document.attribute(c, "class") == topClass
                                     ? topScore * 0.2
                                     : 0.0;
            keep = score[size_t(c)] + bonus >= threshold;
        }
        if (!keep && isParagraph(sibling))
            keep = sibling.textBytes > 80 && sibling.linkDensity() < 0.25;
        siblings.push_back(c);
        kept.push_back(keep);
    }
    // A heading just before a kept block titles it.
    for (size_t i = siblings.size(); i-- > 1;) {
        if (kept[i] && !kept[i - 1] && isHeading(nodes[size_t(siblings[i - 1])].tag))
            kept[i - 1] = true;
    }
    std::vector<qint32> roots;
    for (size_t i = 0; i < siblings.size(); ++i) {
        if (kept[i])
            roots.push_back(siblings[i]);
    }
    return roots;
}

} // namespace quillory
