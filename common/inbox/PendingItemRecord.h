#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <optional>

namespace quillory {

// One shared item waiting in the inbox: a small JSON object that Dropslip writes and
// Quillory reads (README.md beside this file has the format). Reading is strict about what
// the two required members are and lenient about everything else, as a record may come from
// any program that can write the folder.
struct PendingItemRecord
{
    QString type; // an item kind's raw value, e.g. "web_link"
    QString title;
    QDateTime createdAt;
    std::optional<QString> url;
    std::optional<QString> imageFileName; // a bare name in the inbox
    std::optional<QString> filePath;      // "Imported/" and a bare name
    // "filePath" was there but was not text: the record names a file it cannot be read from.
    bool filePathUnreadable = false;
    std::optional<QString> note;

    // Compact JSON in UTF-8, createdAt in whole seconds UTC ("2026-01-31T09:05:00Z").
    QByteArray toJson() const;
    // Absent unless the bytes are a JSON object whose "type" and "title" are strings; other
    // members of the wrong type are treated as missing.
    static std::optional<PendingItemRecord> fromJson(const QByteArray &json);

    // The largest record file read; anything bigger is not a record.
    static constexpr qint64 sizeLimit = 1024 * 1024;
};

} // namespace quillory
