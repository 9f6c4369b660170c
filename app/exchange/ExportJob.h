#pragma once

#include <exchange/ExportDocumentWriter.h>
#include <exchange/ExportRecords.h>
#include <exchange/ExportService.h>
#include <util/ItemSlices.h>

#include <QDateTime>
#include <QObject>
#include <memory>
#include <vector>

class QTemporaryDir;

namespace quillory {

class LibraryStore;

// One export of the whole library to a file, without freezing the window: the records are
// written into the document a slice at a time between events (a slice also reads the
// pictures of its items, when they go along), then the document is sealed and saved on a
// worker thread, into a folder of the user's own: made for this export under the given
// directory, with mode 0700 and a name nobody can guess, so that another user of a shared
// temporary folder can neither take the file's name first nor read it.
// Records deleted while the copy runs are left out. Interface thread.
class ExportJob final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ExportJob)

public:
    ExportJob(LibraryStore &store, ExportService::FileOptions options, QString parentDirectory,
              QObject *parent = nullptr);
    ~ExportJob() override;

    // Once only.
    void start();
    // The folder the file is written into. It is removed, with the file, once neither a
    // holder of this pointer nor the job's worker needs it any longer.
    std::shared_ptr<const QTemporaryDir> folder() const { return m_folder; }

signals:
    void finished(const QString &path);
    void failed(const QString &message);

private:
    void writeOnWorker();

    LibraryStore &m_store;
    ExportService::FileOptions m_options;
    QString m_parentDirectory;
    std::shared_ptr<const QTemporaryDir> m_folder;
    QDateTime m_startedAt;
    std::unique_ptr<ExportDocumentWriter> m_writer;
    std::vector<ExportedTag> m_tags;
    ItemSlices m_slices;
    bool m_running = false;
};

} // namespace quillory
