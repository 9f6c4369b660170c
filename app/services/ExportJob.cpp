#include "ExportJob.h"

#include "BackgroundWork.h"
#include "BuildInfo.h"

#include <Clock.h>
#include <LibraryStore.h>

namespace quillory {

ExportJob::ExportJob(LibraryStore &store, ExportService::FileOptions options, QString directory,
                     QObject *parent)
    : QObject(parent), m_store(store), m_options(std::move(options)),
      m_directory(std::move(directory)), m_slices(store)
{
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
    const size_t total = m_store.items().size();
    m_writer = std::make_unique<ExportDocumentWriter>(BuildInfo::appVersion(), Clock::nowMSecs(),
                                                      folders, ExportService::expectedSize(total));
    emit progress(0, qsizetype(total));
    // A backup always carries the pictures, whatever the choice for a plain export.
    const bool images = m_options.includeImages || m_options.encrypt;
    // With pictures one item can take milliseconds, so the clock is read after each.
    // Records deleted since the export began are simply not exported.
    m_slices.start(
        images ? 1 : 256,
        [this, images](const Item &item) {
            m_writer->addItem(ExportService::exportedItem(item, images));
        },
        [this](size_t done, size_t all) { emit progress(qsizetype(done), qsizetype(all)); },
        [this] { writeOnWorker(); });
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
