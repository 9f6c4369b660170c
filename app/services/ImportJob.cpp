#include "ImportJob.h"

#include "BackgroundWork.h"
#include "EncryptedBackup.h"
#include "ExportDocumentReader.h"
#include "ExportService.h"

#include <LibraryStore.h>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QPointer>
#include <ReleaseElsewhere.h>
#include <algorithm>

namespace quillory {

struct ImportJob::Parsed
{
    std::shared_ptr<StoreFile::Contents> contents;
    ImportResult result;
    bool needsPassphrase = false;
    QString error;
};

namespace {

QString readError(const QString &path, const QString &why)
{
    return QStringLiteral("The file %1 could not be read: %2").arg(QFileInfo(path).fileName(), why);
}

// The whole file, from a regular file only: a FIFO or device would block the worker.
std::optional<QByteArray> readFile(const QString &path, QString &error)
{
    const QFileInfo info(path);
    if (!info.exists())
        return error = readError(path, QStringLiteral("it does not exist.")), std::nullopt;
    if (!info.isFile())
        return error = readError(path, QStringLiteral("it is not a regular file.")), std::nullopt;
    if (info.size() > ImportJob::maximumFileSize)
        return error = QStringLiteral("The file is too large to import (more than 1 GiB)."),
               std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return error = readError(path, file.errorString()), std::nullopt;
    // One byte more than the file had, to notice it growing; asking for the limit itself
    // would set aside a whole gigabyte for every import.
    QByteArray bytes = file.read(info.size() + 1);
    if (file.error() != QFileDevice::NoError)
        return error = readError(path, file.errorString()), std::nullopt;
    if (bytes.size() > info.size())
        return error = readError(path, QStringLiteral("it changed while it was read.")),
               std::nullopt;
    return bytes;
}

bool isBlank(const QByteArray &bytes)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    return std::all_of(bytes.cbegin(), bytes.cend(), blank);
}

// The envelope of a backup, when `bytes` are one: a small object around the sealed document.
std::optional<QJsonObject> backupEnvelope(const QByteArray &bytes)
{
    const QJsonDocument json = QJsonDocument::fromJson(bytes);
    if (!json.isObject() || !EncryptedBackup::isEnvelope(json.object()))
        return std::nullopt;
    return json.object();
}

} // namespace

ImportJob::ImportJob(LibraryStore &store, QString path, QObject *parent)
    : QObject(parent), m_store(store), m_path(std::move(path))
{
}

void ImportJob::start(const std::optional<QString> &passphrase)
{
    if (m_running)
        return;
    m_running = true;
    emit progress(Phase::Reading, 0, 0);
    QPointer<ImportJob> self(this);
    const auto report = [self](qsizetype done, qsizetype total) {
        QMetaObject::invokeMethod(
            self.data(),
            [self, done, total] {
                if (self)
                    emit self->progress(Phase::Adding, done, total);
            },
            Qt::QueuedConnection);
    };
    BackgroundWork::run<Parsed>(
        this,
        [path = m_path, passphrase, report] {
            Parsed parsed;
            auto bytes = readFile(path, parsed.error);
            if (!bytes)
                return parsed;
            if (isBlank(*bytes)) {
                parsed.error = QStringLiteral("Invalid file format: the file is empty.");
                return parsed;
            }
            auto read = ExportDocumentReader::read(*bytes);
            if (!read.data) {
                auto envelope = backupEnvelope(*bytes);
                if (!envelope) {
                    parsed.error = read.error;
                    return parsed;
                }
                bytes.reset();
                if (!passphrase) {
                    parsed.needsPassphrase = true;
                    return parsed;
                }
                auto opened = EncryptedBackup::open(*envelope, *passphrase);
                if (auto *failure = std::get_if<ImportError>(&opened)) {
                    parsed.error = failure->errorDescription();
                    return parsed;
                }
                envelope.reset();
                read = ExportDocumentReader::read(std::get<QByteArray>(opened));
                if (!read.data) {
                    parsed.error = read.error;
                    return parsed;
                }
            }
            bytes.reset();
            parsed.result = ExportService::resultOf(*read.data);
            parsed.contents = std::make_shared<StoreFile::Contents>(
                ExportService::importRecords(*read.data, report));
            releaseElsewhere(std::move(*read.data));
            return parsed;
        },
        [this](Parsed parsed) { addToStore(std::move(parsed)); });
}

void ImportJob::addToStore(Parsed parsed)
{
    if (!parsed.contents) {
        m_running = false;
        if (parsed.needsPassphrase)
            emit passphraseNeeded();
        else
            emit failed(parsed.error);
        return;
    }
    emit progress(Phase::Saving, 0, 0);
    m_store.insertAll(std::move(*parsed.contents), this,
                      [this, result = parsed.result](const std::optional<StoreFailure> &failure) {
                          m_running = false;
                          if (failure)
                              emit failed(failure->message);
                          else
                              emit finished(result);
                      });
}

} // namespace quillory
