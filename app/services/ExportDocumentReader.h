#pragma once

#include "ExportRecords.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <optional>

namespace quillory {

// Reads an export document back into its records, checking every member's type: a missing
// required member or one of the wrong type refuses the whole document. Absent and null
// optional members both read as absent. Thread-safe; the caller runs it off the interface
// thread.
class ExportDocumentReader final
{
public:
    struct Result
    {
        std::optional<ExportData> data;
        QString error; // why the document was refused, when `data` is absent
    };

    static Result read(const QByteArray &document);
    static Result read(const QJsonObject &root);
};

} // namespace quillory
