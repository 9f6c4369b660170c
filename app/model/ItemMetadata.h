#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>

namespace quillory {

// Page facts kept inside an item as a JSON object. Absent fields are left out of the JSON;
// "publishDate" is a number of seconds since 2001-01-01T00:00:00Z.
struct ItemMetadata
{
    std::optional<QString> author;
    std::optional<QDateTime> publishDate;
    std::optional<QString> description;
    std::optional<double> duration;
    std::optional<QString> platform;
    std::optional<QString> ogImageURL;
    std::optional<QString> siteName;
    std::optional<QString> articleType;
    std::optional<QStringList> keywords;
    std::optional<QString> videoId;
    std::optional<QMap<QString, QString>> customFields;

    bool operator==(const ItemMetadata &) const = default;

    QByteArray toJson() const;
    // Absent for bytes that are not a JSON object; fields of the wrong JSON type read as absent.
    static std::optional<ItemMetadata> fromJson(const QByteArray &json);

    static QDateTime referenceDate(); // 2001-01-01T00:00:00Z
};

} // namespace quillory
