#include <inbox/PendingItemRecord.h>

#include <QJsonDocument>
#include <QJsonObject>

namespace quillory {

namespace {

std::optional<QString> textMember(const QJsonObject &object, const char *key)
{
    const QJsonValue value = object.value(QLatin1String(key));
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

} // namespace

QByteArray PendingItemRecord::toJson() const
{
    QJsonObject object{
        {QStringLiteral("type"), type},
        {QStringLiteral("title"), title},
        {QStringLiteral("createdAt"), createdAt.toUTC().toString(Qt::ISODate)},
    };
    const std::pair<const char *, const std::optional<QString> *> optional[] = {
        {"url", &url}, {"imageFileName", &imageFileName}, {"filePath", &filePath}, {"note", &note}};
    for (const auto &[key, value] : optional) {
        if (*value)
            object.insert(QLatin1String(key), **value);
    }
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<PendingItemRecord> PendingItemRecord::fromJson(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    const auto type = textMember(object, "type");
    const auto title = textMember(object, "title");
    if (!type || !title)
        return std::nullopt;
    PendingItemRecord record;
    record.type = *type;
    record.title = *title;
    if (const auto created = textMember(object, "createdAt"))
        record.createdAt = QDateTime::fromString(*created, Qt::ISODate);
    record.url = textMember(object, "url");
    record.imageFileName = textMember(object, "imageFileName");
    record.filePath = textMember(object, "filePath");
    record.filePathUnreadable = !record.filePath && object.contains(QLatin1String("filePath"));
    record.note = textMember(object, "note");
    return record;
}

} // namespace quillory
