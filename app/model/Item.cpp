#include <model/Item.h>

#include <model/Folder.h>
#include <model/Tag.h>

#include <QCollator>
#include <algorithm>

namespace quillory {

// A library holds up to a million items and a filter pass reads each: keep the record from
// growing unnoticed (the fields a search reads share the cache lines after the record's).
static_assert(sizeof(void *) != 8 || sizeof(Item) <= 168);

Item::Item(ItemType type, const QString &title, const std::optional<QUrl> &url,
           const std::optional<QString> &note, Folder *folder)
    : Record(RecordKind::Item)
{
    m_type = type;
    // One block for all the texts: an import makes hundreds of thousands of items.
    const QByteArray titleBytes = title.toUtf8();
    const QByteArray noteBytes = note ? note->toUtf8() : QByteArray();
    QByteArray urlBytes, hostBytes;
    if (url) {
        urlBytes = url->toString(QUrl::FullyEncoded).toUtf8();
        hostBytes = url->host().toUtf8();
    }
    const auto view = [](const QByteArray &bytes) {
        return std::string_view(bytes.constData(), size_t(bytes.size()));
    };
    ItemTexts::Parts parts;
    parts[ItemTexts::Title] = view(titleBytes);
    if (note)
        parts[ItemTexts::Note] = view(noteBytes);
    if (url)
        parts[ItemTexts::Url] = view(urlBytes);
    if (!hostBytes.isEmpty())
        parts[ItemTexts::SourceDomain] = view(hostBytes);
    m_texts = ItemTexts(parts);
    linkFolder(folder);
    refreshSearchText();
}

Item::~Item()
{
    s_destroyed.fetch_add(1, std::memory_order_relaxed);
    noteSearchChange();
    linkFolder(nullptr);
    for (Tag *tag : std::as_const(m_tags))
        tag->m_items.removeOne(this);
}

void Item::setTypeRawValue(const QString &raw)
{
    if (raw == typeRawValue() || !mayChange())
        return;
    const std::optional<ItemType> known = ItemType::fromRawValue(raw);
    m_type = known.value_or(ItemType::WebLink);
    const bool shared = m_texts.arenaBlock() != nullptr;
    if (m_texts.set(ItemTexts::UnknownType, known ? std::nullopt : std::optional<QString>(raw)))
        letGoOfSharedTexts(shared);
    noteSearchChange();
    didChange();
}

void Item::setUrlString(const std::optional<QString> &url)
{
    if (!mayChange() || !m_texts.set(ItemTexts::Url, url))
        return;
    refreshSearchText();
    didChange();
}

QUrl Item::url() const
{
    const std::optional<QString> address = urlString();
    return address ? QUrl(*address) : QUrl();
}

void Item::setTitle(const QString &title)
{
    if (!mayChange() || !m_texts.set(ItemTexts::Title, title))
        return;
    m_slots.titleRanking = 0;
    refreshSearchText();
    didChange();
}

void Item::setNote(const std::optional<QString> &note)
{
    if (!mayChange() || !m_texts.set(ItemTexts::Note, note))
        return;
    refreshSearchText();
    didChange();
}

std::optional<QByteArray> Item::blob(ItemBlob which) const
{
    if (!hasBlob(which))
        return std::nullopt;
    if (const QByteArray *bytes = unsavedBlob(which))
        return *bytes;
    if (context() == nullptr)
        return QByteArray();
    return context()->loadBlob(id(), which);
}

void Item::setBlob(ItemBlob which, const std::optional<QByteArray> &data)
{
    if (!mayChange())
        return;
    (which == ItemBlob::Thumbnail ? m_hasThumbnail : m_hasImage) = data.has_value();
    if (!m_unsavedBlobs)
        m_unsavedBlobs = std::make_unique<UnsavedBlobs>();
    m_unsavedBlobs->bytes[blobIndex(which)] = data.value_or(QByteArray());
    didChange();
}

void Item::setMetadataJSON(const std::optional<QByteArray> &json)
{
    const bool shared = m_texts.arenaBlock() != nullptr;
    if (!mayChange() || !m_texts.setBytes(ItemTexts::MetadataJSON, json))
        return;
    letGoOfSharedTexts(shared);
    didChange();
}

std::optional<ItemMetadata> Item::metadata() const
{
    const std::optional<QByteArray> json = metadataJSON();
    if (!json)
        return std::nullopt;
    return ItemMetadata::fromJson(*json);
}

void Item::setMetadata(const std::optional<ItemMetadata> &metadata)
{
    setMetadataJSON(metadata ? std::optional<QByteArray>(metadata->toJson()) : std::nullopt);
}

void Item::setSourceDomain(const std::optional<QString> &domain)
{
    if (!mayChange() || !m_texts.set(ItemTexts::SourceDomain, domain))
        return;
    refreshSearchText();
    didChange();
}

void Item::setSourceApp(const std::optional<QString> &app)
{
    const bool shared = m_texts.arenaBlock() != nullptr;
    if (!mayChange() || !m_texts.set(ItemTexts::SourceApp, app))
        return;
    letGoOfSharedTexts(shared);
    didChange();
}

QList<Tag *> Item::sortedTags() const
{
    QList<Tag *> sorted = m_tags;
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(sorted.begin(), sorted.end(), [&collator](const Tag *a, const Tag *b) {
        return collator.compare(a->name(), b->name()) < 0;
    });
    return sorted;
}

bool Item::hasTag(const Tag &tag) const
{
    return std::any_of(m_tags.cbegin(), m_tags.cend(),
                       [&tag](const Tag *t) { return t->id() == tag.id(); });
}

void Item::setArchived(bool archived)
{
    if (archived == m_isArchived || !mayChange())
        return;
    m_isArchived = archived;
    noteSearchChange();
    didChange();
}

void Item::setFavorite(bool favorite)
{
    if (favorite == m_isFavorite || !mayChange())
        return;
    m_isFavorite = favorite;
    noteSearchChange();
    didChange();
}

void Item::setRead(bool read)
{
    if (read == m_isRead || !mayChange())
        return;
    m_isRead = read;
    didChange();
}

std::optional<QDateTime> Item::accessedAt() const
{
    if (m_accessedAt == neverAccessed)
        return std::nullopt;
    return QDateTime::fromMSecsSinceEpoch(m_accessedAt, Qt::UTC);
}

void Item::setAccessedAt(const std::optional<QDateTime> &when)
{
    const std::optional<qint64> ms =
        when ? std::optional<qint64>(when->toMSecsSinceEpoch()) : std::nullopt;
    if (ms == accessedAtMSecs() || !mayChange())
        return;
    m_accessedAt = ms.value_or(neverAccessed);
    didChange();
}

void Item::addTag(Tag *tag)
{
    if (tag == nullptr || hasTag(*tag) || !mayChange())
        return;
    m_tags.append(tag);
    tag->m_items.append(this);
    noteSearchChange();
    touch();
}

void Item::removeTag(const Tag &tag)
{
    if (!mayChange())
        return;
    unlinkTag(tag);
    touch();
}

void Item::moveToFolder(Folder *folder)
{
    if (!mayChange())
        return;
    linkFolder(folder);
    touch();
}

void Item::toggleFavorite()
{
    if (!mayChange())
        return;
    m_isFavorite = !m_isFavorite;
    noteSearchChange();
    touch();
}

void Item::toggleArchive()
{
    if (!mayChange())
        return;
    m_isArchived = !m_isArchived;
    noteSearchChange();
    touch();
}

void Item::letGoOfSharedTexts(bool wereShared)
{
    // A search index may hold the block the texts had in the store's arena, and lets go of
    // it only for a new search revision: without one, an edit of a text no search reads
    // would keep the whole chunk alive.
    if (wereShared)
        refreshSearchText();
}

void Item::refreshSearchText()
{
    m_search.reset(); // built again when next read
    m_searchRevision = s_searchRevisions.fetch_add(1, std::memory_order_relaxed) + 1;
    noteSearchChange();
}

void Item::assignSearchText(SearchText &text) const
{
    text.assign(m_texts.utf8(ItemTexts::Title), m_texts.optionalUtf8(ItemTexts::Note),
                m_texts.optionalUtf8(ItemTexts::SourceDomain),
                m_texts.optionalUtf8(ItemTexts::Url));
    copiedSearchRevision();
}

quint64 Item::copiedSearchRevision() const
{
    // An item read from the store gets its first revision here. Nothing can hold a copy of
    // its text yet (a copy records the revision after this), so there is no change to tell.
    if (m_searchRevision == 0)
        m_searchRevision = s_searchRevisions.fetch_add(1, std::memory_order_relaxed) + 1;
    return m_searchRevision;
}

void Item::buildSearchText() const
{
    auto text = std::make_unique<SearchText>();
    assignSearchText(*text);
    m_search = std::move(text);
}

const SearchText &Item::searchText(SearchText &scratch) const
{
    if (m_search)
        return *m_search;
    assignSearchText(scratch);
    return scratch;
}

void Item::prepareSearchText(const std::vector<Item *> &items)
{
    for (const Item *item : items) {
        if (!item->m_search)
            item->buildSearchText();
    }
}

void Item::linkFolder(Folder *folder)
{
    if (folder == m_folder || !mayChange())
        return;
    if (m_folder != nullptr)
        m_folder->m_items.removeOne(this);
    m_folder = folder;
    if (m_folder != nullptr)
        m_folder->m_items.append(this);
}

void Item::unlinkTag(const Tag &tag)
{
    for (qsizetype i = m_tags.size() - 1; i >= 0; --i) {
        Tag *t = m_tags.at(i);
        if (t->id() == tag.id()) {
            t->m_items.removeOne(this);
            m_tags.removeAt(i);
        }
    }
    noteSearchChange();
}

} // namespace quillory
