#include "BookmarkExportJob.h"

#include "BackgroundWork.h"
#include "BookmarkFileWriter.h"

#include <Item.h>
#include <LibraryStore.h>

#include <QElapsedTimer>
#include <QFileInfo>
#include <QSaveFile>
#include <ReleaseElsewhere.h>

namespace quillory {

namespace {

struct Saved
{
    int bookmarks = 0;
    QString error;
};

// Time the interface thread spends copying records before it lets other events through.
constexpr qint64 sliceMilliseconds = 8;

QString saveError(const QString &path, const QString &why)
{
    return QStringLiteral("The bookmarks could not be saved to %1: %2")
        .arg(QFileInfo(path).fileName(), why);
}

Saved save(const QString &path, const QByteArray &bytes, int bookmarks)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {0, saveError(path, file.errorString())};
    if (file.write(bytes) != bytes.size()) {
        const QString why = file.errorString();
        file.cancelWriting();
        return {0, saveError(path, why)};
    }
    if (!file.commit())
        return {0, saveError(path, file.errorString())};
    return {bookmarks, QString()};
}

} // namespace

BookmarkExportJob::BookmarkExportJob(LibraryStore &store, QString path, QObject *parent)
    : QObject(parent), m_store(store), m_path(std::move(path))
{
    m_slices.setInterval(0);
    connect(&m_slices, &QTimer::timeout, this, &BookmarkExportJob::copySlice);
}

void BookmarkExportJob::start()
{
    if (m_running)
        return;
    m_running = true;
    // Folders are few: they are copied at once, as they are now.
    m_library =
        std::make_shared<BookmarkFileWriter::LibraryCopy>(BookmarkFileWriter::copyFolders(m_store));
    m_itemIds.reserve(m_store.items().size());
    for (const Item *item : m_store.items())
        m_itemIds.push_back(item->id());
    m_library->links.reserve(m_itemIds.size());
    m_slices.start();
}

void BookmarkExportJob::copySlice()
{
    constexpr int batch = 256;
    QElapsedTimer clock;
    clock.start();
    while (m_next < m_itemIds.size() && clock.elapsed() < sliceMilliseconds) {
        for (int i = 0; i < batch && m_next < m_itemIds.size(); ++i) {
            if (const Item *item = m_store.item(m_itemIds[m_next++]))
                BookmarkFileWriter::addLink(*m_library, *item);
        }
    }
    if (m_next < m_itemIds.size())
        return;
    m_slices.stop();
    m_itemIds = {};
    writeOnWorker();
}

void BookmarkExportJob::writeOnWorker()
{
    BackgroundWork::run<Saved>(
        this,
        [path = m_path, library = m_library] {
            const BookmarkTree tree = BookmarkFileWriter::treeOf(*library);
            const QByteArray bytes = BookmarkFileWriter::write(tree);
            return save(path, bytes, int(tree.bookmarks.size()));
        },
        [this](Saved saved) {
            m_running = false;
            // Letting go of the copy of every item is the worker's business, not the
            // window's.
            releaseElsewhere(std::move(m_library));
            if (saved.error.isEmpty())
                emit finished(m_path, saved.bookmarks);
            else
                emit failed(saved.error);
        });
}

} // namespace quillory
