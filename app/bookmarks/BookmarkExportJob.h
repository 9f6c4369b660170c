#pragma once

#include <bookmarks/BookmarkFileWriter.h>
#include <util/ItemSlices.h>

#include <QObject>
#include <QString>
#include <memory>

namespace quillory {

class LibraryStore;

// One export of the library as a bookmark file. The records are copied on the interface
// thread, a few milliseconds per event-loop pass so that the window stays responsive (an
// item deleted meanwhile is left out), then written and saved on a worker thread; the file
// appears whole or not at all. Interface thread.
class BookmarkExportJob final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BookmarkExportJob)

public:
    BookmarkExportJob(LibraryStore &store, QString path, QObject *parent = nullptr);

    // Once only.
    void start();

signals:
    void finished(const QString &path, int bookmarks);
    void failed(const QString &message);

private:
    void writeOnWorker();

    LibraryStore &m_store;
    QString m_path;
    bool m_running = false;
    std::shared_ptr<BookmarkFileWriter::LibraryCopy> m_library;
    ItemSlices m_slices;
};

} // namespace quillory
