#include <exchange/ImportJob.h>

#include <exchange/EncryptedBackup.h>
#include <exchange/ExportDocumentReader.h>
#include <exchange/ExportService.h>
#include <exchange/ImportFile.h>
#include <exchange/JsonCursor.h>
#include <util/BackgroundWork.h>

#include <QPointer>
#include <algorithm>
#include <model/LibraryStore.h>
#include <model/ReleaseElsewhere.h>

namespace quillory {

struct ImportJob::Parsed
{
    std::shared_ptr<StoreFile::Contents> contents;
    ImportResult result;
    bool needsPassphrase = false;
    QString error;
};

namespace {

// A browser's bookmark file, picked here by mistake, gets a way to where it belongs.
bool isBookmarkFile(const QByteArray &bytes)
{
    return bytes.first(std::min<qsizetype>(bytes.size(), 1024))
        .contains("<!DOCTYPE NETSCAPE-Bookmark-file");
}

QString bookmarkFileError()
{
    return QStringLiteral("Invalid file format: this is a browser's bookmark file. Import it "
                          "with Import Bookmarks... instead.");
}

} // namespace

ImportJob::ImportJob(LibraryStore &store, QString path, QObject *parent)
    : QObject(parent), m_store(store), m_path(std::move(path))
{
}

void ImportJob::start(const std::optional<QString> &passphrase)
{
    if (m_running)
        return;
    m_running = true;
    emit progress(Phase::Reading, 0, 0);
    QPointer<ImportJob> self(this);
    const auto report = [self](qsizetype done, qsizetype total) {
        QMetaObject::invokeMethod(
            self.data(),
            [self, done, total] {
                if (self)
                    emit self->progress(Phase::Adding, done, total);
            },
            Qt::QueuedConnection);
    };
    BackgroundWork::run<Parsed>(
        this,
        [path = m_path, passphrase, report] {
            Parsed parsed;
            auto bytes = ImportFile::read(path, parsed.error);
            if (!bytes)
                return parsed;
            if (ImportFile::isBlank(*bytes)) {
                parsed.error = QStringLiteral("Invalid file format: the file is empty.");
                return parsed;
            }
            auto read = ExportDocumentReader::read(*bytes);
            if (!read.data) {
                auto envelope = EncryptedBackup::envelopeOf(*bytes);
                if (!envelope) {
                    parsed.error = isBookmarkFile(*bytes) ? bookmarkFileError() : read.error;
                    return parsed;
                }
                bytes.reset();
                if (!passphrase) {
                    parsed.needsPassphrase = true;
                    return parsed;
                }
                auto opened = EncryptedBackup::open(*envelope, *passphrase);
                if (auto *failure = std::get_if<ImportError>(&opened)) {
                    parsed.error = failure->errorDescription();
                    return parsed;
                }
                envelope.reset();
                JsonCursor::makeRoom(std::get<QByteArray>(opened));
                read = ExportDocumentReader::read(std::get<QByteArray>(opened));
                if (!read.data) {
                    parsed.error = read.error;
                    return parsed;
                }
            }
            bytes.reset();
            parsed.result = ExportService::resultOf(*read.data);
            parsed.contents = std::make_shared<StoreFile::Contents>(
                ExportService::importRecords(*read.data, report));
            parsed.result.foldersMovedUp = int(parsed.contents->foldersMovedUp.size());
            releaseElsewhere(std::move(*read.data));
            return parsed;
        },
        [this](Parsed parsed) { addToStore(std::move(parsed)); });
}

void ImportJob::addToStore(Parsed parsed)
{
    if (!parsed.contents) {
        m_running = false;
        if (parsed.needsPassphrase)
            emit passphraseNeeded();
        else
            emit failed(parsed.error);
        return;
    }
    emit progress(Phase::Saving, 0, 0);
    m_store.insertAll(std::move(*parsed.contents), this,
                      [this, result = parsed.result](const std::optional<StoreFailure> &failure) {
                          m_running = false;
                          if (failure)
                              emit failed(failure->message);
                          else
                              emit finished(result);
                      });
}

} // namespace quillory
