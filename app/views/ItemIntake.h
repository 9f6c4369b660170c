#pragma once

#include <QObject>
#include <QUrl>
#include <functional>

class QDialog;
class QMimeData;
class QWidget;

namespace quillory {

class Item;
class ItemEnricher;
class LibraryStore;

// Turns what the user hands the main window (a typed or pasted address, a picture, a file,
// a drop) into a new item: inserts it, announces it for selection and, for addresses,
// starts the enrichment that fetches the page's title and preview. Pictures are decoded
// off the interface thread and stored in the item when ready.
class ItemIntake final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ItemIntake)

public:
    // Shows a file panel (or lets a test answer it) and returns when it has closed.
    using PanelRunner = std::function<void(QDialog &)>;

    ItemIntake(LibraryStore &store, ItemEnricher &enricher, PanelRunner runPanel,
               QWidget *panelParent);

    Item *createItem(const QUrl &url);
    Item *createImageItem(const QByteArray &data);
    Item *createFileItem(const QUrl &fileUrl);

    // The first that applies: an address in the text, PNG, then TIFF (or any other picture).
    void pasteFrom(const QMimeData &clipboard);
    void pasteFromClipboard();
    void addImageFromFile();
    void addDocumentFromFile();
    // Every dropped file, address or picture becomes an item; true when there was any.
    bool handleDrop(const QMimeData &data);
    static bool canAccept(const QMimeData &data);

    static QString screenshotTitle(const QDateTime &when);
    static QString documentPanelFilter();
    static QString imagePanelFilter();

signals:
    void itemCreated(quillory::Item *item);
    // A picture's stored forms have arrived (tests and benchmarks wait for it).
    void imagesStored(quillory::Item *item);

private:
    void insert(Item *item);
    void storeImagesLater(Item &item, const QByteArray &data);
    void storeFileImagesLater(Item &item, const QString &path);
    std::optional<QString> chooseFile(const QString &title, const QString &filter);

    LibraryStore &m_store;
    ItemEnricher &m_enricher;
    PanelRunner m_runPanel;
    QWidget *m_panelParent;
};

} // namespace quillory
