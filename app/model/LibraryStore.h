#pragma once

#include <model/Folder.h>
#include <model/Item.h>
#include <model/RecordTable.h>
#include <model/StoreFile.h>
#include <model/Tag.h>

#include <QObject>
#include <QSet>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

namespace quillory {

// The library: every Item, Folder and Tag, owned here, read from and saved to one store
// file. Used on the interface thread only. Changes to records are reported through the
// signals below in the order item models need them, and saved automatically shortly after
// they happen, at save(), when the application quits and when the store is destroyed.
class LibraryStore final : public QObject, private RecordContext
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LibraryStore)

public:
    static inline const QString fileName = QStringLiteral("default.store");

    // Opens (or creates) the store file at `path`. Null, with `error` set, on failure.
    static std::unique_ptr<LibraryStore> open(const QString &path, QString *error);
    // The store in the shared container directory.
    static std::unique_ptr<LibraryStore> openDefault(QString *error);
    // Where that store lives; absent when there is no container directory.
    static std::optional<QString> defaultPath();
    ~LibraryStore() override;

    // Each insert takes the record, or refuses it (null result, record destroyed) when a
    // record of the same kind with the same id is already stored.
    Item *insert(std::unique_ptr<Item> item);
    Folder *insert(std::unique_ptr<Folder> folder);
    Tag *insert(std::unique_ptr<Tag> tag);
    // One notification for the whole batch; refused records are left out of the result.
    std::vector<Item *> insertItems(std::vector<std::unique_ptr<Item>> items);

    // Takes in a large batch of new records (linked among themselves, and to stored records
    // only through the batch's stand-ins) without making the window wait for their saving: they are
    // written to the file on a worker thread in one transaction, and only then join the library,
    // all in one step. Other saves wait meanwhile. `done` runs on the interface thread unless
    // `context` is gone; after a failure the records are destroyed and the library is as it was.
    using InsertAllDone = std::function<void(const std::optional<StoreFailure> &failure)>;
    void insertAll(StoreFile::Contents contents, const QObject *context, InsertAllDone done);
    // Destroys records that never joined a store, without walking their links one by one.
    static void discard(StoreFile::Contents &contents);

    // Deleting unlinks the other ends of relationships; a folder takes its sub-tree with it.
    void remove(Item *item);
    void remove(Tag *tag);
    void remove(Folder *folder);
    void removeAll(RecordKind kind);

    // Writes all pending changes in one transaction. When that fails, whoever asked, the
    // changes stay pending, saveFailed reports why, and the save is tried again later.
    bool save(QString *error = nullptr);
    bool hasUnsavedChanges() const;
    // Set while the last save failed; cleared by the next save that succeeds.
    const std::optional<StoreFailure> &lastSaveFailure() const { return m_lastFailure; }
    void setAutosaveDelay(int milliseconds) { m_autosave.setInterval(milliseconds); }
    void setRetryDelay(int milliseconds) { m_retry.setInterval(milliseconds); }

    // A library that can only be read (the file, its folder or the disk refuses writing)
    // is opened for browsing: every change to it is refused, and records stay as they are.
    bool isReadOnly() const { return m_readOnly; }
    // How many folders the file held nested deeper than FolderNesting::maxDepth, which now
    // lie on that level (and are saved there unless the library can only be read).
    qsizetype foldersMovedUp() const { return m_foldersMovedUp; }

    const std::vector<Item *> &items() const { return m_items.all(); }
    const std::vector<Folder *> &folders() const { return m_folders.all(); }
    const std::vector<Tag *> &tags() const { return m_tags.all(); }
    Item *item(const QUuid &id) const { return m_items.find(id); }
    Folder *folder(const QUuid &id) const { return m_folders.find(id); }
    Tag *tag(const QUuid &id) const { return m_tags.find(id); }
    QString filePath() const { return m_path; }

signals:
    void recordsInserted(quillory::RecordKind kind, const QList<quillory::Record *> &records);
    void recordChanged(quillory::Record *record);
    // The records are still intact while this is delivered, and destroyed right after.
    void recordsAboutToBeRemoved(quillory::RecordKind kind,
                                 const QList<quillory::Record *> &records);
    void recordsRemoved(quillory::RecordKind kind);
    void saveFailed(const quillory::StoreFailure &failure);
    // The first save to succeed after one failed.
    void saveRecovered();

private:
    explicit LibraryStore(const QString &path);

    void recordDidChange(Record &record) override;
    bool acceptsChanges() override;
    std::optional<QByteArray> loadBlob(const QUuid &itemId, ItemBlob blob) override;

    struct BulkInsert;
    void finishInsertAll();
    std::vector<Record *> passStandInLinks(StoreFile::Contents &contents);
    void markWritten(Item &item);
    void adopt(Record &record);
    void forget(Record &record, QList<QUuid> &removedIds);
    void markDirty(Record &record);
    void autosave();
    template <typename T> std::vector<T *> dirtyOf(RecordKind kind) const;
    void removeFolders(const QList<Folder *> &subtree);
    void removeItems(const QList<Item *> &items);
    void removeTags(const QList<Tag *> &tags);

    QString m_path;
    StoreFile m_file;
    RecordTable<Item> m_items;
    RecordTable<Folder> m_folders;
    RecordTable<Tag> m_tags;
    QSet<Record *> m_dirty;
    QList<QUuid> m_removedItems;
    QList<QUuid> m_removedFolders;
    QList<QUuid> m_removedTags;
    quint64 m_nextSequence = 1;
    QTimer m_autosave;
    QTimer m_retry;
    bool m_readOnly = false;
    qsizetype m_foldersMovedUp = 0;
    std::optional<StoreFailure> m_lastFailure;
    std::shared_ptr<BulkInsert> m_bulk;
};

} // namespace quillory
