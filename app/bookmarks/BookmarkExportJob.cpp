#include <bookmarks/BookmarkExportJob.h>

#include <bookmarks/BookmarkFileWriter.h>
#include <util/BackgroundWork.h>

#include <model/LibraryStore.h>

#include <QFileInfo>
#include <QSaveFile>
#include <model/ReleaseElsewhere.h>

namespace quillory {

namespace {

struct Saved
{
    int bookmarks = 0;
    QString error;
};

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
    : QObject(parent), m_store(store), m_path(std::move(path)), m_slices(store)
{
}

void BookmarkExportJob::start()
{
    if (m_running)
        return;
    m_running = true;
    // Folders are few: they are copied at once, as they are now.
    m_library =
        std::make_shared<BookmarkFileWriter::LibraryCopy>(BookmarkFileWriter::copyFolders(m_store));
    m_library->links.reserve(m_store.items().size());
    m_slices.start(
        256, [this](const Item &item) { BookmarkFileWriter::addLink(*m_library, item); },
        [this] { writeOnWorker(); });
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
