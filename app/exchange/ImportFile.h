#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace quillory {

// Reading a file the user chose to import, whole, on a worker thread.
class ImportFile final
{
public:
    // Larger files are refused before they are read.
    static constexpr qint64 maximumSize = qint64(1) << 30;

    // The whole file, from a regular file only: a FIFO or device would block the worker.
    // Absent, with `error` set to what to tell the user, when it cannot be read whole.
    static std::optional<QByteArray> read(const QString &path, QString &error);
    // Only white space, or nothing at all.
    static bool isBlank(const QByteArray &bytes);
};

} // namespace quillory
