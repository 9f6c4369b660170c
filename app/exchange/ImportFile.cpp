#include <exchange/ImportFile.h>

#include <exchange/JsonCursor.h>

#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace quillory {

namespace {

QString readError(const QString &path, const QString &why)
{
    return QStringLiteral("The file %1 could not be read: %2").arg(QFileInfo(path).fileName(), why);
}

} // namespace

std::optional<QByteArray> ImportFile::read(const QString &path, QString &error)
{
    const QFileInfo info(path);
    if (!info.exists())
        return error = readError(path, QStringLiteral("it does not exist.")), std::nullopt;
    if (!info.isFile())
        return error = readError(path, QStringLiteral("it is not a regular file.")), std::nullopt;
    if (info.size() > maximumSize)
        return error = QStringLiteral("The file is too large to import (more than 1 GiB)."),
               std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return error = readError(path, file.errorString()), std::nullopt;
    // One byte more than the file had, to notice it growing (asking for the limit itself
    // would set aside a whole gigabyte for every import), and room after it for the parser.
    QByteArray bytes(info.size() + 1 + JsonCursor::padding, Qt::Uninitialized);
    const qint64 length = file.read(bytes.data(), info.size() + 1);
    if (length < 0 || file.error() != QFileDevice::NoError)
        return error = readError(path, file.errorString()), std::nullopt;
    std::fill(bytes.begin() + length, bytes.end(), ' ');
    bytes.truncate(length);
    if (bytes.size() > info.size())
        return error = readError(path, QStringLiteral("it changed while it was read.")),
               std::nullopt;
    return bytes;
}

bool ImportFile::isBlank(const QByteArray &bytes)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    return std::all_of(bytes.cbegin(), bytes.cend(), blank);
}

} // namespace quillory
