#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QTimer>
#include <memory>
#include <vector>

namespace quillory {

class AppNotifier;
class InboxFolder;
class Item;
class ItemIntake;
class LibraryStore;
class NewItemsListener;
struct PendingItemRecord;

// Imports what Dropslip (or any program) left in the share inbox: each record becomes an
// item through the intake, web items are enriched, and the records are deleted. The inbox is
// written by programs Quillory does not control, so its folders are opened without following
// links, only names of the inbox's own forms are read or deleted, a record may only name files
// inside it (a picture beside it, or "Imported/" and a bare name), links, FIFOs and oversized
// files are refused, and a record is deleted only once the item it produced has been saved.
// A record whose picture is refused or does not decode, or whose decoding the process did not
// survive, is set aside in the inbox's Failed folder instead of being tried again.
class PendingItemsService final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PendingItemsService)

public:
    PendingItemsService(LibraryStore &store, ItemIntake &intake, QObject *parent = nullptr);
    ~PendingItemsService() override;

    // Scans on the in-process "processPendingItems" notification (which `listener` posts
    // when Dropslip rings), when Quillory becomes the active application, when the inbox
    // folder changes, and once now for records left while Quillory was not running.
    void followTriggers(AppNotifier &notifier, NewItemsListener &listener);

    // One scan of the inbox; a scan asked for while pictures of the last one are still being
    // read runs when they are done.
    void processPendingItems();

    // While the library is locked behind its passphrase the records wait; releasing the
    // hold scans at once.
    void setOnHold(bool onHold);

signals:
    // A scan has created what it will create and, when the save worked, deleted its records.
    void scanFinished();

private:
    using Folder = std::shared_ptr<const InboxFolder>;
    struct Imported
    {
        Folder inbox;
        QString record;
        QString companion; // the picture file an image record brought, deleted with it
    };

    void requestScan();
    bool isAwaitingSave(const QString &name) const;
    void processPendingRecord(const QString &name);
    void importLinkOrDocument(const PendingItemRecord &record, const QString &name);
    // A picture beside the record (deleted with it), or a file shared into "Imported"
    // (which stays, as every shared file does).
    enum class PictureSource { Companion, ImportedFile };
    static std::unique_ptr<Item> pictureItem(const PendingItemRecord &record);
    static bool isPictureKind(const QString &raw);
    void importPicture(std::unique_ptr<Item> item, const QString &name, const QString &picture,
                       PictureSource source);
    // Deletes a record that made nothing.
    void discard(const InboxFolder &inbox, const QString &name);
    // Moves a record (under `name`, in whichever state) and its picture into Failed.
    void setAside(const InboxFolder &inbox, const QString &name, const QString &companion);
    void setAsideUnfinished(const InboxFolder &inbox, const QString &name);
    void finishScanWhenIdle();
    void deleteSaved();
    void watchInbox();

    LibraryStore &m_store;
    ItemIntake &m_intake;
    // Names of records met in this run, each kept while its file is there, so that a record
    // that cannot be deleted is not imported again, and one written anew under a name used
    // before is.
    QSet<QString> m_seen;
    // The folders of the scan under way.
    Folder m_inbox;
    Folder m_imported;
    // Links and documents of the scan under way, inserted together when it ends.
    std::vector<std::unique_ptr<Item>> m_batch;
    std::vector<Imported> m_unsaved;
    std::vector<Imported> m_batchFiles;
    int m_picturesReading = 0;
    bool m_scanAgain = false;
    bool m_onHold = false;
    QTimer m_trigger;
    QFileSystemWatcher m_watcher;
};

} // namespace quillory
