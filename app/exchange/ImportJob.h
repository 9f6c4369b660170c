#pragma once

#include <exchange/ImportResult.h>

#include <QObject>
#include <QString>
#include <optional>

namespace quillory {

class LibraryStore;

// One import of an export document or an encrypted backup into the library. The file is
// read, opened, parsed and turned into records on a worker thread; the records are written
// to the store file there too, in one transaction, and only then join the library, in one
// step. So the window never waits on the file, and a failure anywhere leaves the library
// as it was. Interface thread.
class ImportJob final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ImportJob)

public:
    enum class Phase { Reading, Adding, Saving };

    ImportJob(LibraryStore &store, QString path, QObject *parent = nullptr);

    // Starts (or, after passphraseNeeded, starts again with the backup's passphrase).
    void start(const std::optional<QString> &passphrase = std::nullopt);

signals:
    void progress(quillory::ImportJob::Phase phase, qsizetype done, qsizetype total);
    // The file is an encrypted backup: call start() again with its passphrase.
    void passphraseNeeded();
    void finished(const quillory::ImportResult &result);
    void failed(const QString &message);

private:
    struct Parsed;
    void addToStore(Parsed parsed);

    LibraryStore &m_store;
    QString m_path;
    bool m_running = false;
};

} // namespace quillory
