#pragma once

#include <bookmarks/BookmarkImportResult.h>
#include <exchange/ImportJob.h>

#include <QObject>
#include <QString>

namespace quillory {

class LibraryStore;

// One import of a browser's bookmark file. The file is read, parsed and turned into
// records on a worker thread and written to the store file there in one transaction; only
// then do the records join the library, in one step. So the window never waits on the
// file, and a failure anywhere leaves the library as it was. Interface thread.
class BookmarkImportJob final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BookmarkImportJob)

public:
    BookmarkImportJob(LibraryStore &store, QString path, QObject *parent = nullptr);

    // Once only.
    void start();

signals:
    void progress(quillory::ImportJob::Phase phase, qsizetype done, qsizetype total);
    void finished(const quillory::BookmarkImportResult &result);
    void failed(const QString &message);

private:
    struct Parsed;
    void addToStore(Parsed parsed);

    LibraryStore &m_store;
    QString m_path;
    bool m_running = false;
};

} // namespace quillory
