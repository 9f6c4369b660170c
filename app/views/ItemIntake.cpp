#include "ItemIntake.h"

#include <BackgroundWork.h>
#include <Clock.h>
#include <Item.h>
#include <ItemEnricher.h>
#include <ItemImages.h>
#include <LibraryStore.h>

#include <QBuffer>
#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QLocale>
#include <QMimeData>
#include <QMimeDatabase>
#include <algorithm>

namespace quillory {
namespace {

const QString pngFormat = QStringLiteral("image/png");
const QString tiffFormat = QStringLiteral("image/tiff");

// Beyond this no decoder would accept a picture anyway.
constexpr qint64 readLimit = qint64(256) * 1024 * 1024;

std::optional<QUrl> urlWithScheme(const QString &text)
{
    // Copied and dragged addresses often carry a line break at the end.
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty())
        return std::nullopt;
    return url;
}

QByteArray pngBytes(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// The picture a drop or the clipboard carries: encoded bytes when the source offers them
// (no quality lost), else the decoded image saved as PNG.
std::optional<QByteArray> pictureBytes(const QMimeData &data)
{
    for (const QString &format : data.formats()) {
        if (format.startsWith(QStringLiteral("image/"))) {
            QByteArray bytes = data.data(format);
            if (!bytes.isEmpty())
                return bytes;
        }
    }
    if (data.hasImage()) {
        const auto image = qvariant_cast<QImage>(data.imageData());
        if (!image.isNull())
            return pngBytes(image);
    }
    return std::nullopt;
}

std::optional<QByteArray> readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > readLimit)
        return std::nullopt;
    return file.readAll();
}

QString fileTitle(const QUrl &fileUrl)
{
    const QFileInfo info(fileUrl.toLocalFile());
    // "archive.tar.gz" keeps "archive.tar"; a name that is all extension keeps its name.
    const QString title = info.completeBaseName();
    return title.isEmpty() ? info.fileName() : title;
}

} // namespace

ItemIntake::ItemIntake(LibraryStore &store, ItemEnricher &enricher, PanelRunner runPanel,
                       QWidget *panelParent)
    : QObject(panelParent), m_store(store), m_enricher(enricher), m_runPanel(std::move(runPanel)),
      m_panelParent(panelParent)
{
}

Item *ItemIntake::createItem(const QUrl &url)
{
    const QString host = url.host();
    Item *item = m_store.insert(std::make_unique<Item>(
        ItemType::detect(url), host.isEmpty() ? QStringLiteral("Untitled") : host, url));
    if (item == nullptr)
        return nullptr;
    emit itemCreated(item);
    m_enricher.enrich(item->id(), url);
    return item;
}

Item *ItemIntake::createImageItem(const QByteArray &data)
{
    Item *item =
        m_store.insert(std::make_unique<Item>(ItemType::Screenshot, screenshotTitle(Clock::now())));
    if (item == nullptr)
        return nullptr;
    emit itemCreated(item);
    storeImagesLater(*item, data);
    return item;
}

Item *ItemIntake::createFileItem(const QUrl &fileUrl)
{
    const ItemType type = ItemType::detect(fileUrl);
    Item *item = m_store.insert(std::make_unique<Item>(type, fileTitle(fileUrl), fileUrl));
    if (item == nullptr)
        return nullptr;
    emit itemCreated(item);
    if (type == ItemType::Image || type == ItemType::Screenshot)
        storeFileImagesLater(*item, fileUrl.toLocalFile());
    return item;
}

void ItemIntake::storeImagesLater(Item &item, const QByteArray &data)
{
    ItemImages::prepareInBackground(data, ItemImages::Forms::ImageAndThumbnail, this,
                                    [this, id = item.id()](const ItemImages::Prepared &prepared) {
                                        // The item may have been deleted while decoding.
                                        if (Item *i = m_store.item(id)) {
                                            ItemImages::apply(*i, prepared);
                                            emit imagesStored(i);
                                        }
                                    });
}

void ItemIntake::storeFileImagesLater(Item &item, const QString &path)
{
    ItemImages::prepareFileInBackground(
        path, ItemImages::Forms::ImageAndThumbnail, this,
        [this, id = item.id()](const ItemImages::Prepared &prepared) {
            if (Item *i = m_store.item(id)) {
                ItemImages::apply(*i, prepared);
                emit imagesStored(i);
            }
        });
}

void ItemIntake::pasteFromClipboard()
{
    if (const QMimeData *data = QGuiApplication::clipboard()->mimeData())
        pasteFrom(*data);
}

void ItemIntake::pasteFrom(const QMimeData &clipboard)
{
    if (const auto url = urlWithScheme(clipboard.text())) {
        createItem(*url);
        return;
    }
    const QByteArray png = clipboard.data(pngFormat);
    if (!png.isEmpty()) {
        createImageItem(png);
        return;
    }
    const QByteArray tiff = clipboard.data(tiffFormat);
    if (!tiff.isEmpty() && !QImage::fromData(tiff).isNull()) {
        createImageItem(tiff);
        return;
    }
    // Pictures in other formats, and files copied in a file manager, are welcome too.
    if (clipboard.hasImage() || clipboard.hasUrls())
        handleDrop(clipboard);
}

bool ItemIntake::canAccept(const QMimeData &data)
{
    if (data.hasUrls() || data.hasText() || data.hasImage())
        return true;
    const QStringList formats = data.formats();
    return std::any_of(formats.begin(), formats.end(),
                       [](const QString &f) { return f.startsWith(QStringLiteral("image/")); });
}

bool ItemIntake::handleDrop(const QMimeData &data)
{
    if (!canAccept(data))
        return false;
    // Each dropped address or file is one item, in the order they came.
    if (data.hasUrls()) {
        for (const QUrl &url : data.urls()) {
            if (url.isLocalFile())
                createFileItem(url);
            else if (!url.scheme().isEmpty())
                createItem(url);
        }
        return true;
    }
    if (data.hasText()) {
        if (const auto url = urlWithScheme(data.text()))
            createItem(*url);
        return true;
    }
    if (const auto bytes = pictureBytes(data))
        createImageItem(*bytes);
    return true;
}

std::optional<QString> ItemIntake::chooseFile(const QString &title, const QString &filter)
{
    QFileDialog panel(m_panelParent, title);
    panel.setObjectName(QStringLiteral("openPanel"));
    panel.setFileMode(QFileDialog::ExistingFile);
    panel.setAcceptMode(QFileDialog::AcceptOpen);
    panel.setNameFilter(filter);
    m_runPanel(panel);
    const QStringList files = panel.selectedFiles();
    if (panel.result() != QDialog::Accepted || files.isEmpty())
        return std::nullopt;
    return files.first();
}

void ItemIntake::addImageFromFile()
{
    const auto path = chooseFile(tr("Add Image"), imagePanelFilter());
    if (!path)
        return;
    // Read off the interface thread: a large photo on a slow disk must not freeze the window.
    BackgroundWork::run<std::optional<QByteArray>>(
        this, [path = *path] { return readFile(path); },
        [this](std::optional<QByteArray> bytes) {
            if (bytes)
                createImageItem(*bytes);
        });
}

void ItemIntake::addDocumentFromFile()
{
    if (const auto path = chooseFile(tr("Add Document"), documentPanelFilter()))
        createFileItem(QUrl::fromLocalFile(*path));
}

QString ItemIntake::screenshotTitle(const QDateTime &when)
{
    const QLocale locale;
    // The locale's own clock: "3:41 PM" where it uses AM and PM, "15:41" elsewhere.
    const bool twelveHour =
        locale.timeFormat(QLocale::ShortFormat).contains(QLatin1Char('a'), Qt::CaseInsensitive);
    const QString format = QStringLiteral("MMM d, ") +
                           (twelveHour ? QStringLiteral("h:mm AP") : QStringLiteral("HH:mm"));
    return QStringLiteral("Screenshot ") + locale.toString(when.toLocalTime(), format);
}

QString ItemIntake::imagePanelFilter()
{
    const QMimeDatabase mimes;
    QStringList globs;
    for (const QByteArray &name : QImageReader::supportedMimeTypes())
        globs += mimes.mimeTypeForName(QString::fromLatin1(name)).globPatterns();
    globs.sort();
    globs.removeDuplicates();
    return tr("Images") + QStringLiteral(" (") + globs.join(QLatin1Char(' ')) + QLatin1Char(')');
}

QString ItemIntake::documentPanelFilter()
{
    // PDF, plain text, RTF, composite documents, spreadsheets, presentations, source code
    // and HTML, in that order.
    static const char *const globs =
        "*.pdf *.txt *.text *.md *.markdown *.rtf *.rtfd *.doc *.docx *.odt *.pages *.epub "
        "*.xls *.xlsx *.ods *.numbers *.csv *.tsv *.ppt *.pptx *.odp *.key "
        "*.c *.h *.cc *.cpp *.cxx *.hpp *.m *.mm *.swift *.py *.rb *.js *.ts *.java *.kt "
        "*.go *.rs *.sh *.pl *.php *.cs *.sql *.json *.xml *.yaml *.yml *.toml *.css "
        "*.html *.htm *.xhtml";
    return tr("Documents") + QStringLiteral(" (") + QString::fromLatin1(globs) + QLatin1Char(')');
}

} // namespace quillory
