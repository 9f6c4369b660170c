#include <views/dialogs/ReadingDocument.h>

#include <QRegularExpression>

#include <algorithm>
#include <optional>
#include <vector>

using namespace Qt::StringLiterals;

namespace quillory {

namespace {

constexpr int maxWords = 16;
constexpr qsizetype maxWordLength = 100;
// A common word marked a hundred thousand times would make the document several times
// the text; the first marks are the ones a reader scrolls to anyway.
constexpr int maxMarks = 5000;
// How many later links are looked for when one is not where it was expected: finding one
// of them means the first is in no block at all, and is left out.
constexpr qsizetype lookAhead = 16;

struct Span
{
    qsizetype start;
    qsizetype end;
    qsizetype link; // -1 for a mark
};

QString escaped(QStringView text, bool keepLines)
{
    QString html = text.toString().toHtmlEscaped();
    if (!keepLines)
        html.replace(u'\n', u"<br>"_s);
    return html;
}

// The element a block is written as.
QString blockTag(const ReadableBlock &block)
{
    switch (block.kind) {
    case ReadableBlock::Kind::Heading:
        // The page's own title is the only first-level heading.
        return u"h%1"_s.arg(std::clamp(block.level + 1, 2, 6));
    case ReadableBlock::Kind::ListItem:
        return u"li"_s;
    case ReadableBlock::Kind::Quote:
        return u"blockquote"_s;
    case ReadableBlock::Kind::Preformatted:
        return u"pre"_s;
    case ReadableBlock::Kind::Paragraph:
        break;
    }
    return u"p"_s;
}

// Writes `text` with its anchors and marks, which may overlap each other but not
// themselves: a mark is cut where an anchor opens or closes, so the tags nest.
void writeSpans(QString &html, const QString &text, const std::vector<Span> &anchors,
                const std::vector<Span> &marks, bool keepLines)
{
    std::vector<qsizetype> cuts{0, text.size()};
    for (const auto *spans : {&anchors, &marks}) {
        for (const Span &s : *spans) {
            cuts.push_back(s.start);
            cuts.push_back(s.end);
        }
    }
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
    auto anchor = anchors.begin();
    auto mark = marks.begin();
    for (size_t i = 0; i + 1 < cuts.size(); ++i) {
        const qsizetype from = cuts[i], to = cuts[i + 1];
        while (anchor != anchors.end() && anchor->end <= from)
            ++anchor;
        while (mark != marks.end() && mark->end <= from)
            ++mark;
        const bool inAnchor = anchor != anchors.end() && anchor->start <= from;
        const bool inMark = mark != marks.end() && mark->start <= from;
        if (inAnchor && anchor->start == from)
            html += u"<a href=\"%1:%2\">"_s.arg(ReadingDocument::anchorScheme).arg(anchor->link);
        const QString piece = escaped(QStringView(text).mid(from, to - from), keepLines);
        if (inMark)
            html += u"<span style=\"background-color:#ffe066; color:#000000;\">"_s + piece +
                    u"</span>"_s;
        else
            html += piece;
        if (inAnchor && anchor->end == to)
            html += u"</a>"_s;
    }
}

// Finds the page's links, in reading order, in the blocks' text.
class LinkWeaver
{
public:
    explicit LinkWeaver(const QList<ReadableLink> &links) : m_links(links) {}

    std::vector<Span> anchorsIn(const QString &text)
    {
        std::vector<Span> found;
        qsizetype from = 0;
        while (m_next < m_links.size()) {
            if (m_links[m_next].text.isEmpty()) {
                ++m_next;
                continue;
            }
            const qsizetype at = text.indexOf(m_links[m_next].text, from);
            if (at >= 0) {
                found.push_back({at, at + m_links[m_next].text.size(), m_next});
                from = at + m_links[m_next].text.size();
                ++m_next;
                continue;
            }
            // A later link here means this one is in no block at all: links come in reading
            // order.
            qsizetype later = -1;
            const qsizetype end = std::min(m_links.size(), m_next + 1 + lookAhead);
            for (qsizetype j = m_next + 1; j < end && later < 0; ++j) {
                if (!m_links[j].text.isEmpty() && text.indexOf(m_links[j].text, from) >= 0)
                    later = j;
            }
            if (later < 0)
                break; // perhaps in a later block
            m_next = later;
        }
        return found;
    }

private:
    const QList<ReadableLink> &m_links;
    qsizetype m_next = 0;
};

} // namespace

QStringList ReadingDocument::searchWords(const QString &searchText)
{
    static const QRegularExpression separators(u"[^\\p{L}\\p{N}]+"_s,
                                               QRegularExpression::UseUnicodePropertiesOption);
    QStringList words;
    for (const QString &word : searchText.split(separators, Qt::SkipEmptyParts)) {
        const QString kept = word.left(maxWordLength);
        if (!words.contains(kept, Qt::CaseInsensitive))
            words.append(kept);
        if (words.size() == maxWords)
            break;
    }
    return words;
}

ReadingDocument::Built ReadingDocument::build(const ReadableText &text, const QStringList &words)
{
    Built built;
    for (const ReadableLink &link : text.links)
        built.links.append(link.address);
    std::optional<QRegularExpression> marking;
    if (!words.isEmpty()) {
        QStringList alternatives;
        for (const QString &word : words)
            alternatives.append(QRegularExpression::escape(word));
        // From the start of a word, as the search itself matches words.
        marking.emplace(u"(?<![\\p{L}\\p{N}])(?:"_s + alternatives.join(u'|') + u')',
                        QRegularExpression::CaseInsensitiveOption |
                            QRegularExpression::UseUnicodePropertiesOption);
    }
    int marksLeft = maxMarks;
    const auto marksIn = [&](const QString &line) {
        std::vector<Span> marks;
        if (!marking)
            return marks;
        auto it = marking->globalMatch(line);
        while (it.hasNext() && marksLeft > 0) {
            const auto match = it.next();
            marks.push_back({match.capturedStart(), match.capturedEnd(), -1});
            --marksLeft;
        }
        return marks;
    };
    LinkWeaver weaver(text.links);

    QString &html = built.html;
    qsizetype length = 256;
    for (const ReadableBlock &block : text.blocks)
        length += block.text.size() + 16;
    html.reserve(length * 5 / 4);
    html += u"<html><body>"_s;
    if (!text.title.isEmpty()) {
        html += u"<h1>"_s;
        writeSpans(html, text.title, {}, marksIn(text.title), false);
        html += u"</h1>"_s;
    }
    if (!text.byline.isEmpty()) {
        html += u"<p><i>"_s;
        writeSpans(html, text.byline, {}, marksIn(text.byline), false);
        html += u"</i></p>"_s;
    }
    bool inList = false;
    for (const ReadableBlock &block : text.blocks) {
        const bool listItem = block.kind == ReadableBlock::Kind::ListItem;
        if (listItem != inList)
            html += listItem ? u"<ul>"_s : u"</ul>"_s;
        inList = listItem;
        const std::vector<Span> marks = marksIn(block.text);
        const bool pre = block.kind == ReadableBlock::Kind::Preformatted;
        const QString tag = blockTag(block);
        html += u'<' + tag + u'>';
        writeSpans(html, block.text, weaver.anchorsIn(block.text), marks, pre);
        html += u"</"_s + tag + u'>';
    }
    if (inList)
        html += u"</ul>"_s;
    if (text.blocks.isEmpty())
        html += u"<p><i>The kept page shows no text to read.</i></p>"_s;
    else if (text.inputCut || text.outputCut)
        html += u"<p><i>The page was longer than what was kept of it.</i></p>"_s;
    html += u"</body></html>"_s;
    return built;
}

QUrl ReadingDocument::linkOf(const QUrl &anchor, const QList<QUrl> &links)
{
    if (anchor.scheme() != anchorScheme)
        return {};
    bool ok = false;
    const qsizetype index = anchor.path().toLongLong(&ok);
    return ok && index >= 0 && index < links.size() ? links[index] : QUrl();
}

} // namespace quillory
