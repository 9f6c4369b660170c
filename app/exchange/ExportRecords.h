#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

namespace quillory {

// The plain records of an export document: what leaves the library, decoupled from the
// live records so that the document can be written and read on a worker thread. Dates are
// milliseconds since 1970 in UTC; ids are the 36-character upper-case UUID text.

struct ExportedMetadata
{
    std::optional<QString> author;
    std::optional<QString> description;
    std::optional<QString> platform;
    std::optional<QString> siteName;

    bool isEmpty() const { return !author && !description && !platform && !siteName; }
    bool operator==(const ExportedMetadata &) const = default;
};

struct ExportedItem
{
    QString id;
    QString type;
    QString title;
    std::optional<QString> url;
    std::optional<QString> note;
    std::optional<QString> sourceDomain;
    std::optional<QString> folderId;
    std::vector<QString> tagIds;
    bool isArchived = false;
    bool isFavorite = false;
    qint64 createdAt = 0;
    qint64 modifiedAt = 0;
    std::optional<ExportedMetadata> metadata;
    // Raw bytes; the document carries them as Base64.
    std::optional<QByteArray> imageData;
    std::optional<QByteArray> thumbnailData;

    bool operator==(const ExportedItem &) const = default;
};

struct ExportedFolder
{
    QString id;
    QString name;
    std::optional<QString> iconName;
    QString colorHex;
    std::optional<QString> parentId;
    std::optional<int> sortOrder;
    qint64 createdAt = 0;
    qint64 modifiedAt = 0;

    bool operator==(const ExportedFolder &) const = default;
};

struct ExportedTag
{
    QString id;
    QString name;
    QString colorHex;
    std::optional<int> sortOrder;
    qint64 createdAt = 0;
    qint64 modifiedAt = 0;

    bool operator==(const ExportedTag &) const = default;
};

struct ExportData
{
    static inline const QString currentVersion = QStringLiteral("1.0");

    QString version = currentVersion;
    qint64 exportDate = 0;
    QString appVersion;
    std::vector<ExportedItem> items;
    std::vector<ExportedFolder> folders;
    std::vector<ExportedTag> tags;

    bool operator==(const ExportData &) const = default;
};

} // namespace quillory
