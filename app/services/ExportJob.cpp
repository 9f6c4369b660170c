#include "ExportJob.h"

#include "BackgroundWork.h"
#include "BuildInfo.h"

#include <Clock.h>
#include <LibraryStore.h>
#include <QElapsedTimer>

namespace quillory {

namespace {

// Time the interface thread spends copying records before it lets other events through.
constexpr qint64 sliceMilliseconds = 8;

} // namespace

ExportJob::ExportJob(LibraryStore &store, ExportService::FileOptions options, QString directory,
                     QObject *parent)
    : QObject(parent), m_store(store), m_options(std::move(options)),
      m_directory(std::move(directory))
{
    m_slices.setInterval(0);
    connect(&m_slices, &QTimer::timeout, this, &ExportJob::copySlice);
}

void ExportJob::start()
{
    if (m_running || !m_startedAt.isNull())
        return;
    m_running = true;
    m_startedAt = QDateTime::currentDateTime();
    // Folders and tags are few: they are copied at once, as they are now.
    std::vector<ExportedFolder> folders;
    for (const Folder *folder : m_store.folders())
        folders.push_back(ExportService::exportedFolder(*folder));
    for (const Tag *tag : m_store.tags())
        m_tags.push_back(ExportService::exportedTag(*tag));
    m_itemIds.reserve(m_store.items().size());
    for (const Item *item : m_store.items())
        m_itemIds.push_back(item->id());
    m_writer =
        std::make_unique<ExportDocumentWriter>(BuildInfo::appVersion(), Clock::nowMSecs(), folders,
                                               ExportService::expectedSize(m_itemIds.size()));
    emit progress(0, qsizetype(m_itemIds.size()));
    m_slices.start();
}

void ExportJob::copySlice()
{
    // A backup always carries the pictures, whatever the choice for a plain export.
    const bool images = m_options.includeImages || m_options.encrypt;
    // With pictures one item can take milliseconds, so the clock is read after each.
    const int batch = images ? 1 : 256;
    QElapsedTimer clock;
    clock.start();
    while (m_next < m_itemIds.size() && clock.elapsed() < sliceMilliseconds) {
        // Records deleted since the export began are simply not exported.
        for (int i = 0; i < batch && m_next < m_itemIds.size(); ++i) {
            if (const Item *item = m_store.item(m_itemIds[m_next++]))
                m_writer->addItem(ExportService::exportedItem(*item, images));
        }
    }
    emit progress(qsizetype(m_next), qsizetype(m_itemIds.size()));
    if (m_next < m_itemIds.size())
        return;
    m_slices.stop();
    m_itemIds = {};
    writeOnWorker();
}

void ExportJob::writeOnWorker()
{
    auto document = std::make_shared<QByteArray>(m_writer->finish(m_tags));
    m_writer.reset();
    m_tags = {};
    BackgroundWork::run<ExportService::FileResult>(
        this,
        [document, options = m_options, directory = m_directory, when = m_startedAt] {
            return ExportService::writeDocument(std::move(*document), options, directory, when);
        },
        [this](ExportService::FileResult result) {
            m_running = false;
            if (result.path)
                emit finished(*result.path);
            else
                emit failed(result.error);
        });
}

} // namespace quillory
