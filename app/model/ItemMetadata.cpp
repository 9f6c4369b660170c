#include <model/ItemMetadata.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>

namespace quillory {

namespace {

const QString kAuthor = QStringLiteral("author");
const QString kPublishDate = QStringLiteral("publishDate");
const QString kDescription = QStringLiteral("description");
const QString kDuration = QStringLiteral("duration");
const QString kPlatform = QStringLiteral("platform");
const QString kOgImageURL = QStringLiteral("ogImageURL");
const QString kSiteName = QStringLiteral("siteName");
const QString kArticleType = QStringLiteral("articleType");
const QString kKeywords = QStringLiteral("keywords");
const QString kVideoId = QStringLiteral("videoId");
const QString kCustomFields = QStringLiteral("customFields");

void putString(QJsonObject &o, const QString &key, const std::optional<QString> &v)
{
    if (v)
        o.insert(key, *v);
}

// Reads one optional field the way a strict decoder does: a missing key or null gives
// absent, a value of the wrong JSON type makes the whole record undecodable.
class FieldReader
{
public:
    explicit FieldReader(const QJsonObject &object) : m_object(object) {}

    bool failed() const { return m_failed; }

    std::optional<QString> string(const QString &key)
    {
        const QJsonValue v = value(key);
        if (v.isString())
            return v.toString();
        expectAbsent(v);
        return std::nullopt;
    }

    std::optional<double> number(const QString &key)
    {
        const QJsonValue v = value(key);
        if (v.isDouble())
            return v.toDouble();
        expectAbsent(v);
        return std::nullopt;
    }

    std::optional<QStringList> strings(const QString &key)
    {
        const QJsonValue v = value(key);
        if (!v.isArray()) {
            expectAbsent(v);
            return std::nullopt;
        }
        QStringList list;
        for (const QJsonValue &element : v.toArray()) {
            if (!element.isString())
                m_failed = true;
            list.append(element.toString());
        }
        return list;
    }

    std::optional<QMap<QString, QString>> stringMap(const QString &key)
    {
        const QJsonValue v = value(key);
        if (!v.isObject()) {
            expectAbsent(v);
            return std::nullopt;
        }
        QMap<QString, QString> map;
        const QJsonObject o = v.toObject();
        for (auto it = o.begin(); it != o.end(); ++it) {
            if (!it.value().isString())
                m_failed = true;
            map.insert(it.key(), it.value().toString());
        }
        return map;
    }

private:
    QJsonValue value(const QString &key) const { return m_object.value(key); }
    void expectAbsent(const QJsonValue &v)
    {
        if (!v.isUndefined() && !v.isNull())
            m_failed = true;
    }

    const QJsonObject &m_object;
    bool m_failed = false;
};

} // namespace

QDateTime ItemMetadata::referenceDate()
{
    return QDateTime(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);
}

QByteArray ItemMetadata::toJson() const
{
    QJsonObject o;
    putString(o, kAuthor, author);
    if (publishDate)
        o.insert(kPublishDate, double(referenceDate().msecsTo(*publishDate)) / 1000.0);
    putString(o, kDescription, description);
    if (duration && std::isfinite(*duration))
        o.insert(kDuration, *duration);
    putString(o, kPlatform, platform);
    putString(o, kOgImageURL, ogImageURL);
    putString(o, kSiteName, siteName);
    putString(o, kArticleType, articleType);
    if (keywords)
        o.insert(kKeywords, QJsonArray::fromStringList(*keywords));
    putString(o, kVideoId, videoId);
    if (customFields) {
        QJsonObject fields;
        for (auto it = customFields->cbegin(); it != customFields->cend(); ++it)
            fields.insert(it.key(), it.value());
        o.insert(kCustomFields, fields);
    }
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

std::optional<ItemMetadata> ItemMetadata::fromJson(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    const QJsonObject object = doc.object();
    FieldReader read(object);
    ItemMetadata m;
    m.author = read.string(kAuthor);
    if (const auto seconds = read.number(kPublishDate)) {
        // Beyond about +-290 million years the millisecond count no longer fits.
        if (!std::isfinite(*seconds) || std::fabs(*seconds) > 9.0e12)
            return std::nullopt;
        m.publishDate = referenceDate().addMSecs(qint64(std::llround(*seconds * 1000.0)));
    }
    m.description = read.string(kDescription);
    m.duration = read.number(kDuration);
    m.platform = read.string(kPlatform);
    m.ogImageURL = read.string(kOgImageURL);
    m.siteName = read.string(kSiteName);
    m.articleType = read.string(kArticleType);
    m.keywords = read.strings(kKeywords);
    m.videoId = read.string(kVideoId);
    m.customFields = read.stringMap(kCustomFields);
    if (read.failed())
        return std::nullopt;
    return m;
}

} // namespace quillory
