#pragma once

#include <exchange/ExportRecords.h>

#include <QByteArray>
#include <QString>
#include <QUuid>
#include <memory>
#include <vector>

namespace quillory {

// Writes the export document: members of every object in code-point order of their names,
// one member per line and indented, "/" escaped as "\/", UTF-8, absent members left out.
// Written by hand rather than through QJsonDocument, which neither escapes "/" nor is fast
// enough for a large library. Thread-safe.
class ExportDocumentWriter final
{
public:
    // The whole document of `data` at once.
    static QByteArray write(const ExportData &data);

    // The document a piece at a time, so the records need not all be copied first: what
    // comes before the items, then each item, then the rest. `expectedSize` is a guess of
    // the document's length, to spare the buffer growing.
    ExportDocumentWriter(const QString &appVersion, qint64 exportDate,
                         const std::vector<ExportedFolder> &folders, qsizetype expectedSize);
    ~ExportDocumentWriter();
    Q_DISABLE_COPY_MOVE(ExportDocumentWriter)
    void addItem(const ExportedItem &item);
    // Once: the finished document.
    QByteArray finish(const std::vector<ExportedTag> &tags,
                      const QString &version = ExportData::currentVersion);

    // 2025-03-01T09:15:30.250Z
    static QString dateText(qint64 msecsSinceEpoch);
    // 36 characters, upper-case hexadecimal.
    static QString uuidText(const QUuid &id);

    class JsonText;

private:
    std::unique_ptr<JsonText> m_json;
};

} // namespace quillory
