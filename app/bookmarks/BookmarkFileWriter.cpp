#include <bookmarks/BookmarkFileWriter.h>

#include <QHash>
#include <algorithm>
#include <model/Folder.h>
#include <model/Item.h>
#include <model/LibraryStore.h>
#include <model/Tag.h>

namespace quillory {

namespace {

void appendEscaped(QByteArray &out, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    for (const char c : utf8) {
        switch (c) {
        case '&':
            out.append("&amp;");
            break;
        case '<':
            out.append("&lt;");
            break;
        case '>':
            out.append("&gt;");
            break;
        case '"':
            out.append("&quot;");
            break;
        default:
            out.append(c);
        }
    }
}

void appendIndent(QByteArray &out, size_t depth)
{
    // Deep trees stay readable without a file of spaces.
    out.append(qsizetype(std::min<size_t>(depth, 16) * 4), ' ');
}

void appendTime(QByteArray &out, const char *name, qint64 milliseconds)
{
    if (milliseconds <= 0)
        return;
    out.append(' ').append(name).append("=\"");
    out.append(QByteArray::number(milliseconds / 1000)).append('"');
}

void appendBookmark(QByteArray &out, const BookmarkEntry &bookmark, size_t depth)
{
    appendIndent(out, depth);
    out.append("<DT><A HREF=\"");
    appendEscaped(out, bookmark.url);
    out.append('"');
    appendTime(out, "ADD_DATE", bookmark.addedAt);
    appendTime(out, "LAST_MODIFIED", bookmark.modifiedAt);
    if (!bookmark.tags.isEmpty()) {
        QStringList tags = bookmark.tags;
        for (QString &tag : tags)
            tag.replace(u',', u' ');
        out.append(" TAGS=\"");
        appendEscaped(out, tags.join(u','));
        out.append('"');
    }
    out.append('>');
    appendEscaped(out, bookmark.title);
    out.append("</A>\n");
    if (!bookmark.note.isEmpty()) {
        appendIndent(out, depth);
        out.append("<DD>");
        appendEscaped(out, bookmark.note);
        out.append('\n');
    }
}

} // namespace

BookmarkFileWriter::LibraryCopy BookmarkFileWriter::copyOf(const LibraryStore &store)
{
    LibraryCopy library = copyFolders(store);
    library.links.reserve(store.items().size());
    for (const Item *item : store.items())
        addLink(library, *item);
    return library;
}

BookmarkFileWriter::LibraryCopy BookmarkFileWriter::copyFolders(const LibraryStore &store)
{
    LibraryCopy library;
    library.folderIndex.reserve(qsizetype(store.folders().size()));
    library.folders.reserve(store.folders().size());
    std::vector<const Folder *> roots;
    for (const Folder *folder : store.folders()) {
        if (folder->parent() == nullptr)
            roots.push_back(folder);
    }
    std::stable_sort(roots.begin(), roots.end(), [](const Folder *a, const Folder *b) {
        return a->sortOrder() < b->sortOrder();
    });
    // Depth first with an explicit stack: imported trees may be deep.
    std::vector<const Folder *> stack(roots.rbegin(), roots.rend());
    while (!stack.empty()) {
        const Folder *folder = stack.back();
        stack.pop_back();
        const qsizetype parent = folder->parent() != nullptr
                                     ? library.folderIndex.value(folder->parent()->id(), -1)
                                     : -1;
        library.folderIndex.insert(folder->id(), qsizetype(library.folders.size()));
        library.folders.push_back({folder->name(), folder->createdAtMSecs(), parent});
        const QList<Folder *> children = folder->sortedChildren();
        for (auto it = children.crbegin(); it != children.crend(); ++it)
            stack.push_back(*it);
    }
    return library;
}

void BookmarkFileWriter::addLink(LibraryCopy &library, const Item &item)
{
    const std::optional<std::string_view> url = item.urlUtf8();
    if (!url || url->empty())
        return;
    LibraryCopy::Link link;
    const std::string_view texts = item.texts().view().bytes();
    if (!texts.empty()) {
        link.textsAt = library.texts.size();
        library.texts.append(texts);
    }
    link.addedAt = item.createdAtMSecs();
    link.modifiedAt = item.modifiedAtMSecs();
    link.tags.reserve(item.tags().size());
    for (const Tag *tag : item.tags())
        link.tags.append(tag->name());
    link.folder =
        item.folder() != nullptr ? library.folderIndex.value(item.folder()->id(), -1) : -1;
    library.links.push_back(std::move(link));
}

BookmarkTree BookmarkFileWriter::treeOf(const LibraryCopy &library)
{
    BookmarkTree tree;
    tree.folders = library.folders;
    tree.bookmarks.reserve(library.links.size());
    for (const LibraryCopy::Link &link : library.links) {
        BookmarkEntry bookmark;
        const ItemTexts::View texts(
            link.textsAt == LibraryCopy::noTexts ? nullptr : library.texts.data() + link.textsAt);
        bookmark.url = texts.text(ItemTexts::Url);
        bookmark.title = texts.text(ItemTexts::Title);
        bookmark.note = texts.optionalText(ItemTexts::Note).value_or(QString());
        bookmark.tags = link.tags;
        bookmark.addedAt = link.addedAt;
        bookmark.modifiedAt = link.modifiedAt;
        bookmark.folder = link.folder;
        tree.bookmarks.push_back(std::move(bookmark));
    }
    return tree;
}

QByteArray BookmarkFileWriter::write(const BookmarkTree &tree)
{
    // Children and bookmarks of each folder, the top level first.
    std::vector<std::vector<qsizetype>> folders(tree.folders.size() + 1);
    std::vector<std::vector<qsizetype>> bookmarks(tree.folders.size() + 1);
    for (size_t i = 0; i < tree.folders.size(); ++i)
        folders[size_t(tree.folders[i].parent + 1)].push_back(qsizetype(i));
    for (size_t i = 0; i < tree.bookmarks.size(); ++i)
        bookmarks[size_t(tree.bookmarks[i].folder + 1)].push_back(qsizetype(i));

    QByteArray out;
    out.reserve(qsizetype(tree.bookmarks.size()) * 160 + 1024);
    out.append("<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
               "<!-- This is an automatically generated file.\n"
               "     It will be read and overwritten.\n"
               "     DO NOT EDIT! -->\n"
               "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
               "<TITLE>Bookmarks</TITLE>\n"
               "<H1>Bookmarks</H1>\n"
               "<DL><p>\n");
    struct Frame
    {
        qsizetype folder;
        size_t nextChild = 0;
    };
    std::vector<Frame> stack{{-1}};
    while (!stack.empty()) {
        Frame &frame = stack.back();
        const auto &children = folders[size_t(frame.folder + 1)];
        const size_t depth = stack.size();
        if (frame.nextChild < children.size()) {
            const qsizetype child = children[frame.nextChild++];
            const BookmarkFolderEntry &folder = tree.folders[size_t(child)];
            appendIndent(out, depth);
            out.append("<DT><H3");
            appendTime(out, "ADD_DATE", folder.addedAt);
            out.append('>');
            appendEscaped(out, folder.name);
            out.append("</H3>\n");
            appendIndent(out, depth);
            out.append("<DL><p>\n");
            stack.push_back({child});
            continue;
        }
        for (const qsizetype i : bookmarks[size_t(frame.folder + 1)])
            appendBookmark(out, tree.bookmarks[size_t(i)], depth);
        appendIndent(out, depth - 1);
        out.append("</DL><p>\n");
        stack.pop_back();
    }
    return out;
}

} // namespace quillory
