#include <bookmarks/BookmarkFileReader.h>

#include <html/HtmlDecoding.h>
#include <metadata/HtmlMetadataParser.h>

#include <QSet>
#include <cstring>
#include <string_view>

namespace quillory {

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

char lowered(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isNameChar(char c)
{
    return isLetter(c) || (c >= '0' && c <= '9') || c == '_' || c == '-' || c == ':';
}

// `lowerName` is lower case already.
bool sameName(QByteArrayView name, std::string_view lowerName)
{
    if (name.size() != qsizetype(lowerName.size()))
        return false;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (lowered(name[i]) != lowerName[size_t(i)])
            return false;
    }
    return true;
}

bool startsWithIgnoringCase(QByteArrayView text, std::string_view lowerPrefix)
{
    return text.size() >= qsizetype(lowerPrefix.size()) &&
           sameName(text.first(qsizetype(lowerPrefix.size())), lowerPrefix);
}

struct Attribute
{
    QByteArrayView name;
    QByteArrayView value;
};

struct TagToken
{
    QByteArrayView name; // empty for a comment or a declaration
    QByteArrayView declaration;
    bool closing = false;
    std::vector<Attribute> attributes;

    bool is(std::string_view lowerName) const { return sameName(name, lowerName); }
    std::optional<QByteArrayView> attribute(std::string_view lowerName) const
    {
        for (const Attribute &a : attributes) {
            if (sameName(a.name, lowerName))
                return a.value;
        }
        return std::nullopt;
    }
};

// Splits markup into runs of text and tags. Every search only moves forward, and the
// positions of the next quote of each kind and the next line end are remembered, so a
// file of any size and shape is scanned in linear time.
class Scanner
{
public:
    explicit Scanner(QByteArrayView bytes) : m_p(bytes.data()), m_end(bytes.data() + bytes.size())
    {
    }

    // The text before the next tag, then the tag; false at the end, with the rest in `text`.
    bool next(QByteArrayView &text, TagToken &tag);

private:
    const char *find(const char *from, char c) const
    {
        if (from >= m_end)
            return m_end; // also for empty bytes, whose data may be null
        const void *hit = std::memchr(from, c, size_t(m_end - from));
        return hit != nullptr ? static_cast<const char *>(hit) : m_end;
    }
    const char *cached(const char *&slot, const char *from, char c) const
    {
        if (slot == nullptr || slot < from)
            slot = find(from, c);
        return slot;
    }
    void skipDeclaration(const char *afterBang, TagToken &tag);
    void readAttributes(TagToken &tag);
    QByteArrayView quotedValue(const char *&p);

    const char *m_p;
    const char *m_end;
    const char *m_nextDoubleQuote = nullptr;
    const char *m_nextSingleQuote = nullptr;
    const char *m_nextLineEnd = nullptr;
};

bool Scanner::next(QByteArrayView &text, TagToken &tag)
{
    const char *textStart = m_p;
    const char *p = m_p;
    for (;;) {
        const char *lt = find(p, '<');
        if (lt == m_end) {
            text = QByteArrayView(textStart, m_end - textStart);
            m_p = m_end;
            return false;
        }
        const char *q = lt + 1;
        const bool closing = q < m_end && *q == '/';
        if (closing)
            ++q;
        if (!closing && q < m_end && (*q == '!' || *q == '?')) {
            text = QByteArrayView(textStart, lt - textStart);
            skipDeclaration(q, tag);
            return true;
        }
        if (q < m_end && isLetter(*q)) {
            text = QByteArrayView(textStart, lt - textStart);
            const char *nameStart = q;
            while (q < m_end && isNameChar(*q))
                ++q;
            tag.name = QByteArrayView(nameStart, q - nameStart);
            tag.declaration = {};
            tag.closing = closing;
            tag.attributes.clear();
            m_p = q;
            readAttributes(tag);
            return true;
        }
        p = lt + 1; // a '<' that opens nothing is text
    }
}

void Scanner::skipDeclaration(const char *afterBang, TagToken &tag)
{
    tag.name = {};
    tag.closing = false;
    tag.attributes.clear();
    const QByteArrayView rest(afterBang, m_end - afterBang);
    if (rest.startsWith("!--")) {
        const qsizetype close = rest.indexOf("-->", 3);
        const char *after = close < 0 ? m_end : afterBang + close + 3;
        tag.declaration = {};
        m_p = after;
        return;
    }
    const char *gt = find(afterBang, '>');
    tag.declaration = QByteArrayView(afterBang + 1, gt - afterBang - 1);
    m_p = gt < m_end ? gt + 1 : m_end;
}

// A value in quotes ends at the closing quote on the same line. Browsers never write a
// line break into a value, so one that runs past the line end lost its closing quote to a
// hand edit: it then ends with its tag, and the rest of the file is not swallowed.
QByteArrayView Scanner::quotedValue(const char *&p)
{
    const char quote = *p++;
    const char *close = cached(quote == '"' ? m_nextDoubleQuote : m_nextSingleQuote, p, quote);
    const char *lineEnd = cached(m_nextLineEnd, p, '\n');
    if (close < lineEnd || (close < m_end && lineEnd == m_end)) {
        const QByteArrayView value(p, close - p);
        p = close + 1;
        return value;
    }
    const char *gt = find(p, '>');
    const QByteArrayView value(p, gt - p);
    p = gt;
    return value;
}

void Scanner::readAttributes(TagToken &tag)
{
    const char *p = m_p;
    while (p < m_end) {
        while (p < m_end && (isSpace(*p) || *p == '/'))
            ++p;
        if (p == m_end)
            break;
        if (*p == '>') {
            ++p;
            break;
        }
        if (*p == '<')
            break; // a tag left open: the next one starts here
        const char *nameStart = p;
        while (p < m_end && !isSpace(*p) && *p != '=' && *p != '>' && *p != '/' && *p != '<')
            ++p;
        if (p == nameStart) {
            ++p; // a stray '=' or quote
            continue;
        }
        const QByteArrayView name(nameStart, p - nameStart);
        while (p < m_end && isSpace(*p))
            ++p;
        QByteArrayView value;
        if (p < m_end && *p == '=') {
            ++p;
            while (p < m_end && isSpace(*p))
                ++p;
            if (p < m_end && (*p == '"' || *p == '\'')) {
                value = quotedValue(p);
            } else {
                const char *valueStart = p;
                while (p < m_end && !isSpace(*p) && *p != '>')
                    ++p;
                value = QByteArrayView(valueStart, p - valueStart);
            }
        }
        tag.attributes.push_back({name, value});
    }
    m_p = p;
}

QString decodedText(QByteArrayView raw)
{
    QString text = QString::fromUtf8(raw);
    if (text.contains(u'&'))
        text = HtmlMetadataParser::decodeEntities(text);
    return text;
}

// The first spelling of each name wins. Names already taken are kept case-folded, which
// matches them as a case-insensitive comparison would, so that one bookmark listing a
// hundred thousand names is not compared name by name against every earlier one.
QStringList tagsOf(QByteArrayView raw)
{
    QStringList tags;
    QSet<QString> taken;
    for (const QString &part : decodedText(raw).split(u',')) {
        const QString name = part.simplified();
        if (name.isEmpty())
            continue;
        const qsizetype before = taken.size();
        taken.insert(name.toCaseFolded());
        if (taken.size() != before)
            tags.append(name);
    }
    return tags;
}

// Builds the tree as tags arrive. What text belongs to (a folder's name, a link's title, a
// note) is collected until the tag that ends it, so unclosed elements end where the next
// entry begins.
class TreeBuilder
{
public:
    void text(QByteArrayView raw)
    {
        if (m_collecting != Collecting::Nothing)
            m_text.append(raw);
    }
    void tag(const TagToken &tag);
    void finish() { endText(); }

    BookmarkTree tree;
    bool sawBookmarkMarkup = false;

private:
    enum class Collecting { Nothing, FolderName, Title, Note };

    void endText();
    void openFolder(const TagToken &tag);
    void openLink(const TagToken &tag);
    void openList();
    void closeList();

    std::vector<qsizetype> m_open; // the folder of each enclosing list
    qsizetype m_current = -1;
    qsizetype m_pendingFolder = -1; // a folder whose list has not opened yet
    qsizetype m_noteFor = -1;       // the bookmark a <DD> here would describe
    Collecting m_collecting = Collecting::Nothing;
    qsizetype m_target = -1;
    QByteArray m_text;
};

bool isEntryBoundary(const TagToken &tag)
{
    for (std::string_view name : {"dt", "dd", "dl", "h1", "h3", "a", "hr", "p", "title", "meta"}) {
        if (tag.is(name))
            return true;
    }
    return false;
}

void TreeBuilder::tag(const TagToken &tag)
{
    if (tag.name.isEmpty()) {
        if (startsWithIgnoringCase(tag.declaration, "doctype netscape-bookmark-file"))
            sawBookmarkMarkup = true;
        return;
    }
    const bool endsName = (m_collecting == Collecting::Title && tag.is("a") && tag.closing) ||
                          (m_collecting == Collecting::FolderName && tag.is("h3") && tag.closing);
    if (endsName || isEntryBoundary(tag))
        endText();
    if (tag.closing) {
        if (tag.is("dl"))
            closeList();
        return;
    }
    if (tag.is("dt")) {
        sawBookmarkMarkup = true;
        m_noteFor = -1;
    } else if (tag.is("h3")) {
        openFolder(tag);
    } else if (tag.is("a")) {
        openLink(tag);
    } else if (tag.is("dd")) {
        if (m_noteFor >= 0) {
            m_collecting = Collecting::Note;
            m_target = std::exchange(m_noteFor, -1);
        }
    } else if (tag.is("dl")) {
        openList();
    } else if (tag.is("hr")) {
        ++tree.skipped;
        m_noteFor = -1;
    } else if (tag.is("br") && m_collecting == Collecting::Note) {
        m_text.append('\n');
    }
}

void TreeBuilder::endText()
{
    switch (m_collecting) {
    case Collecting::Nothing:
        return;
    case Collecting::FolderName:
        tree.folders[size_t(m_target)].name = decodedText(m_text).simplified();
        break;
    case Collecting::Title:
        tree.bookmarks[size_t(m_target)].title = decodedText(m_text).simplified();
        break;
    case Collecting::Note:
        tree.bookmarks[size_t(m_target)].note = decodedText(m_text).trimmed();
        break;
    }
    m_collecting = Collecting::Nothing;
    m_text.clear();
}

void TreeBuilder::openFolder(const TagToken &tag)
{
    BookmarkFolderEntry folder;
    folder.parent = m_current;
    folder.addedAt = BookmarkFileReader::millisecondsOf(tag.attribute("add_date").value_or(""));
    tree.folders.push_back(std::move(folder));
    m_pendingFolder = qsizetype(tree.folders.size()) - 1;
    m_noteFor = -1;
    m_collecting = Collecting::FolderName;
    m_target = m_pendingFolder;
}

void TreeBuilder::openLink(const TagToken &tag)
{
    m_pendingFolder = -1;
    m_noteFor = -1;
    const QString url = decodedText(tag.attribute("href").value_or("")).trimmed();
    if (url.isEmpty() || url.startsWith(u"place:", Qt::CaseInsensitive) ||
        url.startsWith(u"javascript:", Qt::CaseInsensitive)) {
        ++tree.skipped;
        return;
    }
    BookmarkEntry bookmark;
    bookmark.url = url;
    bookmark.addedAt = BookmarkFileReader::millisecondsOf(tag.attribute("add_date").value_or(""));
    bookmark.modifiedAt =
        BookmarkFileReader::millisecondsOf(tag.attribute("last_modified").value_or(""));
    if (auto tags = tag.attribute("tags"))
        bookmark.tags = tagsOf(*tags);
    bookmark.folder = m_current;
    tree.bookmarks.push_back(std::move(bookmark));
    m_noteFor = qsizetype(tree.bookmarks.size()) - 1;
    m_collecting = Collecting::Title;
    m_target = m_noteFor;
}

void TreeBuilder::openList()
{
    m_open.push_back(m_pendingFolder >= 0 ? m_pendingFolder : m_current);
    m_current = m_open.back();
    m_pendingFolder = -1;
    m_noteFor = -1;
}

void TreeBuilder::closeList()
{
    if (!m_open.empty())
        m_open.pop_back();
    m_current = m_open.empty() ? -1 : m_open.back();
    m_pendingFolder = -1;
    m_noteFor = -1;
}

} // namespace

std::optional<QByteArray> BookmarkFileReader::convertedToUtf8(QByteArrayView bytes)
{
    // Exporters put the <META> after a comment or two, sometimes long ones.
    constexpr qsizetype prescanLimit = 64 * 1024;
    const HtmlDecoding::Choice choice = HtmlDecoding::choose(bytes, {}, false, prescanLimit);
    if (!choice.isUtf8())
        return HtmlDecoding::decode(bytes, choice, false).toUtf8();
    if (choice.bomLength > 0)
        return bytes.sliced(choice.bomLength).toByteArray();
    return std::nullopt;
}

qint64 BookmarkFileReader::millisecondsOf(QByteArrayView attribute)
{
    bool ok = false;
    const qint64 value = attribute.trimmed().toLongLong(&ok);
    if (!ok || value <= 0)
        return 0;
    // Seconds up to the year 5138, then milliseconds, then microseconds.
    if (value < 100'000'000'000LL)
        return value * 1000;
    if (value < 100'000'000'000'000LL)
        return value;
    if (value < 100'000'000'000'000'000LL)
        return value / 1000;
    return 0;
}

BookmarkFileReader::Result BookmarkFileReader::read(QByteArrayView bytes)
{
    const std::optional<QByteArray> converted = convertedToUtf8(bytes);
    Scanner scanner(converted ? QByteArrayView(*converted) : bytes);
    TreeBuilder builder;
    QByteArrayView text;
    TagToken tag;
    while (scanner.next(text, tag)) {
        builder.text(text);
        builder.tag(tag);
    }
    builder.text(text);
    builder.finish();
    if (!builder.sawBookmarkMarkup)
        return {std::nullopt, QStringLiteral("The file is not a bookmark file.")};
    return {std::move(builder.tree), QString()};
}

} // namespace quillory
