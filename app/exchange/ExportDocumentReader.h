#pragma once

#include <exchange/ExportRecords.h>

#include <QByteArray>
#include <QString>
#include <optional>

namespace quillory {

// Reads an export document back into its records, checking every member's type: a missing
// required member or one of the wrong type refuses the whole document, with the first
// problem in the file as the reason. Absent and null optional members both read as absent;
// unknown members are skipped. Read straight from the bytes, without a tree of the whole
// document. Thread-safe; the caller runs it off the interface thread.
class ExportDocumentReader final
{
public:
    struct Result
    {
        std::optional<ExportData> data;
        QString error; // why the document was refused, when `data` is absent
    };

    static Result read(const QByteArray &document);
};

} // namespace quillory
