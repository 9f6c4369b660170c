#pragma once

#include "ExportRecords.h"

#include <QByteArray>
#include <QString>
#include <QUuid>

namespace quillory {

// Writes the export document: members of every object in code-point order of their names,
// one member per line and indented, "/" escaped as "\/", UTF-8, absent members left out.
// Written by hand rather than through QJsonDocument, which neither escapes "/" nor is fast
// enough for a large library. Thread-safe.
class ExportDocumentWriter final
{
public:
    static QByteArray write(const ExportData &data);

    // 2025-03-01T09:15:30.250Z
    static QString dateText(qint64 msecsSinceEpoch);
    // 36 characters, upper-case hexadecimal.
    static QString uuidText(const QUuid &id);
};

} // namespace quillory
