#include <bookmarks/BookmarkImporter.h>

#include <QHash>
#include <QSet>
#include <model/BoundedText.h>
#include <model/Folder.h>
#include <model/FolderNesting.h>
#include <model/Item.h>
#include <model/ItemType.h>
#include <model/LibraryStore.h>
#include <model/Tag.h>

namespace quillory {

namespace {

QDateTime utc(qint64 milliseconds)
{
    return QDateTime::fromMSecsSinceEpoch(milliseconds, Qt::UTC);
}

QString nameOf(const QString &text)
{
    return text.isEmpty() ? QStringLiteral("Untitled")
                          : BoundedText::of(text, BookmarkImporter::nameLimit);
}

// Builds the records of one import, reusing the library's folders and tags by name.
class RecordBuilder
{
public:
    RecordBuilder(const BookmarkImporter::Library &library, BookmarkImporter::Records &out);

    // `parents` holds each folder's parent, as the file nests them or moved up.
    void addFolders(const std::vector<BookmarkFolderEntry> &folders,
                    const std::vector<qsizetype> &parents);
    void addBookmark(const BookmarkEntry &bookmark);
    void finish()
    {
        m_out.result.pages =
            std::make_shared<const BookmarkImportResult::Pages>(std::move(m_pages));
    }

private:
    Folder *folderFor(const BookmarkFolderEntry &entry, qsizetype parentIndex);
    Folder *standInFolder(const QUuid &id);
    Tag *tagNamed(const QString &name);
    bool isStandIn(const Folder *folder) const
    {
        return folder != nullptr && m_folderStandIns.value(folder->id()) == folder;
    }

    BookmarkImporter::Records &m_out;
    // Stored folders by parent (a null id for the top level), then by name.
    QHash<QUuid, QHash<QString, QUuid>> m_storedChildren;
    QHash<QString, QUuid> m_storedTags; // by case-folded name
    QHash<QUuid, Folder *> m_folderStandIns;
    // Every folder this import links to, stand-in or new, by parent (null: top level).
    QHash<const Folder *, QHash<QString, Folder *>> m_children;
    QHash<QString, Tag *> m_tags;
    std::vector<Folder *> m_resolved; // the folder of each of the file's folders
    BookmarkImportResult::Pages m_pages;
};

RecordBuilder::RecordBuilder(const BookmarkImporter::Library &library,
                             BookmarkImporter::Records &out)
    : m_out(out)
{
    for (const auto &folder : library.folders) {
        auto &siblings = m_storedChildren[folder.parentId];
        if (!siblings.contains(folder.name))
            siblings.insert(folder.name, folder.id);
    }
    for (const auto &tag : library.tags)
        m_storedTags.insert(tag.name.toCaseFolded(), tag.id);
}

Folder *RecordBuilder::standInFolder(const QUuid &id)
{
    Folder *&standIn = m_folderStandIns[id];
    if (standIn == nullptr) {
        auto folder = std::make_unique<Folder>(QString(), QStringLiteral("folder"), QColor());
        folder->setId(id);
        standIn = folder.get();
        m_out.contents.folderStandIns.push_back(std::move(folder));
        ++m_out.result.foldersReused;
    }
    return standIn;
}

Folder *RecordBuilder::folderFor(const BookmarkFolderEntry &entry, qsizetype parentIndex)
{
    Folder *parent = parentIndex >= 0 ? m_resolved[size_t(parentIndex)] : nullptr;
    const QString name = nameOf(entry.name);
    QHash<QString, Folder *> &siblings = m_children[parent];
    if (Folder *known = siblings.value(name))
        return known;
    if (parent == nullptr || isStandIn(parent)) {
        const QUuid stored =
            m_storedChildren.value(parent != nullptr ? parent->id() : QUuid()).value(name);
        if (!stored.isNull())
            return siblings[name] = standInFolder(stored);
    }
    auto folder = std::make_unique<Folder>(name, QStringLiteral("folder"), QColor(), parent);
    if (entry.addedAt > 0) {
        folder->setCreatedAt(utc(entry.addedAt));
        folder->setModifiedAt(utc(entry.addedAt));
    }
    Folder *created = folder.get();
    m_out.contents.folders.push_back(std::move(folder));
    ++m_out.result.foldersCreated;
    return siblings[name] = created;
}

void RecordBuilder::addFolders(const std::vector<BookmarkFolderEntry> &folders,
                               const std::vector<qsizetype> &parents)
{
    m_resolved.reserve(folders.size());
    for (size_t f = 0; f < folders.size(); ++f)
        m_resolved.push_back(folderFor(folders[f], parents[f]));
}

Tag *RecordBuilder::tagNamed(const QString &name)
{
    const QString bounded = BoundedText::of(name, BookmarkImporter::nameLimit);
    const QString key = bounded.toCaseFolded();
    Tag *&tag = m_tags[key];
    if (tag != nullptr)
        return tag;
    auto made = std::make_unique<Tag>(bounded, QColor());
    tag = made.get();
    const QUuid stored = m_storedTags.value(key);
    if (!stored.isNull()) {
        made->setId(stored);
        m_out.contents.tagStandIns.push_back(std::move(made));
    } else {
        m_out.contents.tags.push_back(std::move(made));
        ++m_out.result.tagsCreated;
    }
    return tag;
}

void RecordBuilder::addBookmark(const BookmarkEntry &bookmark)
{
    const QUrl url(bookmark.url);
    if (!url.isValid() || url.scheme().isEmpty()) {
        ++m_out.result.skipped;
        return;
    }
    const QString host = url.host();
    const QString title = bookmark.title.isEmpty() ? (host.isEmpty() ? nameOf(QString()) : host)
                                                   : nameOf(bookmark.title);
    auto item = std::make_unique<Item>(ItemType::detect(url), title, url);
    if (!bookmark.note.isEmpty())
        item->setNote(BoundedText::of(bookmark.note, BookmarkImporter::noteLimit));
    if (bookmark.folder >= 0)
        item->moveToFolder(m_resolved[size_t(bookmark.folder)]);
    // Names that differ only past nameLimit come to the same tag, which is linked once.
    QSet<const Tag *> linked;
    for (const QString &name : bookmark.tags) {
        if (linked.size() == BookmarkImporter::tagLimit)
            break;
        Tag *tag = tagNamed(name);
        if (!linked.contains(tag)) {
            linked.insert(tag);
            item->addTag(tag);
        }
    }
    if (bookmark.addedAt > 0)
        item->setCreatedAt(utc(bookmark.addedAt));
    if (const qint64 modified = std::max(bookmark.addedAt, bookmark.modifiedAt); modified > 0)
        item->setModifiedAt(utc(modified));

    const QString scheme = url.scheme().toLower();
    if (scheme == u"http" || scheme == u"https")
        m_pages.push_back({item->id(), url, !bookmark.title.isEmpty()});
    m_out.contents.items.push_back(std::move(item));
    ++m_out.result.bookmarksImported;
}

} // namespace

BookmarkImporter::Library BookmarkImporter::libraryOf(const LibraryStore &store)
{
    Library library;
    library.folders.reserve(store.folders().size());
    for (const Folder *folder : store.folders())
        library.folders.push_back({folder->id(),
                                   folder->parent() != nullptr ? folder->parent()->id() : QUuid(),
                                   folder->name()});
    library.tags.reserve(store.tags().size());
    for (const Tag *tag : store.tags())
        library.tags.push_back({tag->id(), tag->name()});
    return library;
}

BookmarkImporter::Records BookmarkImporter::records(const BookmarkTree &tree,
                                                    const Library &library,
                                                    const Progress &progress)
{
    Records out;
    out.result.skipped = tree.skipped;
    out.contents.items.reserve(tree.bookmarks.size());
    RecordBuilder builder(library, out);
    // A folder the file nests deeper than the library shows goes up to the deepest level
    // (the library's own folders it is merged into lie just as deep as in the file). Each
    // folder comes after its parent, so the moved ones find theirs resolved.
    std::vector<qsizetype> parents;
    parents.reserve(tree.folders.size());
    for (const BookmarkFolderEntry &entry : tree.folders)
        parents.push_back(entry.parent);
    out.result.foldersMovedUp = int(FolderNesting::cap(parents));
    builder.addFolders(tree.folders, parents);
    const qsizetype total = qsizetype(tree.bookmarks.size());
    qsizetype done = 0;
    for (const BookmarkEntry &bookmark : tree.bookmarks) {
        builder.addBookmark(bookmark);
        if (progress && (++done % 2000 == 0 || done == total))
            progress(done, total);
    }
    builder.finish();
    return out;
}

} // namespace quillory
