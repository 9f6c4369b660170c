#include "ExportDocumentReader.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QJsonValue>
#include <iterator>
#include <system_error>
#include <thread>

namespace quillory {

namespace {

// Internet date-time text, "2025-03-01T09:15:30.250Z" or with an offset instead of "Z".
// Parsed by hand: QDateTime::fromString would cost more than the rest of an item's import.
std::optional<qint64> parseDate(const QString &text)
{
    const auto digits = [&text](qsizetype at, qsizetype count) -> int {
        int value = 0;
        for (qsizetype i = at; i < at + count; ++i) {
            if (i >= text.size() || !text[i].isDigit() || text[i].unicode() > '9')
                return -1;
            value = value * 10 + (text[i].unicode() - '0');
        }
        return value;
    };
    const auto is = [&text](qsizetype at, char c) {
        return at < text.size() && text[at] == QLatin1Char(c);
    };
    if (text.size() < 20 || !is(4, '-') || !is(7, '-') || !(is(10, 'T') || is(10, 't')) ||
        !is(13, ':') || !is(16, ':'))
        return std::nullopt;
    const QDate date(digits(0, 4), digits(5, 2), digits(8, 2));
    const QTime time(digits(11, 2), digits(14, 2), digits(17, 2));
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    qsizetype at = 19;
    int msecs = 0;
    if (is(at, '.')) {
        const qsizetype from = ++at;
        while (at < text.size() && text[at].isDigit() && text[at].unicode() <= '9')
            ++at;
        if (at == from)
            return std::nullopt;
        msecs = digits(from, std::min<qsizetype>(3, at - from));
        for (qsizetype n = at - from; n < 3; ++n)
            msecs *= 10;
    }
    int offsetSeconds = 0;
    if (is(at, 'Z') || is(at, 'z')) {
        ++at;
    } else if ((is(at, '+') || is(at, '-')) && is(at + 3, ':')) {
        const int hours = digits(at + 1, 2);
        const int minutes = digits(at + 4, 2);
        if (hours < 0 || minutes < 0 || hours > 23 || minutes > 59)
            return std::nullopt;
        offsetSeconds = (hours * 3600 + minutes * 60) * (is(at, '-') ? -1 : 1);
        at += 6;
    } else {
        return std::nullopt;
    }
    if (at != text.size())
        return std::nullopt;
    return QDateTime(date, time, Qt::UTC).toMSecsSinceEpoch() + msecs -
           qint64(offsetSeconds) * 1000;
}

// Where a record sits, for messages: "of item 3", or the document itself. Only spelled out
// when something is wrong, since most records are fine.
struct Position
{
    const char *what = nullptr; // none: the document
    qsizetype index = 0;

    QString text() const
    {
        if (what == nullptr)
            return QStringLiteral("of the export");
        return QStringLiteral("of %1 %2").arg(QLatin1StringView(what)).arg(index + 1);
    }
};

// Reads one object's members, remembering the first problem; later reads after a problem
// return defaults, so a record reads straight through and is refused at its end.
class MemberReader final
{
public:
    MemberReader(const QJsonObject &object, Position where, QString &problem)
        : m_object(object), m_where(where), m_problem(problem)
    {
    }

    QString string(const char *name)
    {
        const QJsonValue v = m_object.value(QLatin1StringView(name));
        if (!v.isString())
            return refuse(name, v.isUndefined() ? "is missing" : "is not a text"), QString();
        return v.toString();
    }
    std::optional<QString> optionalString(const char *name)
    {
        const QJsonValue v = m_object.value(QLatin1StringView(name));
        if (v.isUndefined() || v.isNull())
            return std::nullopt;
        if (!v.isString())
            return refuse(name, "is not a text"), std::nullopt;
        return v.toString();
    }
    std::optional<bool> optionalBool(const char *name)
    {
        const QJsonValue v = m_object.value(QLatin1StringView(name));
        if (v.isUndefined() || v.isNull())
            return std::nullopt;
        if (!v.isBool())
            return refuse(name, "is not true or false"), std::nullopt;
        return v.toBool();
    }
    std::optional<int> optionalInt(const char *name)
    {
        const QJsonValue v = m_object.value(QLatin1StringView(name));
        if (v.isUndefined() || v.isNull())
            return std::nullopt;
        const double d = v.toDouble();
        if (!v.isDouble() || d != double(qint64(d)) || d < INT_MIN || d > INT_MAX)
            return refuse(name, "is not a whole number"), std::nullopt;
        return int(d);
    }
    // Only checked to be a date-time text: import gives records the time of the import.
    qint64 date(const char *name)
    {
        const QString text = string(name);
        if (!m_problem.isEmpty())
            return 0;
        const auto when = parseDate(text);
        if (!when)
            return refuse(name, "is not a date"), 0;
        return *when;
    }
    std::optional<QJsonArray> optionalArray(const char *name)
    {
        const QJsonValue v = m_object.value(QLatin1StringView(name));
        if (v.isUndefined() || v.isNull())
            return std::nullopt;
        if (!v.isArray())
            return refuse(name, "is not a list"), std::nullopt;
        return v.toArray();
    }
    QJsonArray array(const char *name)
    {
        const QJsonValue v = m_object.value(QLatin1StringView(name));
        if (!v.isArray())
            return refuse(name, v.isUndefined() ? "is missing" : "is not a list"), QJsonArray();
        return v.toArray();
    }
    std::optional<QJsonObject> optionalObject(const char *name)
    {
        const QJsonValue v = m_object.value(QLatin1StringView(name));
        if (v.isUndefined() || v.isNull())
            return std::nullopt;
        if (!v.isObject())
            return refuse(name, "is not an object"), std::nullopt;
        return v.toObject();
    }
    void refuse(const char *name, const char *why)
    {
        if (m_problem.isEmpty())
            m_problem = QStringLiteral("Invalid file format: \"%1\" %2 %3.")
                            .arg(QLatin1StringView(name), m_where.text(), QLatin1StringView(why));
    }
    bool failed() const { return !m_problem.isEmpty(); }

private:
    QJsonObject m_object;
    Position m_where;
    QString &m_problem;
};

std::optional<QJsonObject> elementObject(const QJsonArray &array, qsizetype index, const char *what,
                                         QString &problem)
{
    const QJsonValue v = array.at(index);
    if (!v.isObject()) {
        problem = QStringLiteral("Invalid file format: %1 %2 is not an object.")
                      .arg(QLatin1StringView(what))
                      .arg(index + 1);
        return std::nullopt;
    }
    return v.toObject();
}

std::optional<ExportedMetadata> readMetadata(const QJsonObject &object, Position where,
                                             QString &problem)
{
    // A map of texts: a member of another type refuses it, as it would a map of strings.
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (!it->isString() && !it->isNull()) {
            problem =
                QStringLiteral("Invalid file format: \"metadata\" member \"%1\" %2 is not a text.")
                    .arg(it.key(), where.text());
            return std::nullopt;
        }
    }
    MemberReader m(object, where, problem);
    ExportedMetadata metadata;
    metadata.author = m.optionalString("author");
    metadata.description = m.optionalString("description");
    metadata.platform = m.optionalString("platform");
    metadata.siteName = m.optionalString("siteName");
    return metadata;
}

// Invalid Base64 reads as no bytes: the item comes back without that picture.
std::optional<QByteArray> readBase64(const std::optional<QString> &text)
{
    if (!text)
        return std::nullopt;
    auto decoded =
        QByteArray::fromBase64Encoding(text->toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return std::nullopt;
    return std::move(*decoded);
}

std::optional<ExportedItem> readItem(const QJsonObject &object, qsizetype index, QString &problem)
{
    const Position where{"item", index};
    MemberReader m(object, where, problem);
    ExportedItem item;
    item.id = m.string("id");
    item.type = m.string("type");
    item.title = m.string("title");
    item.url = m.optionalString("url");
    item.note = m.optionalString("note");
    item.sourceDomain = m.optionalString("sourceDomain");
    item.folderId = m.optionalString("folderId");
    if (const auto ids = m.optionalArray("tagIds")) {
        item.tagIds.reserve(size_t(ids->size()));
        for (const QJsonValue &id : *ids) {
            if (!id.isString()) {
                m.refuse("tagIds", "holds something other than texts");
                break;
            }
            item.tagIds.push_back(id.toString());
        }
    }
    item.isArchived = m.optionalBool("isArchived").value_or(false);
    item.isFavorite = m.optionalBool("isFavorite").value_or(false);
    item.createdAt = m.date("createdAt");
    item.modifiedAt = m.date("modifiedAt");
    if (const auto metadata = m.optionalObject("metadata"); metadata && !m.failed())
        item.metadata = readMetadata(*metadata, where, problem);
    const auto image = m.optionalString("imageData");
    const auto thumbnail = m.optionalString("thumbnailData");
    if (m.failed())
        return std::nullopt;
    item.imageData = readBase64(image);
    item.thumbnailData = readBase64(thumbnail);
    return item;
}

std::optional<ExportedFolder> readFolder(const QJsonObject &object, qsizetype index,
                                         QString &problem)
{
    MemberReader m(object, Position{"folder", index}, problem);
    ExportedFolder folder;
    folder.id = m.string("id");
    folder.name = m.string("name");
    folder.iconName = m.optionalString("iconName");
    folder.colorHex = m.string("colorHex");
    folder.parentId = m.optionalString("parentId");
    folder.sortOrder = m.optionalInt("sortOrder");
    folder.createdAt = m.date("createdAt");
    folder.modifiedAt = m.date("modifiedAt");
    if (m.failed())
        return std::nullopt;
    return folder;
}

std::optional<ExportedTag> readTag(const QJsonObject &object, qsizetype index, QString &problem)
{
    MemberReader m(object, Position{"tag", index}, problem);
    ExportedTag tag;
    tag.id = m.string("id");
    tag.name = m.string("name");
    tag.colorHex = m.string("colorHex");
    tag.sortOrder = m.optionalInt("sortOrder");
    tag.createdAt = m.date("createdAt");
    tag.modifiedAt = m.date("modifiedAt");
    if (m.failed())
        return std::nullopt;
    return tag;
}

template <typename Record, typename ReadOne>
bool readRange(const QJsonArray &array, qsizetype from, qsizetype to, const char *what,
               std::vector<Record> &out, QString &problem, ReadOne readOne)
{
    out.reserve(size_t(to - from));
    for (qsizetype i = from; i < to; ++i) {
        const auto object = elementObject(array, i, what, problem);
        if (!object)
            return false;
        auto record = readOne(*object, i, problem);
        if (!record)
            return false;
        out.push_back(std::move(*record));
    }
    return true;
}

template <typename Record, typename ReadOne>
bool readAll(const QJsonArray &array, const char *what, std::vector<Record> &out, QString &problem,
             ReadOne readOne)
{
    return readRange(array, 0, array.size(), what, out, problem, readOne);
}

// Items are nearly all of a large document, so a second thread reads the second half of
// them. The arrays are only read, which Qt's shared containers allow from several threads.
// The problem reported is the first one in the file, whichever half it is in.
bool readItems(const QJsonArray &array, std::vector<ExportedItem> &out, QString &problem)
{
    constexpr qsizetype worthSplitting = 4096;
    const qsizetype count = array.size();
    const qsizetype half = count / 2;
    std::vector<ExportedItem> second;
    QString secondProblem;
    bool secondRead = false;
    std::thread helper;
    if (count >= worthSplitting) {
        try {
            helper = std::thread([&] {
                secondRead = readRange(array, half, count, "item", second, secondProblem, readItem);
            });
        } catch (const std::system_error &) {
            // No thread to be had: one reads it all.
        }
    }
    if (!helper.joinable())
        return readAll(array, "item", out, problem, readItem);
    const bool firstRead = readRange(array, 0, half, "item", out, problem, readItem);
    helper.join();
    if (!firstRead)
        return false;
    if (!secondRead) {
        problem = secondProblem;
        return false;
    }
    out.reserve(out.size() + second.size());
    std::move(second.begin(), second.end(), std::back_inserter(out));
    return true;
}

} // namespace

ExportDocumentReader::Result ExportDocumentReader::read(const QByteArray &document)
{
    QJsonParseError error;
    const QJsonDocument json = QJsonDocument::fromJson(document, &error);
    if (error.error != QJsonParseError::NoError)
        return {std::nullopt, QStringLiteral("Invalid file format: the file is not valid JSON "
                                             "(%1 at byte %2).")
                                  .arg(error.errorString())
                                  .arg(error.offset)};
    if (!json.isObject())
        return {std::nullopt, QStringLiteral("Invalid file format: the file holds no export.")};
    return read(json.object());
}

ExportDocumentReader::Result ExportDocumentReader::read(const QJsonObject &root)
{
    QString problem;
    MemberReader m(root, Position{}, problem);
    ExportData data;
    // Version and dates are read for their type only: any version whose structure reads is
    // accepted.
    data.version = m.string("version");
    data.exportDate = m.date("exportDate");
    data.appVersion = m.string("appVersion");
    const QJsonArray items = m.array("items");
    const QJsonArray folders = m.array("folders");
    const QJsonArray tags = m.array("tags");
    if (m.failed() || !readAll(tags, "tag", data.tags, problem, readTag) ||
        !readAll(folders, "folder", data.folders, problem, readFolder) ||
        !readItems(items, data.items, problem))
        return {std::nullopt, problem};
    return {std::move(data), QString()};
}

} // namespace quillory
