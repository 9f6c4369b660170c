#include <intake/PendingItemsService.h>

#include <intake/AppNotifier.h>
#include <intake/ItemEnricher.h>
#include <intake/ItemImages.h>
#include <intake/ItemIntake.h>
#include <intake/ThumbnailService.h>
#include <util/BackgroundWork.h>

#include <inbox/InboxFolder.h>
#include <inbox/InboxLayout.h>
#include <inbox/PendingItemRecord.h>
#include <model/BoundedText.h>
#include <model/Item.h>
#include <model/LibraryStore.h>
#include <platform/NewItemsListener.h>

#include <QGuiApplication>
#include <algorithm>

namespace quillory {

PendingItemsService::PendingItemsService(LibraryStore &store, ItemIntake &intake, QObject *parent)
    : QObject(parent), m_store(store), m_intake(intake)
{
    // Bursts of triggers (a share of many files changes the folder many times) make one scan.
    m_trigger.setSingleShot(true);
    m_trigger.setInterval(50);
    connect(&m_trigger, &QTimer::timeout, this, &PendingItemsService::processPendingItems);
    connect(&store, &LibraryStore::saveRecovered, this, &PendingItemsService::deleteSaved);
}

PendingItemsService::~PendingItemsService() = default;

void PendingItemsService::followTriggers(AppNotifier &notifier, NewItemsListener &listener)
{
    connect(&listener, &NewItemsListener::newItems, &notifier, &AppNotifier::processPendingItems);
    connect(&notifier, &AppNotifier::processPendingItems, this, &PendingItemsService::requestScan);
    if (auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::applicationStateChanged, this,
                [this](Qt::ApplicationState state) {
                    if (state == Qt::ApplicationActive)
                        requestScan();
                });
    }
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this,
            &PendingItemsService::requestScan);
    watchInbox();
    requestScan();
}

void PendingItemsService::watchInbox()
{
    // Made now, so that it can be watched before Dropslip ever writes to it.
    if (const auto inbox = InboxLayout::ensureInbox(); inbox && m_watcher.directories().isEmpty())
        m_watcher.addPath(*inbox);
}

void PendingItemsService::requestScan()
{
    if (!m_trigger.isActive())
        m_trigger.start();
}

void PendingItemsService::setOnHold(bool onHold)
{
    m_onHold = onHold;
    if (!onHold)
        requestScan();
}

void PendingItemsService::processPendingItems()
{
    // Nothing can be added to a library that can only be read, or to one still locked; the
    // records wait.
    if (m_store.isReadOnly() || m_onHold)
        return;
    if (m_picturesReading > 0) {
        m_scanAgain = true;
        return;
    }
    // Opened afresh for each scan, and never through a link: a planted link would otherwise
    // have the scan read and delete another program's files.
    auto inbox = std::make_shared<InboxFolder>(InboxLayout::openInbox());
    if (!inbox->isOpen()) {
        finishScanWhenIdle();
        return;
    }
    m_imported = std::make_shared<InboxFolder>(inbox->folder(InboxLayout::importedName));
    m_inbox = std::move(inbox);
    const QStringList names = m_inbox->names();
    const QSet<QString> present(names.begin(), names.end());
    m_seen.removeIf([&present](const QString &name) { return !present.contains(name); });
    for (const QString &name : names) {
        // No picture of this process is being decoded now, so a record in that state was
        // left by one that ended while decoding, perhaps because of that very picture.
        if (InboxLayout::isImportingName(name) && !isAwaitingSave(name))
            setAsideUnfinished(*m_inbox, name);
    }
    for (const QString &name : names) {
        if (InboxLayout::isRecordName(name) && !m_seen.contains(name))
            processPendingRecord(name);
    }
    finishScanWhenIdle();
}

void PendingItemsService::processPendingRecord(const QString &name)
{
    m_seen.insert(name);
    const auto bytes = m_inbox->read(name, PendingItemRecord::sizeLimit);
    const auto record = bytes ? PendingItemRecord::fromJson(*bytes) : std::nullopt;
    if (!record) {
        discard(*m_inbox, name); // not a record; nothing was made from it
        return;
    }
    const bool hasUrl =
        record->url && QUrl(*record->url, QUrl::StrictMode).isValid() && !record->url->isEmpty();
    if (!hasUrl && record->imageFileName) {
        // Only a name no other record or folder of the inbox can have: the picture is deleted
        // with the record.
        if (InboxLayout::isCompanionName(*record->imageFileName))
            importPicture(pictureItem(*record), name, *record->imageFileName,
                          PictureSource::Companion);
        else
            discard(*m_inbox, name); // names a file outside the inbox: refused
        return;
    }
    importLinkOrDocument(*record, name);
}

void PendingItemsService::importLinkOrDocument(const PendingItemRecord &record, const QString &name)
{
    // A hostile record may carry a title of megabytes; a page's title is bounded the same way.
    const QString title = BoundedText::of(record.title, ItemEnricher::titleLimit);
    std::unique_ptr<Item> item;
    const QUrl url(record.url.value_or(QString()), QUrl::StrictMode);
    if (record.url && !record.url->isEmpty() && url.isValid()) {
        item = std::make_unique<Item>(ItemType::fromRawValueOrWebLink(record.type), title, url);
    } else if (record.filePath && !m_imported->isOpen()) {
        return; // it waits, unread, for an Imported folder that is one (not a link)
    } else if (record.filePath) {
        const auto file = InboxLayout::importedFileName(*record.filePath);
        if (file && m_imported->isRegularFile(*file)) {
            item = std::make_unique<Item>(ItemType::Document, title);
            item->setUrlString(
                QUrl::fromLocalFile(m_imported->filePath(*file)).toString(QUrl::FullyEncoded));
            item->setSourceDomain(*file);
            // A shared picture file would otherwise be a document nobody can see: it is
            // shown as the picture it is, and stays in the inbox like any shared file.
            if (isPictureKind(record.type)) {
                item->setTypeRawValue(record.type);
                item->setNote(record.note);
                importPicture(std::move(item), name, *file, PictureSource::ImportedFile);
                return;
            }
        }
    }
    if (!item) {
        discard(*m_inbox, name);
        return;
    }
    item->setNote(record.note);
    m_batch.push_back(std::move(item));
    m_batchFiles.push_back({m_inbox, name, QString()});
}

std::unique_ptr<Item> PendingItemsService::pictureItem(const PendingItemRecord &record)
{
    auto item = std::make_unique<Item>(ItemType::Screenshot,
                                       BoundedText::of(record.title, ItemEnricher::titleLimit));
    item->setNote(record.note);
    return item;
}

bool PendingItemsService::isPictureKind(const QString &raw)
{
    const auto type = ItemType::fromRawValue(raw);
    return type && (*type == ItemType::Image || *type == ItemType::Screenshot);
}

void PendingItemsService::importPicture(std::unique_ptr<Item> item, const QString &name,
                                        const QString &picture, PictureSource source)
{
    // Marked before anything of the picture is read: should decoding end the process, the
    // next scan finds the record so and sets it aside instead of trying it at every start.
    const QString importing = InboxLayout::withSuffix(name, InboxLayout::importingSuffix);
    if (!m_inbox->move(name, *m_inbox, importing))
        return; // it waits, unread, for an inbox that can be written
    ++m_picturesReading;
    // Read and decoded off the interface thread: a shared picture may be a large photo.
    BackgroundWork::run<std::optional<ItemImages::Prepared>>(
        this,
        [folder = source == PictureSource::Companion ? m_inbox : m_imported,
         picture]() -> std::optional<ItemImages::Prepared> {
            const auto bytes = folder->read(picture, ItemImages::pictureFileLimit);
            if (!bytes)
                return std::nullopt;
            return ItemImages::prepare(*bytes, ItemImages::Forms::ImageAndThumbnail,
                                       ThumbnailService::shared());
        },
        [this, inbox = m_inbox, name, importing, picture, source,
         held = std::make_shared<std::unique_ptr<Item>>(std::move(item))](
            std::optional<ItemImages::Prepared> prepared) {
            --m_picturesReading;
            std::unique_ptr<Item> made = std::move(*held);
            const bool decoded = prepared && prepared->image;
            if (source == PictureSource::ImportedFile || decoded) {
                if (decoded)
                    ItemImages::apply(*made, *prepared);
                else // the file is there whatever it holds: what cannot be shown is a document
                    made->setTypeRawValue(ItemType(ItemType::Document).rawValue());
                // Back to waiting for the save like any record, so that a crash before it
                // imports the record again.
                const QString waiting = inbox->move(importing, *inbox, name) ? name : importing;
                m_batch.push_back(std::move(made));
                m_batchFiles.push_back(
                    {inbox, waiting, source == PictureSource::Companion ? picture : QString()});
            } else if (prepared && prepared->tooLarge) {
                setAside(*inbox, importing, picture); // kept for the user, never tried again
            } else if (prepared) {
                // Bytes that are no picture still make the item, without image or thumbnail.
                const QString waiting = inbox->move(importing, *inbox, name) ? name : importing;
                m_batch.push_back(std::move(made));
                m_batchFiles.push_back({inbox, waiting, picture});
            } else if (inbox->isRegularFile(picture)) {
                setAside(*inbox, importing, picture); // there but unreadable: kept, not retried
            } else {
                discard(*inbox, importing); // its picture is missing: no item
            }
            finishScanWhenIdle();
        });
}

bool PendingItemsService::isAwaitingSave(const QString &name) const
{
    // A record whose name could not be given back waits for the save under its marked name.
    const auto named = [&name](const Imported &imported) { return imported.record == name; };
    return std::any_of(m_unsaved.begin(), m_unsaved.end(), named) ||
           std::any_of(m_batchFiles.begin(), m_batchFiles.end(), named);
}

void PendingItemsService::discard(const InboxFolder &inbox, const QString &name)
{
    // A record that cannot be deleted stays remembered, so that it is not read again.
    if (inbox.remove(name))
        m_seen.remove(InboxLayout::withSuffix(name, InboxLayout::recordSuffix));
}

void PendingItemsService::setAside(const InboxFolder &inbox, const QString &name,
                                   const QString &companion)
{
    const QString record = InboxLayout::withSuffix(name, InboxLayout::recordSuffix);
    const InboxFolder failed = inbox.folder(InboxLayout::failedName, InboxFolder::Missing::Create);
    // Rather lost than tried at every start, should Failed be unusable (a link in its place).
    if (inbox.move(name, failed, record) || inbox.remove(name))
        m_seen.remove(record);
    if (!companion.isEmpty())
        inbox.move(companion, failed, companion);
}

void PendingItemsService::setAsideUnfinished(const InboxFolder &inbox, const QString &name)
{
    const auto bytes = inbox.read(name, PendingItemRecord::sizeLimit);
    const auto record = bytes ? PendingItemRecord::fromJson(*bytes) : std::nullopt;
    const QString companion =
        record && record->imageFileName && InboxLayout::isCompanionName(*record->imageFileName)
            ? *record->imageFileName
            : QString();
    setAside(inbox, name, companion);
}

void PendingItemsService::finishScanWhenIdle()
{
    if (m_picturesReading > 0)
        return;
    if (!m_batch.empty()) {
        const auto added = m_intake.addShared(std::move(m_batch));
        m_batch.clear();
        // Refused items (a library that turned read-only) keep their records for later.
        if (!added.empty())
            m_unsaved.insert(m_unsaved.end(), m_batchFiles.begin(), m_batchFiles.end());
        m_batchFiles.clear();
    }
    // The records go only once their items are safely stored: Quillory may stop before the
    // next autosave, and a record deleted too early would be a share lost.
    if (!m_unsaved.empty() && m_store.save())
        deleteSaved();
    emit scanFinished();
    if (std::exchange(m_scanAgain, false))
        requestScan();
}

void PendingItemsService::deleteSaved()
{
    for (const Imported &imported : std::exchange(m_unsaved, {})) {
        // Forgotten once gone: a record written later under the same name is a new share.
        if (imported.inbox->remove(imported.record))
            m_seen.remove(imported.record);
        if (!imported.companion.isEmpty())
            imported.inbox->remove(imported.companion);
    }
}

} // namespace quillory
