#include <views/widgets/TagDragItem.h>

#include <model/Item.h>
#include <model/LibraryStore.h>
#include <model/Tag.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMimeData>

namespace quillory {

namespace {

const QString tagIdKey = QStringLiteral("tagId");

bool isHexDigit(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F');
}

// Only the plain 8-4-4-4-12 form. QUuid alone also takes braces, and reads failures and
// the all-zero id alike as null.
std::optional<QUuid> parseUuid(const QString &text)
{
    if (text.size() != 36)
        return std::nullopt;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? text[i] != QLatin1Char('-') : !isHexDigit(text[i]))
            return std::nullopt;
    }
    return QUuid::fromString(text);
}

std::optional<TagDragItem> fromValue(const QJsonValue &value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonValue id = value.toObject().value(tagIdKey);
    if (!id.isString())
        return std::nullopt;
    const std::optional<QUuid> uuid = parseUuid(id.toString());
    if (!uuid)
        return std::nullopt;
    return TagDragItem{*uuid};
}

QJsonObject toObject(const TagDragItem &item)
{
    return QJsonObject{{tagIdKey, item.tagId.toString(QUuid::WithoutBraces).toUpper()}};
}

} // namespace

QByteArray TagDragItem::toJson() const
{
    return QJsonDocument(toObject(*this)).toJson(QJsonDocument::Compact);
}

std::optional<TagDragItem> TagDragItem::fromJson(const QByteArray &json)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return fromValue(document.object());
}

QMimeData *TagDragItem::toMimeData() const
{
    auto *mime = new QMimeData;
    mime->setData(mimeType, toJson());
    return mime;
}

QMimeData *TagDragItem::toMimeData(const QList<TagDragItem> &items)
{
    if (items.size() == 1)
        return items.first().toMimeData();
    QJsonArray array;
    for (const TagDragItem &item : items)
        array.append(toObject(item));
    auto *mime = new QMimeData;
    mime->setData(mimeType, QJsonDocument(array).toJson(QJsonDocument::Compact));
    return mime;
}

QList<TagDragItem> TagDragItem::fromMimeData(const QMimeData &mime)
{
    if (!mime.hasFormat(mimeType))
        return {};
    const QByteArray data = mime.data(mimeType);
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError)
        return {};
    QList<TagDragItem> items;
    if (document.isObject()) {
        if (auto item = fromValue(document.object()))
            items.append(*item);
    } else if (document.isArray()) {
        for (const QJsonValue &value : document.array()) {
            if (auto item = fromValue(value))
                items.append(*item);
        }
    }
    return items;
}

bool TagDragItem::addTo(Item &item, LibraryStore &store, const QMimeData &mime)
{
    const QList<TagDragItem> payloads = fromMimeData(mime);
    if (payloads.isEmpty())
        return false;
    for (const TagDragItem &payload : payloads) {
        if (Tag *tag = store.tag(payload.tagId))
            item.addTag(tag);
    }
    store.save();
    return true;
}

} // namespace quillory
