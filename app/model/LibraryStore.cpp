#include <model/LibraryStore.h>

#include <model/ReleaseElsewhere.h>

#include <inbox/ContainerDirectory.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QThread>
#include <cstdio>
#include <utility>

namespace quillory {

namespace {

template <typename T> QList<Record *> asRecords(const QList<T *> &records)
{
    return QList<Record *>(records.cbegin(), records.cend());
}

} // namespace

struct LibraryStore::BulkInsert
{
    StoreFile::Contents contents;
    std::optional<StoreFailure> failure;
    QPointer<const QObject> context;
    InsertAllDone done;
    std::unique_ptr<QThread> thread;
};

LibraryStore::LibraryStore(const QString &path) : m_path(path)
{
    m_autosave.setSingleShot(true);
    m_autosave.setInterval(500);
    connect(&m_autosave, &QTimer::timeout, this, &LibraryStore::autosave);
    m_retry.setSingleShot(true);
    m_retry.setInterval(5000);
    connect(&m_retry, &QTimer::timeout, this, &LibraryStore::autosave);
    if (auto *app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, [this] { save(); });
}

std::unique_ptr<LibraryStore> LibraryStore::open(const QString &path, QString *error)
{
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath())) {
        if (error)
            *error = QStringLiteral("The folder %1 could not be created.").arg(info.absolutePath());
        return nullptr;
    }
    std::unique_ptr<LibraryStore> store(new LibraryStore(path));
    StoreFile::Contents contents;
    if (!store->m_file.open(path, error) || !store->m_file.load(contents, error) ||
        !store->m_file.useWriteAheadLog(error))
        return nullptr;
    store->m_readOnly = store->m_file.isReadOnly();

    store->m_tags.reserve(contents.tags.size());
    store->m_folders.reserve(contents.folders.size());
    store->m_items.reserve(contents.items.size());
    for (auto &tag : contents.tags)
        store->adopt(*tag.release());
    for (auto &folder : contents.folders)
        store->adopt(*folder.release());
    for (auto &item : contents.items) {
        // Only a damaged file holds an id twice (in two spellings): the row read first stays,
        // and the other is dropped with the contents, letting go of its folder and tags.
        if (!store->m_items.contains(item->id()))
            store->adopt(*item.release());
    }
    // Saved where they now lie, so the next start finds the tree as it is shown.
    store->m_foldersMovedUp = qsizetype(contents.foldersMovedUp.size());
    if (!store->m_readOnly) {
        for (Folder *folder : contents.foldersMovedUp)
            store->markDirty(*folder);
    }
    return store;
}

std::unique_ptr<LibraryStore> LibraryStore::openDefault(QString *error)
{
    const auto path = defaultPath();
    if (!path) {
        if (error)
            *error = QStringLiteral("The shared container directory %1 is not available.")
                         .arg(ContainerDirectory::groupIdentifier);
        return nullptr;
    }
    return open(*path, error);
}

std::optional<QString> LibraryStore::defaultPath()
{
    const auto container = ContainerDirectory::path();
    if (!container)
        return std::nullopt;
    return *container + QLatin1Char('/') + fileName;
}

LibraryStore::~LibraryStore()
{
    if (m_bulk)
        finishInsertAll(); // its records are written by now, or not at all
    QString error;
    if (!save(&error))
        std::fprintf(stderr, "Failed to save the library: %s\n", qPrintable(error));
    // Unlink everything first so destroying the records does not walk their relationships.
    for (Item *item : m_items.all()) {
        item->m_folder = nullptr;
        item->m_tags.clear();
    }
    for (Folder *folder : m_folders.all()) {
        folder->m_parent = nullptr;
        folder->m_children.clear();
        folder->m_items.clear();
    }
    for (Tag *tag : m_tags.all())
        tag->m_items.clear();
}

void LibraryStore::adopt(Record &record)
{
    record.m_context = this;
    record.m_sequence = m_nextSequence++;
    switch (record.kind()) {
    case RecordKind::Item:
        m_items.add(static_cast<Item *>(&record));
        break;
    case RecordKind::Folder:
        m_folders.add(static_cast<Folder *>(&record));
        break;
    case RecordKind::Tag:
        m_tags.add(static_cast<Tag *>(&record));
        break;
    }
}

bool LibraryStore::acceptsChanges()
{
    return !m_readOnly;
}

Item *LibraryStore::insert(std::unique_ptr<Item> item)
{
    const auto inserted = insertItems([&] {
        std::vector<std::unique_ptr<Item>> one;
        one.push_back(std::move(item));
        return one;
    }());
    return inserted.empty() ? nullptr : inserted.front();
}

std::vector<Item *> LibraryStore::insertItems(std::vector<std::unique_ptr<Item>> items)
{
    std::vector<Item *> inserted;
    if (items.empty() || !acceptsChanges())
        return inserted;
    inserted.reserve(items.size());
    if (items.size() > 1)
        m_items.reserve(m_items.size() + items.size());
    for (auto &item : items) {
        if (!item || item->isInStore() || m_items.contains(item->id()))
            continue; // refused: unique_ptr destroys it below
        Item *raw = item.release();
        adopt(*raw);
        markDirty(*raw);
        inserted.push_back(raw);
    }
    if (!inserted.empty())
        emit recordsInserted(RecordKind::Item, QList<Record *>(inserted.cbegin(), inserted.cend()));
    return inserted;
}

Folder *LibraryStore::insert(std::unique_ptr<Folder> folder)
{
    if (!folder || folder->isInStore() || m_folders.contains(folder->id()) || !acceptsChanges())
        return nullptr;
    Folder *raw = folder.release();
    adopt(*raw);
    markDirty(*raw);
    emit recordsInserted(RecordKind::Folder, {raw});
    return raw;
}

Tag *LibraryStore::insert(std::unique_ptr<Tag> tag)
{
    if (!tag || tag->isInStore() || m_tags.contains(tag->id()) || !acceptsChanges())
        return nullptr;
    Tag *raw = tag.release();
    adopt(*raw);
    markDirty(*raw);
    emit recordsInserted(RecordKind::Tag, {raw});
    return raw;
}

void LibraryStore::insertAll(StoreFile::Contents contents, const QObject *context,
                             InsertAllDone done)
{
    auto bulk = std::make_shared<BulkInsert>();
    bulk->contents = std::move(contents);
    bulk->context = context;
    bulk->done = std::move(done);
    if (!acceptsChanges() || m_bulk) {
        bulk->failure =
            StoreFailure{m_readOnly ? StoreFailure::Cause::ReadOnly : StoreFailure::Cause::Busy,
                         m_readOnly ? QStringLiteral("The library can only be read.")
                                    : QStringLiteral("Another import is still being saved.")};
        discard(bulk->contents);
        QMetaObject::invokeMethod(
            this,
            [bulk] {
                if (bulk->context)
                    bulk->done(bulk->failure);
            },
            Qt::QueuedConnection);
        return;
    }
    // The worker has its own connection to the file; records it writes belong to nobody
    // else until it is done, and the interface thread's saves wait for it.
    bulk->thread.reset(QThread::create([bulk = bulk.get(), path = m_path] {
        StoreFile file;
        QString error;
        if (!file.open(path, &error)) {
            bulk->failure = StoreFailure{StoreFailure::Cause::Other, error};
            return;
        }
        StoreFile::Changes changes;
        auto &c = bulk->contents;
        for (auto &t : c.tags)
            changes.tags.push_back(t.get());
        for (auto &f : c.folders)
            changes.folders.push_back(f.get());
        for (auto &i : c.items)
            changes.items.push_back(i.get());
        StoreFailure failure;
        if (!file.write(changes, &failure))
            bulk->failure = failure;
    }));
    connect(bulk->thread.get(), &QThread::finished, this, [this] {
        if (m_bulk)
            finishInsertAll();
    });
    m_bulk = bulk;
    m_autosave.stop();
    bulk->thread->start();
}

void LibraryStore::finishInsertAll()
{
    const std::shared_ptr<BulkInsert> bulk = std::move(m_bulk);
    bulk->thread->wait();
    StoreFile::Contents &c = bulk->contents;
    if (bulk->failure) {
        discard(c);
    } else {
        QList<Record *> tags, folders, items;
        m_tags.reserve(m_tags.size() + c.tags.size());
        m_folders.reserve(m_folders.size() + c.folders.size());
        m_items.reserve(m_items.size() + c.items.size());
        const auto take = [this](auto &records, QList<Record *> &taken) {
            taken.reserve(qsizetype(records.size()));
            for (auto &record : records) {
                Record *raw = record.release();
                adopt(*raw);
                raw->m_persisted = true;
                taken.append(raw);
            }
            records.clear();
        };
        const std::vector<Record *> relinked = passStandInLinks(c);
        take(c.tags, tags);
        take(c.folders, folders);
        for (auto &item : c.items)
            markWritten(*item);
        take(c.items, items);
        for (Record *record : relinked)
            markDirty(*record);
        if (!tags.isEmpty())
            emit recordsInserted(RecordKind::Tag, tags);
        if (!folders.isEmpty())
            emit recordsInserted(RecordKind::Folder, folders);
        if (!items.isEmpty())
            emit recordsInserted(RecordKind::Item, items);
    }
    // The emptied lists were allocated on the import's worker thread.
    releaseElsewhere(std::move(c));
    if (hasUnsavedChanges())
        m_autosave.start();
    if (bulk->context)
        bulk->done(bulk->failure);
}

void LibraryStore::discard(StoreFile::Contents &contents)
{
    for (auto &item : contents.items) {
        item->m_folder = nullptr;
        item->m_tags.clear();
    }
    for (auto &folder : contents.folders) {
        folder->m_parent = nullptr;
        folder->m_children.clear();
        folder->m_items.clear();
    }
    for (auto &tag : contents.tags)
        tag->m_items.clear();
    for (auto &folder : contents.folderStandIns) {
        folder->m_children.clear();
        folder->m_items.clear();
    }
    for (auto &tag : contents.tagStandIns)
        tag->m_items.clear();
    contents.items.clear();
    contents.folders.clear();
    contents.tags.clear();
    contents.folderStandIns.clear();
    contents.tagStandIns.clear();
}

// The rows were written with the stand-ins' ids, which are the stored records' own, so the
// links pass over without a save. Only what the move changes is saved again: a stored
// record deleted while the batch was written (its links are dropped) and a new folder's
// rank among the stored parent's children.
std::vector<Record *> LibraryStore::passStandInLinks(StoreFile::Contents &contents)
{
    std::vector<Record *> changed;
    for (auto &standIn : contents.folderStandIns) {
        Folder *stored = m_folders.find(standIn->id());
        for (Item *item : std::as_const(standIn->m_items)) {
            item->m_folder = stored;
            if (stored != nullptr)
                stored->m_items.append(item);
            else
                changed.push_back(item);
        }
        const QList<Folder *> children = std::exchange(standIn->m_children, {});
        for (Folder *child : children) {
            child->m_parent = nullptr;
            child->linkParent(stored);
            changed.push_back(child);
        }
        standIn->m_items.clear();
    }
    for (auto &standIn : contents.tagStandIns) {
        Tag *stored = m_tags.find(standIn->id());
        for (Item *item : std::as_const(standIn->m_items)) {
            const qsizetype at = item->m_tags.indexOf(standIn.get());
            if (stored != nullptr) {
                item->m_tags[at] = stored;
                stored->m_items.append(item);
            } else {
                item->m_tags.remove(at);
                changed.push_back(item);
            }
        }
        standIn->m_items.clear();
    }
    contents.folderStandIns.clear();
    contents.tagStandIns.clear();
    Item::noteSearchChange();
    return changed;
}

void LibraryStore::markWritten(Item &item)
{
    item.markBlobsWritten(); // read back from the file from now on
}

void LibraryStore::remove(Item *item)
{
    if (item != nullptr && item->m_context == this && acceptsChanges())
        removeItems({item});
}

void LibraryStore::remove(Tag *tag)
{
    if (tag != nullptr && tag->m_context == this && acceptsChanges())
        removeTags({tag});
}

void LibraryStore::remove(Folder *folder)
{
    if (folder == nullptr || folder->m_context != this || !acceptsChanges())
        return;
    QList<Folder *> subtree{folder};
    subtree.append(folder->allDescendants());
    removeFolders(subtree);
}

void LibraryStore::removeAll(RecordKind kind)
{
    if (!acceptsChanges())
        return;
    switch (kind) {
    case RecordKind::Item: {
        const auto &all = m_items.all();
        removeItems(QList<Item *>(all.cbegin(), all.cend()));
        break;
    }
    case RecordKind::Folder: {
        const auto &all = m_folders.all();
        removeFolders(QList<Folder *>(all.cbegin(), all.cend()));
        break;
    }
    case RecordKind::Tag: {
        const auto &all = m_tags.all();
        removeTags(QList<Tag *>(all.cbegin(), all.cend()));
        break;
    }
    }
}

void LibraryStore::removeItems(const QList<Item *> &items)
{
    if (items.isEmpty())
        return;
    emit recordsAboutToBeRemoved(RecordKind::Item, asRecords(items));
    const bool everything = qsizetype(m_items.size()) == items.size();
    if (everything) {
        // Bulk unlinking: per-item unlinking would be quadratic in large folders.
        for (Folder *f : m_folders.all())
            f->m_items.clear();
        for (Tag *t : m_tags.all())
            t->m_items.clear();
        for (Item *item : items) {
            item->m_folder = nullptr;
            item->m_tags.clear();
        }
    }
    for (Item *item : items) {
        forget(*item, m_removedItems);
        delete item;
    }
    emit recordsRemoved(RecordKind::Item);
}

void LibraryStore::removeTags(const QList<Tag *> &tags)
{
    if (tags.isEmpty())
        return;
    emit recordsAboutToBeRemoved(RecordKind::Tag, asRecords(tags));
    QSet<Item *> touched;
    for (Tag *tag : tags) {
        for (Item *item : std::as_const(tag->m_items)) {
            item->m_tags.removeAll(tag);
            touched.insert(item);
        }
        tag->m_items.clear();
        forget(*tag, m_removedTags);
        delete tag;
    }
    Item::noteSearchChange();
    emit recordsRemoved(RecordKind::Tag);
    // Unlinking is not an edit of the item: modifiedAt stays, but the change is saved.
    for (Item *item : std::as_const(touched))
        recordDidChange(*item);
}

void LibraryStore::removeFolders(const QList<Folder *> &subtree)
{
    if (subtree.isEmpty())
        return;
    emit recordsAboutToBeRemoved(RecordKind::Folder, asRecords(subtree));
    QList<Item *> released;
    for (Folder *folder : subtree) {
        for (Item *item : std::as_const(folder->m_items)) {
            item->m_folder = nullptr;
            released.append(item);
        }
        folder->m_items.clear();
    }
    // Unlinked here in one pass: a destructor each taking itself out of a parent's list of a
    // hundred thousand children would make deleting a wide tree quadratic.
    const QSet<const Folder *> going(subtree.cbegin(), subtree.cend());
    for (Folder *folder : subtree) {
        if (folder->m_parent != nullptr && !going.contains(folder->m_parent))
            folder->m_parent->m_children.removeOne(folder);
        folder->m_parent = nullptr;
        folder->m_children.clear();
    }
    for (Folder *folder : subtree) {
        forget(*folder, m_removedFolders);
        delete folder;
    }
    emit recordsRemoved(RecordKind::Folder);
    for (Item *item : std::as_const(released))
        recordDidChange(*item);
}

void LibraryStore::forget(Record &record, QList<QUuid> &removedIds)
{
    m_dirty.remove(&record);
    if (record.m_persisted)
        removedIds.append(record.id());
    switch (record.kind()) {
    case RecordKind::Item:
        m_items.take(static_cast<Item *>(&record));
        break;
    case RecordKind::Folder:
        m_folders.take(static_cast<Folder *>(&record));
        break;
    case RecordKind::Tag:
        m_tags.take(static_cast<Tag *>(&record));
        break;
    }
    record.m_context = nullptr;
    if (!m_autosave.isActive())
        m_autosave.start();
}

void LibraryStore::markDirty(Record &record)
{
    m_dirty.insert(&record);
    if (!m_autosave.isActive())
        m_autosave.start();
}

void LibraryStore::recordDidChange(Record &record)
{
    markDirty(record);
    emit recordChanged(&record);
}

std::optional<QByteArray> LibraryStore::loadBlob(const QUuid &itemId, ItemBlob blob)
{
    return m_file.loadBlob(itemId, blob);
}

template <typename T> std::vector<T *> LibraryStore::dirtyOf(RecordKind kind) const
{
    std::vector<T *> records;
    for (Record *r : m_dirty) {
        if (r->kind() == kind)
            records.push_back(static_cast<T *>(r));
    }
    // Insertion order keeps the file's row order close to the library's own.
    std::sort(records.begin(), records.end(),
              [](const T *a, const T *b) { return a->sequence() < b->sequence(); });
    return records;
}

bool LibraryStore::hasUnsavedChanges() const
{
    return !m_dirty.isEmpty() || !m_removedItems.isEmpty() || !m_removedFolders.isEmpty() ||
           !m_removedTags.isEmpty();
}

bool LibraryStore::save(QString *error)
{
    if (m_bulk)
        finishInsertAll(); // one writer at a time; the worker's transaction is short
    m_autosave.stop();
    if (!hasUnsavedChanges()) {
        // What failed to save may since have been deleted unsaved: nothing is owed anymore.
        if (m_lastFailure) {
            m_retry.stop();
            m_lastFailure.reset();
            emit saveRecovered();
        }
        return true;
    }
    StoreFile::Changes changes;
    changes.items = dirtyOf<Item>(RecordKind::Item);
    changes.folders = dirtyOf<Folder>(RecordKind::Folder);
    changes.tags = dirtyOf<Tag>(RecordKind::Tag);
    changes.removedItems = m_removedItems;
    changes.removedFolders = m_removedFolders;
    changes.removedTags = m_removedTags;
    StoreFailure failure;
    if (!m_file.write(changes, &failure)) {
        if (error)
            *error = failure.message;
        m_lastFailure = failure;
        m_retry.start(); // nothing is dropped; the changes wait for the next try
        emit saveFailed(failure);
        return false;
    }

    for (Item *item : changes.items)
        markWritten(*item);
    for (Record *record : std::as_const(m_dirty))
        record->m_persisted = true;
    m_dirty.clear();
    m_removedItems.clear();
    m_removedFolders.clear();
    m_removedTags.clear();
    m_retry.stop();
    if (m_lastFailure) {
        m_lastFailure.reset();
        emit saveRecovered();
    }
    return true;
}

void LibraryStore::autosave()
{
    if (m_bulk)
        return; // saved once the worker is done
    save();
}

} // namespace quillory
