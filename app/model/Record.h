#pragma once

#include <QDateTime>
#include <QUuid>
#include <optional>

namespace quillory {

enum class RecordKind { Item, Folder, Tag };
enum class ItemBlob { Thumbnail, Image };

class Record;

// What a record needs from the store that owns it. Records outside a store have none.
class RecordContext
{
public:
    virtual void recordDidChange(Record &record) = 0;
    // False when the library takes no changes (it can only be read); the record is then
    // left as it is.
    virtual bool acceptsChanges() = 0;
    virtual std::optional<QByteArray> loadBlob(const QUuid &itemId, ItemBlob blob) = 0;

protected:
    ~RecordContext() = default;
};

// Common part of the three persistent record kinds. Records are plain objects owned by
// the LibraryStore once inserted; the store is told of every change so it can save it
// and tell the views.
class Record
{
public:
    virtual ~Record() = default;
    Record(const Record &) = delete;
    Record &operator=(const Record &) = delete;

    RecordKind kind() const { return m_kind; }
    const QUuid &id() const { return m_id; }
    QDateTime createdAt() const { return QDateTime::fromMSecsSinceEpoch(m_createdAt, Qt::UTC); }
    QDateTime modifiedAt() const { return QDateTime::fromMSecsSinceEpoch(m_modifiedAt, Qt::UTC); }
    qint64 createdAtMSecs() const { return m_createdAt; }
    qint64 modifiedAtMSecs() const { return m_modifiedAt; }

    void setModifiedAt(const QDateTime &when);

    // Creation and modification times are normally set once by the constructor; import
    // carries them over from the exported record.
    void setCreatedAt(const QDateTime &when);
    // Only before the record is inserted: a stored record keeps its identity.
    void setId(const QUuid &id);

    bool isInStore() const { return m_context != nullptr; }
    // Insertion order in the store; ties in sorted lists fall back to it.
    quint64 sequence() const { return m_sequence; }

protected:
    explicit Record(RecordKind kind);
    // Restores a record read back from the store file.
    Record(RecordKind kind, const QUuid &id, qint64 createdAt, qint64 modifiedAt);

    // Ask before every attribute write; a record outside a store always may change.
    bool mayChange() const { return m_context == nullptr || m_context->acceptsChanges(); }
    // Call after every attribute write; stamps nothing, only reports.
    void didChange();
    // Sets modifiedAt to now and reports the change.
    void touch();
    RecordContext *context() const { return m_context; }

private:
    friend class LibraryStore;
    friend class StoreFile;

    // Small fields first, sharing one word: a large library holds a million of these.
    RecordKind m_kind;
    bool m_persisted = false; // a row for it exists in the store file
    QUuid m_id;
    qint64 m_createdAt = 0;
    qint64 m_modifiedAt = 0;
    quint64 m_sequence = 0;
    RecordContext *m_context = nullptr;
};

} // namespace quillory
