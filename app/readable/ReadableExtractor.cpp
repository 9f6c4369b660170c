#include <readable/ReadableExtractor.h>

#include <readable/BlockWriter.h>
#include <readable/ContentScorer.h>
#include <readable/FlatDocument.h>
#include <readable/MarkupFilter.h>

#include <gumbo.h>

#include <QByteArray>
#include <string>

namespace quillory {

namespace {

using Outcome = ReadableText::Outcome;
using Node = FlatDocument::Node;

// UTF-16 units kept of a title or byline.
constexpr qsizetype titleLimit = 2000;

// Text a decoder made of bytes that were not text: controls no page writes, and the
// replacement character for bytes invalid in the chosen encoding. Browsers render such a
// page as noise; a reader has nothing to show of it.
bool looksBinary(QStringView html)
{
    const QStringView sample = html.first(std::min<qsizetype>(html.size(), 64 * 1024));
    qsizetype noise = 0;
    for (const QChar c : sample) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != '\t' && u != '\n' && u != '\f' && u != '\r') ||
            (u >= 0x7F && u <= 0x9F) || u == 0xFFFD)
            ++noise;
    }
    return noise * 50 > sample.size();
}

// The page's first bytes of UTF-8 up to the limit, never ending inside a character.
QByteArray cappedUtf8(QStringView html, qsizetype limit, bool &cut)
{
    QStringView head = html;
    if (head.size() > limit) {
        head = head.first(limit);
        if (!head.isEmpty() && head.back().isHighSurrogate())
            head.chop(1);
    }
    QByteArray utf8 = head.toUtf8();
    cut = head.size() < html.size();
    if (utf8.size() > limit) {
        qsizetype end = limit;
        while (end > 0 && (uchar(utf8[end]) & 0xC0) == 0x80)
            --end;
        utf8.truncate(end);
        cut = true;
    }
    return utf8;
}

// At most `limit` UTF-16 units of `text`, never half a surrogate pair.
QString shortened(QString text, qsizetype limit)
{
    if (text.size() <= limit)
        return text;
    text.truncate(limit);
    if (text.back().isHighSurrogate())
        text.chop(1);
    return text;
}

QString collapsed(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size())).simplified();
}

// The words of a class, id, rel or itemprop value, looked for one by one.
bool namesAuthor(std::string_view value)
{
    size_t at = 0;
    while (at < value.size()) {
        const size_t end = std::min(value.find_first_of(" \t\n\f\r-_", at), value.size());
        const std::string_view word = value.substr(at, end - at);
        if (word == "byline" || word == "author" || word == "Byline" || word == "Author")
            return true;
        at = end + 1;
    }
    return false;
}

// The first short visible element that says it names the author.
qint32 findByline(const FlatDocument &document)
{
    const qint32 body = document.body();
    return document.findReadElement([&document, body](qint32 i, const Node &node) {
        return node.textBytes > 0 && node.textBytes < 100 && i != body &&
               (namesAuthor(document.attribute(i, "class")) ||
                namesAuthor(document.attribute(i, "id")) ||
                namesAuthor(document.attribute(i, "rel")) ||
                namesAuthor(document.attribute(i, "itemprop")));
    });
}

QString textOf(const FlatDocument &document, qint32 element)
{
    std::string text;
    const std::vector<Node> &nodes = document.nodes();
    for (qint32 i = element; i < nodes[size_t(element)].end; ++i) {
        if (nodes[size_t(i)].isText())
            text.append(nodes[size_t(i)].text, size_t(nodes[size_t(i)].textSize));
        else if (nodes[size_t(i)].has(FlatDocument::Hidden))
            i = nodes[size_t(i)].end - 1;
    }
    return collapsed(text);
}

// A listing (search results, an index of posts, a page of links) scores like an article:
// many blocks with commas. Its headings are links, or most of its text is in blocks that
// lead with a link; an article's references at its end are not most of it.
bool readsAsArticle(const std::vector<BlockWriter::Block> &blocks)
{
    qsizetype prose = 0;
    qsizetype headings = 0;
    qsizetype linkedHeadings = 0;
    qsizetype linkLed = 0;
    qsizetype linkLedBytes = 0;
    for (const BlockWriter::Block &block : blocks) {
        if (block.kind == ReadableBlock::Kind::Heading) {
            ++headings;
            linkedHeadings += block.linkLed ? 1 : 0;
        } else if (block.linkLed) {
            ++linkLed;
            linkLedBytes += qsizetype(block.text.size());
        } else {
            prose += qsizetype(block.text.size());
        }
    }
    if (prose < 200)
        return false;
    if (linkedHeadings >= 3 && linkedHeadings * 2 >= headings)
        return false;
    return !(linkLed >= 4 && linkLedBytes >= prose);
}

QUrl baseAddress(const FlatDocument &document, const QUrl &address)
{
    if (document.baseHref().empty())
        return address;
    const QUrl declared = address.resolved(QUrl(QString::fromUtf8(document.baseHref()).trimmed()));
    const QString scheme = declared.scheme();
    return declared.isValid() && (scheme == u"http" || scheme == u"https") ? declared : address;
}

void fill(ReadableText &result, const BlockWriter &writer, const QUrl &base)
{
    for (const BlockWriter::Block &block : writer.blocks()) {
        result.blocks.append({block.kind, block.level,
                              QString::fromUtf8(block.text.data(), qsizetype(block.text.size()))});
    }
    for (const BlockWriter::Link &link : writer.links()) {
        const QUrl address =
            base.resolved(QUrl(QString::fromUtf8(link.href.data(), qsizetype(link.href.size()))));
        const QString scheme = address.scheme();
        if (!address.isValid() ||
            (scheme != u"http" && scheme != u"https" && scheme != u"mailto" && scheme != u"ftp"))
            continue;
        result.links.append(
            {QString::fromUtf8(link.text.data(), qsizetype(link.text.size())), address});
    }
    result.outputCut = writer.cut();
}

// The page's first visible <h1>, the usual title of its article.
qint32 firstH1(const FlatDocument &document)
{
    return document.findReadElement(
        [](qint32, const Node &node) { return node.tag == GUMBO_TAG_H1 && node.textBytes > 0; });
}

// The page's own title, or its heading when the title only adds the site's name to it (or
// the page has none); a first block that repeats the title leaves the blocks, as the title
// is shown above them, unless it is all the page says.
void settleTitle(ReadableText &result, const QString &pageTitle, const QString &h1)
{
    result.title = shortened(pageTitle, titleLimit);
    if (!h1.isEmpty() && h1.size() <= titleLimit &&
        (result.title.isEmpty() || result.title.contains(h1)))
        result.title = h1;
    if (result.blocks.isEmpty() || result.blocks.front().kind != ReadableBlock::Kind::Heading ||
        result.blocks.front().level > 2)
        return;
    const QString heading = result.blocks.front().text.simplified();
    if (heading.isEmpty() || heading.size() > titleLimit)
        return;
    if (result.title.isEmpty() || result.title.contains(heading))
        result.title = heading;
    if (result.title == heading && result.blocks.size() > 1)
        result.blocks.removeFirst();
}

} // namespace

ReadableText ReadableExtractor::extract(QStringView html, const QUrl &address)
{
    return extract(html, address, Limits());
}

ReadableText ReadableExtractor::extract(QStringView html, const QUrl &address, const Limits &limits)
{
    ReadableText result;
    if (looksBinary(html)) {
        result.outcome = Outcome::NotText;
        return result;
    }
    const QByteArray utf8 = cappedUtf8(html, limits.inputBytes, result.inputCut);
    const std::string filtered = MarkupFilter::filter(
        std::string_view(utf8.constData(), size_t(utf8.size())), {limits.depth, limits.elements});
    const FlatDocument document(filtered);
    if (document.body() < 0)
        return result;
    const QUrl base = baseAddress(document, address);
    const qint32 byline = findByline(document);

    BlockWriter::Options options;
    options.byteLimit = limits.outputBytes;
    options.linkLimit = limits.links;
    options.dropLinkGroups = true;
    options.skipped = byline;
    BlockWriter article(document, options);
    const std::vector<qint32> roots = ContentScorer::choose(document);
    for (qint32 root : roots)
        article.write(root);
    if (!roots.empty() && readsAsArticle(article.blocks())) {
        result.outcome = Outcome::Article;
        fill(result, article, base);
        result.byline = document.metaAuthor().empty()
                            ? byline >= 0 ? textOf(document, byline) : QString()
                            : shortened(collapsed(document.metaAuthor()), titleLimit);
    } else {
        // No article: what the page shows, without its navigation if anything is left.
        BlockWriter::Options visible;
        visible.byteLimit = std::min(limits.pageTextBytes, limits.outputBytes);
        visible.linkLimit = limits.links;
        BlockWriter page(document, visible);
        page.write(document.body());
        if (page.blocks().empty()) {
            visible.keepChrome = true;
            BlockWriter whole(document, visible);
            whole.write(document.body());
            fill(result, whole, base);
        } else {
            fill(result, page, base);
        }
        result.outcome = result.blocks.isEmpty() ? Outcome::NoText : Outcome::VisibleText;
    }
    const qint32 h1 = firstH1(document);
    settleTitle(result, collapsed(document.title()), h1 >= 0 ? textOf(document, h1) : QString());
    return result;
}

} // namespace quillory
