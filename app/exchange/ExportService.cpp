#include <exchange/ExportService.h>

#include <exchange/EncryptedBackup.h>
#include <exchange/ExportDocumentWriter.h>
#include <util/BuildInfo.h>

#include <QDir>
#include <QHash>
#include <QSet>
#include <inbox/InboxFiles.h>
#include <model/Clock.h>
#include <model/Folder.h>
#include <model/FolderNesting.h>
#include <model/HexColor.h>
#include <model/Item.h>
#include <model/Tag.h>

namespace quillory {

namespace {

std::optional<ExportedMetadata> exportedMetadata(const Item &item)
{
    const auto metadata = item.metadata();
    if (!metadata)
        return std::nullopt;
    ExportedMetadata exported{metadata->author, metadata->description, metadata->platform,
                              metadata->siteName};
    if (exported.isEmpty())
        return std::nullopt;
    return exported;
}

std::optional<QUrl> parsedUrl(const std::optional<QString> &text)
{
    if (!text || text->isEmpty())
        return std::nullopt;
    const QUrl url(*text, QUrl::StrictMode);
    if (!url.isValid())
        return std::nullopt;
    return url;
}

template <typename T> T *lookUp(const QHash<QString, T *> &map, const std::optional<QString> &id)
{
    return id ? map.value(*id, nullptr) : nullptr;
}

} // namespace

QByteArray ExportService::exportDocument(const std::vector<Item *> &items,
                                         const std::vector<Folder *> &folders,
                                         const std::vector<Tag *> &tags, bool includeImages)
{
    // Items go straight into the document: a copy of all of them first would double the
    // memory an export needs.
    std::vector<ExportedFolder> exportedFolders;
    exportedFolders.reserve(folders.size());
    for (const Folder *folder : folders)
        exportedFolders.push_back(exportedFolder(*folder));
    ExportDocumentWriter writer(BuildInfo::appVersion(), Clock::nowMSecs(), exportedFolders,
                                expectedSize(items.size()));
    for (const Item *item : items)
        writer.addItem(exportedItem(*item, includeImages));
    std::vector<ExportedTag> exportedTags;
    exportedTags.reserve(tags.size());
    for (const Tag *tag : tags)
        exportedTags.push_back(exportedTag(*tag));
    return writer.finish(exportedTags);
}

ExportedItem ExportService::exportedItem(const Item &item, bool includeImages)
{
    ExportedItem exported;
    exported.id = ExportDocumentWriter::uuidText(item.id());
    exported.type = item.typeRawValue();
    exported.title = item.title();
    exported.url = item.urlString();
    exported.note = item.note();
    exported.sourceDomain = item.sourceDomain();
    if (item.folder() != nullptr)
        exported.folderId = ExportDocumentWriter::uuidText(item.folder()->id());
    exported.tagIds.reserve(size_t(item.tags().size()));
    for (const Tag *tag : item.tags())
        exported.tagIds.push_back(ExportDocumentWriter::uuidText(tag->id()));
    exported.isArchived = item.isArchived();
    exported.isFavorite = item.isFavorite();
    exported.createdAt = item.createdAtMSecs();
    exported.modifiedAt = item.modifiedAtMSecs();
    if (item.texts().has(ItemTexts::MetadataJSON))
        exported.metadata = exportedMetadata(item);
    if (includeImages) {
        if (item.hasImageData())
            exported.imageData = item.imageData();
        if (item.hasThumbnailData())
            exported.thumbnailData = item.thumbnailData();
    }
    return exported;
}

ExportedFolder ExportService::exportedFolder(const Folder &folder)
{
    ExportedFolder exported;
    exported.id = ExportDocumentWriter::uuidText(folder.id());
    exported.name = folder.name();
    exported.iconName = folder.iconName();
    exported.colorHex = folder.colorHex();
    if (folder.parent() != nullptr)
        exported.parentId = ExportDocumentWriter::uuidText(folder.parent()->id());
    exported.sortOrder = folder.sortOrder();
    exported.createdAt = folder.createdAtMSecs();
    exported.modifiedAt = folder.modifiedAtMSecs();
    return exported;
}

ExportedTag ExportService::exportedTag(const Tag &tag)
{
    return ExportedTag{ExportDocumentWriter::uuidText(tag.id()),
                       tag.name(),
                       tag.colorHex(),
                       tag.sortOrder(),
                       tag.createdAtMSecs(),
                       tag.modifiedAtMSecs()};
}

QString ExportService::fileName(bool encrypted, const QDateTime &when, const QLocale &locale)
{
    QString datePart = locale.toString(when.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
                       locale.toString(when.time(), QLocale::ShortFormat);
    datePart.replace(QLatin1Char('/'), QLatin1Char('-'))
        .replace(QLatin1Char(':'), QLatin1Char('-'))
        .replace(QLatin1Char(' '), QLatin1Char('_'));
    // Some locales put a narrow no-break space before "AM"; it is a space all the same.
    datePart.replace(QChar(0x202F), QLatin1Char('_')).replace(QChar(0x00A0), QLatin1Char('_'));
    return encrypted ? QStringLiteral("quillory_backup_") + datePart + QStringLiteral(".qlbackup")
                     : QStringLiteral("quillory_export_") + datePart + QStringLiteral(".json");
}

qsizetype ExportService::expectedSize(size_t itemCount)
{
    // What an item without pictures typically takes.
    return 1024 + qsizetype(itemCount) * 700;
}

ExportService::FileResult ExportService::writeDocument(QByteArray bytes, const FileOptions &options,
                                                       const QString &directory,
                                                       const QDateTime &when)
{
    if (options.encrypt) {
        auto sealed = EncryptedBackup::seal(bytes, options.passphrase);
        bytes = QByteArray(); // the plain document goes before the envelope is built
        if (!sealed.ok())
            return {std::nullopt, sealed.error().errorDescription()};
        bytes = std::move(sealed.value());
    }
    const QString path = QDir(directory).filePath(fileName(options.encrypt, when));
    if (!InboxFiles::writeAtomically(path, bytes))
        return {std::nullopt,
                QStringLiteral("The export could not be written to %1. Check that the disk "
                               "has room and the folder can be written to.")
                    .arg(QDir::toNativeSeparators(directory))};
    return {path, QString()};
}

StoreFile::Contents ExportService::importRecords(const ExportData &data, const Progress &progress)
{
    StoreFile::Contents contents;
    // When two records share an id, the later one is the one the map keeps.
    QHash<QString, Tag *> tags;
    QHash<QString, Folder *> folders;
    tags.reserve(qsizetype(data.tags.size()));
    folders.reserve(qsizetype(data.folders.size()));
    contents.tags.reserve(data.tags.size());
    contents.folders.reserve(data.folders.size());
    contents.items.reserve(data.items.size());

    for (const ExportedTag &exported : data.tags) {
        auto tag = std::make_unique<Tag>(exported.name, HexColor::fromHex(exported.colorHex));
        tags.insert(exported.id, tag.get());
        contents.tags.push_back(std::move(tag));
    }
    for (const ExportedFolder &exported : data.folders) {
        auto folder = std::make_unique<Folder>(exported.name,
                                               exported.iconName.value_or(QStringLiteral("folder")),
                                               HexColor::fromHex(exported.colorHex));
        folder->setSortOrder(exported.sortOrder.value_or(0));
        folders.insert(exported.id, folder.get());
        contents.folders.push_back(std::move(folder));
    }
    // Nesting once every folder exists, so a parent later in the file is found. A link that
    // would close a cycle is dropped, and a tree too deep is cut (FolderNesting).
    std::vector<std::pair<Folder *, Folder *>> links;
    links.reserve(data.folders.size());
    for (const ExportedFolder &exported : data.folders) {
        if (Folder *child = folders.value(exported.id, nullptr))
            links.emplace_back(child, lookUp(folders, exported.parentId));
    }
    contents.foldersMovedUp = FolderNesting::link(links);

    const qsizetype total = qsizetype(data.items.size());
    qsizetype done = 0;
    for (const ExportedItem &exported : data.items) {
        auto item = std::make_unique<Item>(ItemType::fromRawValueOrWebLink(exported.type),
                                           exported.title, parsedUrl(exported.url));
        item->setNote(exported.note);
        item->setArchived(exported.isArchived);
        item->setFavorite(exported.isFavorite);
        item->setSourceDomain(exported.sourceDomain);
        if (Folder *folder = lookUp(folders, exported.folderId))
            item->moveToFolder(folder);
        QSet<const Tag *> linked;
        for (const QString &id : exported.tagIds) {
            if (linked.size() == itemTagLimit)
                break;
            Tag *tag = tags.value(id, nullptr);
            if (tag != nullptr && !linked.contains(tag)) {
                linked.insert(tag);
                item->addTag(tag);
            }
        }
        if (exported.metadata) {
            ItemMetadata metadata;
            metadata.author = exported.metadata->author;
            metadata.description = exported.metadata->description;
            item->setMetadata(metadata);
        }
        if (exported.imageData)
            item->setImageData(exported.imageData);
        if (exported.thumbnailData)
            item->setThumbnailData(exported.thumbnailData);
        contents.items.push_back(std::move(item));
        if (progress && (++done % 2000 == 0 || done == total))
            progress(done, total);
    }
    return contents;
}

ImportResult ExportService::resultOf(const ExportData &data)
{
    return ImportResult{true, int(data.items.size()), int(data.folders.size()),
                        int(data.tags.size())};
}

} // namespace quillory
