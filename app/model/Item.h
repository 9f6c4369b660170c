#pragma once

#include <model/ItemMetadata.h>
#include <model/ItemSlots.h>
#include <model/ItemTexts.h>
#include <model/ItemType.h>
#include <model/Record.h>
#include <model/SearchText.h>

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>
#include <atomic>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

namespace quillory {

class Folder;
class Tag;

// One saved reference. Relationship writes keep both ends in step: moving an item updates
// the folders' item lists, adding a tag updates the tag's item list.
class Item final : public Record
{
public:
    Item(ItemType type, const QString &title, const std::optional<QUrl> &url = std::nullopt,
         const std::optional<QString> &note = std::nullopt, Folder *folder = nullptr);
    ~Item() override;

    // A raw value that names no kind reads as a web link.
    ItemType type() const { return m_type; }
    QString typeRawValue() const
    {
        return m_texts.has(ItemTexts::UnknownType) ? m_texts.text(ItemTexts::UnknownType)
                                                   : m_type.rawValue();
    }
    void setTypeRawValue(const QString &raw);

    std::optional<QString> urlString() const { return m_texts.optionalText(ItemTexts::Url); }
    // Every text at once, for a copy taken on the interface thread and read elsewhere.
    const ItemTexts &texts() const { return m_texts; }
    // The address as stored, UTF-8, for scans over a whole library that decode none.
    std::optional<std::string_view> urlUtf8() const { return m_texts.optionalUtf8(ItemTexts::Url); }
    void setUrlString(const std::optional<QString> &url);
    QUrl url() const;

    QString title() const { return m_texts.text(ItemTexts::Title); }
    void setTitle(const QString &title);

    std::optional<QString> note() const { return m_texts.optionalText(ItemTexts::Note); }
    void setNote(const std::optional<QString> &note);

    // The image bytes stay on disk until read; reading a stored item's bytes asks the store.
    std::optional<QByteArray> thumbnailData() const { return blob(ItemBlob::Thumbnail); }
    void setThumbnailData(const std::optional<QByteArray> &data)
    {
        setBlob(ItemBlob::Thumbnail, data);
    }
    bool hasThumbnailData() const { return m_hasThumbnail; }
    std::optional<QByteArray> imageData() const { return blob(ItemBlob::Image); }
    void setImageData(const std::optional<QByteArray> &data) { setBlob(ItemBlob::Image, data); }
    bool hasImageData() const { return m_hasImage; }

    std::optional<QByteArray> metadataJSON() const
    {
        return m_texts.optionalBytes(ItemTexts::MetadataJSON);
    }
    void setMetadataJSON(const std::optional<QByteArray> &json);
    // Undecodable JSON reads as absent. Writing does not change modifiedAt.
    std::optional<ItemMetadata> metadata() const;
    void setMetadata(const std::optional<ItemMetadata> &metadata);

    std::optional<QString> sourceDomain() const
    {
        return m_texts.optionalText(ItemTexts::SourceDomain);
    }
    void setSourceDomain(const std::optional<QString> &domain);
    std::optional<QString> sourceApp() const { return m_texts.optionalText(ItemTexts::SourceApp); }
    void setSourceApp(const std::optional<QString> &app);

    Folder *folder() const { return m_folder; }
    const QList<Tag *> &tags() const { return m_tags; }
    // Tags by name, localized and case-insensitive; equal names keep their stored order.
    QList<Tag *> sortedTags() const;
    bool hasTag(const Tag &tag) const;

    bool isArchived() const { return m_isArchived; }
    void setArchived(bool archived);
    bool isFavorite() const { return m_isFavorite; }
    void setFavorite(bool favorite);
    bool isRead() const { return m_isRead; }
    void setRead(bool read);

    std::optional<QDateTime> accessedAt() const;
    std::optional<qint64> accessedAtMSecs() const
    {
        return m_accessedAt == neverAccessed ? std::nullopt : std::optional<qint64>(m_accessedAt);
    }
    void setAccessedAt(const std::optional<QDateTime> &when);

    // The mutating operations; each sets modifiedAt as documented in ARCHITECTURE.md.
    void addTag(Tag *tag);
    void removeTag(const Tag &tag);
    void moveToFolder(Folder *folder);
    void toggleFavorite();
    void toggleArchive();

    // Built on first use and kept, for the searches that read items one by one. A search
    // index keeps its own copy instead (see the overload below), so most items of a large
    // library never keep one. Interface thread only, unless prepared (below).
    const SearchText &searchText() const
    {
        if (!m_search)
            buildSearchText();
        return *m_search;
    }
    // The search text for a copy kept elsewhere: the one the item keeps, or else built into
    // `scratch`, which the item does not keep.
    const SearchText &searchText(SearchText &scratch) const;
    bool isSearchTextReady() const { return m_search != nullptr; }
    // Builds every missing search text among `items`, so that afterwards searchText() only
    // reads and can be used from several threads at once. Interface thread only.
    static void prepareSearchText(const std::vector<Item *> &items);
    // Different after every change of the search text, and never the same for two items,
    // so that a copy of the text kept elsewhere can tell whether it still holds; 0 until the
    // text of an item read from the store is first built.
    quint64 searchRevision() const { return m_searchRevision; }
    // searchRevision(), first giving one to an item read from the store that has none yet:
    // for a copy of its text taken from texts() instead of searchText().
    quint64 copiedSearchRevision() const;
    // What the layers above keep on the item (see ItemSlots). Any thread that may read the
    // item may read them; only the interface thread writes them.
    ItemSlots &layerSlots() const { return m_slots; }
    // How many items this process has destroyed: lets an index estimate its dead entries.
    static quint64 destroyedCount() { return s_destroyed.load(std::memory_order_relaxed); }
    // Moves on whenever anything a text search reads may have changed anywhere: an item's
    // search text changed, an item archived or brought back or destroyed, made a favourite or
    // not, its kind changed, a tag added to or taken from an item. While it stands still,
    // what an index copied from the items still holds.
    static quint64 searchChanges() { return s_searchChanges.load(std::memory_order_acquire); }

private:
    // Restored items build their search text later, so opening a large store stays quick.
    Item(const QUuid &id, qint64 createdAt, qint64 modifiedAt)
        : Record(RecordKind::Item, id, createdAt, modifiedAt)
    {
    }

    friend class Folder;
    friend class Tag;
    friend class LibraryStore;
    friend class StoreFile;

    // Image bytes set since the store last wrote the item, kept here until it has: an
    // engaged slot with no bytes present stands for bytes removed. Out of line, since
    // nearly every item of a library has none.
    struct UnsavedBlobs
    {
        std::optional<QByteArray> bytes[2];
    };
    static constexpr size_t blobIndex(ItemBlob which) { return which == ItemBlob::Image ? 1 : 0; }
    bool hasBlob(ItemBlob which) const
    {
        return which == ItemBlob::Thumbnail ? m_hasThumbnail : m_hasImage;
    }
    // The bytes set and not yet written, or null when the store holds the item's bytes.
    const QByteArray *unsavedBlob(ItemBlob which) const
    {
        if (!m_unsavedBlobs || !m_unsavedBlobs->bytes[blobIndex(which)])
            return nullptr;
        return &*m_unsavedBlobs->bytes[blobIndex(which)];
    }
    void markBlobsWritten() { m_unsavedBlobs.reset(); }
    static constexpr qint64 neverAccessed = std::numeric_limits<qint64>::min();
    std::optional<QByteArray> blob(ItemBlob which) const;
    void setBlob(ItemBlob which, const std::optional<QByteArray> &data);
    void refreshSearchText();
    // After a text no search reads changed, when the texts were in an arena before.
    void letGoOfSharedTexts(bool wereShared);
    void buildSearchText() const;
    void assignSearchText(SearchText &text) const;
    static inline std::atomic<quint64> s_searchRevisions{0};
    static inline std::atomic<quint64> s_destroyed{0};
    static inline std::atomic<quint64> s_searchChanges{0};
    static void noteSearchChange() { s_searchChanges.fetch_add(1, std::memory_order_acq_rel); }
    // Relationship plumbing without stamping modifiedAt (used by delete rules and loading).
    void linkFolder(Folder *folder);
    void unlinkTag(const Tag &tag);

    // The fields a search reads come first, so one or two cache lines serve a filter pass.
    bool m_isArchived = false;
    bool m_isFavorite = false;
    bool m_isRead = false;
    bool m_hasThumbnail = false;
    bool m_hasImage = false;
    ItemType m_type = ItemType::WebLink; // what an unknown raw value reads as
    mutable ItemSlots m_slots;
    mutable quint64 m_searchRevision = 0;
    Folder *m_folder = nullptr;
    QList<Tag *> m_tags;
    mutable std::unique_ptr<SearchText> m_search; // out of line: most items keep none
    qint64 m_accessedAt = neverAccessed;
    ItemTexts m_texts;
    std::unique_ptr<UnsavedBlobs> m_unsavedBlobs;
};

} // namespace quillory
