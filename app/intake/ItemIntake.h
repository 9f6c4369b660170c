#pragma once

#include <intake/ClipboardReader.h>

#include <QLocale>
#include <QObject>
#include <QUrl>
#include <memory>
#include <vector>

class QMimeData;

namespace quillory {

class AppNotifier;
class Item;
class ItemEnricher;
class LibraryStore;

// Every new item comes through here, whatever hands it over (a typed or pasted address, a
// picture, a file, a drop, the File menu, the tray, the share inbox): inserts it, announces
// it for selection and, for addresses, starts the enrichment that fetches the page's title
// and preview. Pictures are decoded off the interface thread and stored when ready. Lives
// as long as the store, so work still under way when the window closes is not lost.
class ItemIntake final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ItemIntake)

public:
    ItemIntake(LibraryStore &store, ItemEnricher &enricher, QObject *parent = nullptr);

    // Follows "createItemFromURL" and "createItemFromImageData".
    void followNotifications(AppNotifier &notifier);

    // A local file's address makes a file item; any other address a link that is enriched
    // (and announced with alreadyInLibrary when the library held its page already).
    Item *createItem(const QUrl &url);
    Item *createImageItem(const QByteArray &data);
    Item *createFileItem(const QUrl &fileUrl);
    // Reads the picture off the interface thread, then makes a screenshot item of it; a file
    // that cannot be read makes nothing.
    void addImageFile(const QString &path);

    // What ClipboardReader finds in pasted or dropped data becomes items: each address or
    // file one item, or one picture. False when there was nothing to add.
    bool addFrom(const QMimeData &data);
    bool add(const ClipboardOffer &offer);
    void pasteFromClipboard();
    bool handleDrop(const QMimeData &data) { return addFrom(data); }

    // Items handed over by another program (the share inbox): inserted in one batch and not
    // selected, since a share of many must not make the window jump; web addresses (http
    // and https only) are enriched, a few at a time.
    std::vector<Item *> addShared(std::vector<std::unique_ptr<Item>> items);

    // While the library is locked behind its passphrase, what is pasted waits here and is
    // added, in order, once it is released.
    void setOnHold(bool onHold);

    static QString screenshotTitle(const QDateTime &when, const QLocale &locale = QLocale());

signals:
    void itemCreated(quillory::Item *item);
    // A link just added holds a page the library already had (it is added all the same);
    // `existing` is the oldest item that holds it.
    void alreadyInLibrary(quillory::Item *added, quillory::Item *existing);
    // A picture's stored forms have arrived (tests and benchmarks wait for it).
    void imagesStored(quillory::Item *item);

private:
    Item *insertLink(const QUrl &url);
    void createImageItemFrom(const QImage &image);
    void storeImagesWhenReady(const QUuid &itemId, const QString &filePath, QByteArray data);

    LibraryStore &m_store;
    ItemEnricher &m_enricher;
    bool m_onHold = false;
    std::vector<ClipboardOffer> m_waiting;
};

} // namespace quillory
