#include <bookmarks/BookmarkImportJob.h>

#include <bookmarks/BookmarkFileReader.h>
#include <bookmarks/BookmarkImporter.h>
#include <exchange/ImportFile.h>
#include <util/BackgroundWork.h>

#include <QPointer>
#include <model/LibraryStore.h>
#include <model/ReleaseElsewhere.h>

namespace quillory {

struct BookmarkImportJob::Parsed
{
    std::shared_ptr<StoreFile::Contents> contents;
    BookmarkImportResult result;
    QString error;
};

BookmarkImportJob::BookmarkImportJob(LibraryStore &store, QString path, QObject *parent)
    : QObject(parent), m_store(store), m_path(std::move(path))
{
}

void BookmarkImportJob::start()
{
    if (m_running)
        return;
    m_running = true;
    emit progress(ImportJob::Phase::Reading, 0, 0);
    QPointer<BookmarkImportJob> self(this);
    const auto report = [self](qsizetype done, qsizetype total) {
        QMetaObject::invokeMethod(
            self.data(),
            [self, done, total] {
                if (self)
                    emit self->progress(ImportJob::Phase::Adding, done, total);
            },
            Qt::QueuedConnection);
    };
    BackgroundWork::run<Parsed>(
        this,
        [path = m_path, library = BookmarkImporter::libraryOf(m_store), report] {
            Parsed parsed;
            std::optional<QByteArray> bytes = ImportFile::read(path, parsed.error);
            if (!bytes)
                return parsed;
            BookmarkFileReader::Result read = BookmarkFileReader::read(*bytes);
            bytes.reset();
            if (!read.tree) {
                parsed.error = read.error;
                return parsed;
            }
            BookmarkImporter::Records records =
                BookmarkImporter::records(*read.tree, library, report);
            releaseElsewhere(std::move(*read.tree));
            parsed.result = std::move(records.result);
            parsed.contents = std::make_shared<StoreFile::Contents>(std::move(records.contents));
            return parsed;
        },
        [this](Parsed parsed) { addToStore(std::move(parsed)); });
}

void BookmarkImportJob::addToStore(Parsed parsed)
{
    if (!parsed.contents) {
        m_running = false;
        emit failed(parsed.error);
        return;
    }
    emit progress(ImportJob::Phase::Saving, 0, 0);
    m_store.insertAll(std::move(*parsed.contents), this,
                      [this, result = std::move(parsed.result)](
                          const std::optional<StoreFailure> &failure) mutable {
                          m_running = false;
                          if (failure)
                              emit failed(failure->message);
                          else
                              emit finished(result);
                          // A hundred thousand addresses allocated on the worker are not for this
                          // thread to free.
                          releaseElsewhere(std::move(result));
                      });
}

} // namespace quillory
