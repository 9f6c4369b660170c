#pragma once

#include <exchange/ExportRecords.h>
#include <exchange/ImportResult.h>

#include <QByteArray>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <functional>
#include <model/StoreFile.h>
#include <optional>
#include <vector>

namespace quillory {

class Folder;
class Item;
class Tag;

// Export and import of the whole library: records to the export document and back, the
// encrypted backup around it, and the files. Building records from the document and
// writing files are thread-safe; reading live records belongs to the interface thread.
class ExportService final
{
public:
    struct FileOptions
    {
        bool includeImages = false;
        bool encrypt = false;
        QString passphrase;
    };
    struct FileResult
    {
        std::optional<QString> path;
        QString error; // the description shown to the user, when `path` is absent
    };
    using Progress = std::function<void(qsizetype done, qsizetype total)>;

    // The most tags an imported item is given, the first its document lists; the rest are
    // left out. It bounds the import of a hostile document, since an item checks each tag
    // it is given against every tag it already has.
    static constexpr qsizetype itemTagLimit = 1000;

    // The export document of these records, in the order given. Interface thread.
    static QByteArray exportDocument(const std::vector<Item *> &items,
                                     const std::vector<Folder *> &folders,
                                     const std::vector<Tag *> &tags, bool includeImages);

    // The plain record of each live one. Interface thread.
    static ExportedItem exportedItem(const Item &item, bool includeImages);
    static ExportedFolder exportedFolder(const Folder &folder);
    static ExportedTag exportedTag(const Tag &tag);

    // "quillory_export_" or "quillory_backup_" and the date part: the short date and time
    // of `when` in `locale`, with "/", ":" and " " replaced by "-", "-" and "_".
    static QString fileName(bool encrypted, const QDateTime &when,
                            const QLocale &locale = QLocale());

    // Writes `document`, or with `encrypt` the backup around it, into `directory`, replacing
    // a file of the same name. The file appears whole or not at all.
    static FileResult writeDocument(QByteArray document, const FileOptions &options,
                                    const QString &directory, const QDateTime &when);
    // A guess of the document's length for this many items without pictures.
    static qsizetype expectedSize(size_t itemCount);

    // New records for everything in the document, linked among themselves as the ids in
    // the file say and in no store yet: fresh ids and times, unknown ids skipped.
    static StoreFile::Contents importRecords(const ExportData &data, const Progress &progress = {});
    static ImportResult resultOf(const ExportData &data);
};

} // namespace quillory
