#include <exchange/ExportJob.h>

#include <util/BackgroundWork.h>
#include <util/BuildInfo.h>

#include <model/Clock.h>
#include <model/LibraryStore.h>

#include <QDir>
#include <QTemporaryDir>

namespace quillory {

ExportJob::ExportJob(LibraryStore &store, ExportService::FileOptions options,
                     QString parentDirectory, QObject *parent)
    : QObject(parent), m_store(store), m_options(std::move(options)),
      m_parentDirectory(std::move(parentDirectory)), m_slices(store)
{
}

ExportJob::~ExportJob() = default;

void ExportJob::start()
{
    if (m_running || !m_startedAt.isNull())
        return;
    m_running = true;
    m_startedAt = QDateTime::currentDateTime();
    auto own = std::make_shared<QTemporaryDir>(
        QDir(m_parentDirectory).filePath(QStringLiteral("quillory-export-XXXXXX")));
    if (!own->isValid()) {
        // Told on the next pass, as a failure to write is, not inside start().
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_running = false;
                emit failed(QStringLiteral("No folder for the export could be made in %1. Check "
                                           "that the disk has room and the folder can be "
                                           "written to.")
                                .arg(QDir::toNativeSeparators(m_parentDirectory)));
            },
            Qt::QueuedConnection);
        return;
    }
    m_folder = std::move(own);
    // Folders and tags are few: they are copied at once, as they are now.
    std::vector<ExportedFolder> folders;
    for (const Folder *folder : m_store.folders())
        folders.push_back(ExportService::exportedFolder(*folder));
    for (const Tag *tag : m_store.tags())
        m_tags.push_back(ExportService::exportedTag(*tag));
    const size_t total = m_store.items().size();
    m_writer = std::make_unique<ExportDocumentWriter>(BuildInfo::appVersion(), Clock::nowMSecs(),
                                                      folders, ExportService::expectedSize(total));
    // A backup always carries the pictures, whatever the choice for a plain export.
    const bool images = m_options.includeImages || m_options.encrypt;
    // With pictures one item can take milliseconds, so the clock is read after each.
    // Records deleted since the export began are simply not exported.
    m_slices.start(
        images ? 1 : 256,
        [this, images](const Item &item) {
            m_writer->addItem(ExportService::exportedItem(item, images));
        },
        [this] { writeOnWorker(); });
}

void ExportJob::writeOnWorker()
{
    auto document = std::make_shared<QByteArray>(m_writer->finish(m_tags));
    m_writer.reset();
    m_tags = {};
    BackgroundWork::run<ExportService::FileResult>(
        this,
        // The worker holds the folder, so a sheet closed meanwhile removes it only once the
        // file in it is complete, never while it is being written.
        [document, options = m_options, folder = m_folder, when = m_startedAt] {
            return ExportService::writeDocument(std::move(*document), options, folder->path(),
                                                when);
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
