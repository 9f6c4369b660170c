#pragma once

#include "BookmarkFileWriter.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <QUuid>
#include <memory>
#include <vector>

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
    bool isRunning() const { return m_running; }

signals:
    void finished(const QString &path, int bookmarks);
    void failed(const QString &message);

private:
    void copySlice();
    void writeOnWorker();

    LibraryStore &m_store;
    QString m_path;
    bool m_running = false;
    std::shared_ptr<BookmarkFileWriter::LibraryCopy> m_library;
    std::vector<QUuid> m_itemIds; // what is left to copy, from m_next
    size_t m_next = 0;
    QTimer m_slices;
};

} // namespace quillory
