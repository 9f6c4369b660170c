#include <exchange/ExportDocumentReader.h>

#include <exchange/JsonCursor.h>

#include <chrono>
#include <climits>

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
    using namespace std::chrono;
    const int yearNumber = digits(0, 4), monthNumber = digits(5, 2), dayNumber = digits(8, 2);
    const int hours = digits(11, 2), minutes = digits(14, 2), seconds = digits(17, 2);
    if (yearNumber < 0 || monthNumber < 0 || dayNumber < 0 || hours < 0 || hours > 23 ||
        minutes < 0 || minutes > 59 || seconds < 0 || seconds > 59)
        return std::nullopt;
    const year_month_day date{year{yearNumber}, month{unsigned(monthNumber)},
                              day{unsigned(dayNumber)}};
    if (!date.ok()) // February 30, a thirteenth month, day 0
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
        const int offsetHours = digits(at + 1, 2);
        const int offsetMinutes = digits(at + 4, 2);
        if (offsetHours < 0 || offsetMinutes < 0 || offsetHours > 23 || offsetMinutes > 59)
            return std::nullopt;
        offsetSeconds = (offsetHours * 3600 + offsetMinutes * 60) * (is(at, '-') ? -1 : 1);
        at += 6;
    } else {
        return std::nullopt;
    }
    if (at != text.size())
        return std::nullopt;
    const auto utc = sys_days(date) + std::chrono::hours(hours) + std::chrono::minutes(minutes) +
                     std::chrono::seconds(seconds) + milliseconds(msecs) -
                     std::chrono::seconds(offsetSeconds);
    return duration_cast<milliseconds>(utc.time_since_epoch()).count();
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

using Type = JsonCursor::Type;

// Reads the values of one record's members as the cursor reaches them, checking each
// against the format. The first problem ends the reading; each call returns false then.
class MemberReader final
{
public:
    MemberReader(JsonCursor &json, Position where, QString &problem)
        : m_json(json), m_where(where), m_problem(problem)
    {
    }

    bool text(const char *name, QString &out)
    {
        if (m_json.peek() != Type::String)
            return refuseOrSyntax(name, "is not a text");
        return m_json.readString(out) || syntax();
    }
    bool optionalText(const char *name, std::optional<QString> &out)
    {
        if (m_json.peek() == Type::Null) {
            out.reset();
            return m_json.readNull() || syntax();
        }
        QString value;
        if (!text(name, value))
            return false;
        out = std::move(value);
        return true;
    }
    bool optionalBool(const char *name, bool &out)
    {
        switch (m_json.peek()) {
        case Type::Null:
            out = false;
            return m_json.readNull() || syntax();
        case Type::Boolean:
            return m_json.readBoolean(out) || syntax();
        default:
            return refuseOrSyntax(name, "is not true or false");
        }
    }
    bool optionalInt(const char *name, std::optional<int> &out)
    {
        if (m_json.peek() == Type::Null) {
            out.reset();
            return m_json.readNull() || syntax();
        }
        if (m_json.peek() != Type::Number)
            return refuseOrSyntax(name, "is not a whole number");
        double d = 0;
        if (!m_json.readNumber(d))
            return syntax();
        if (d < INT_MIN || d > INT_MAX || d != double(qint64(d)))
            return refuse(name, "is not a whole number");
        out = int(d);
        return true;
    }
    // Only checked to be a date-time text: import gives records the time of the import.
    bool date(const char *name, qint64 &out)
    {
        QString value;
        if (!text(name, value))
            return false;
        const auto when = parseDate(value);
        if (!when)
            return refuse(name, "is not a date");
        out = *when;
        return true;
    }
    bool texts(const char *name, std::vector<QString> &out)
    {
        if (m_json.peek() == Type::Null) {
            out.clear();
            return m_json.readNull() || syntax();
        }
        if (m_json.peek() != Type::Array)
            return refuseOrSyntax(name, "is not a list");
        m_json.beginArray();
        out.clear();
        while (m_json.nextElement()) {
            if (m_json.peek() != Type::String)
                return refuseOrSyntax(name, "holds something other than texts");
            QString value;
            if (!m_json.readString(value))
                return syntax();
            out.push_back(std::move(value));
        }
        return !m_json.failed() || syntax();
    }
    // A map of texts: a member of another type refuses it, as it would a map of strings.
    bool metadata(std::optional<ExportedMetadata> &out)
    {
        if (m_json.peek() == Type::Null) {
            out.reset();
            return m_json.readNull() || syntax();
        }
        if (m_json.peek() != Type::Object)
            return refuseOrSyntax("metadata", "is not an object");
        m_json.beginObject();
        ExportedMetadata metadata;
        QByteArrayView name;
        while (m_json.nextMember(name)) {
            std::optional<QString> *field =
                name == QByteArrayView("author")        ? &metadata.author
                : name == QByteArrayView("description") ? &metadata.description
                : name == QByteArrayView("platform")    ? &metadata.platform
                : name == QByteArrayView("siteName")    ? &metadata.siteName
                                                        : nullptr;
            const Type type = m_json.peek();
            if (type != Type::String && type != Type::Null) {
                if (m_json.failed())
                    return syntax();
                m_problem = QStringLiteral(
                                "Invalid file format: \"metadata\" member \"%1\" %2 is not a text.")
                                .arg(QString::fromUtf8(name), m_where.text());
                return false;
            }
            std::optional<QString> value;
            if (!optionalText("metadata", value))
                return false;
            if (field != nullptr)
                *field = std::move(value);
        }
        if (m_json.failed())
            return syntax();
        out = std::move(metadata);
        return true;
    }
    bool skip() { return m_json.skipValue() || syntax(); }

    bool refuse(const char *name, const char *why)
    {
        if (m_problem.isEmpty())
            m_problem = QStringLiteral("Invalid file format: \"%1\" %2 %3.")
                            .arg(QLatin1StringView(name), m_where.text(), QLatin1StringView(why));
        return false;
    }
    bool missing(const char *name) { return refuse(name, "is missing"); }
    bool syntax()
    {
        if (m_problem.isEmpty())
            m_problem = QStringLiteral("Invalid file format: the file is not valid JSON (%1 at "
                                       "byte %2).")
                            .arg(m_json.errorText())
                            .arg(m_json.errorOffset());
        return false;
    }

private:
    // A value of the wrong type, unless what stands there is not JSON at all.
    bool refuseOrSyntax(const char *name, const char *why)
    {
        if (m_json.peek() == Type::Invalid) {
            m_json.skipValue(); // records what is wrong and where
            return syntax();
        }
        return refuse(name, why);
    }

    JsonCursor &m_json;
    Position m_where;
    QString &m_problem;
};

bool is(QByteArrayView name, const char *member)
{
    return name == QByteArrayView(member);
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

// The members every record of a kind must have, in the order they are asked for.
bool allPresent(MemberReader &m, std::initializer_list<std::pair<const char *, bool>> members)
{
    for (const auto &[name, present] : members) {
        if (!present)
            return m.missing(name);
    }
    return true;
}

bool readItem(JsonCursor &json, MemberReader &m, ExportedItem &item)
{
    bool id = false, type = false, title = false, created = false, modified = false;
    std::optional<QString> image, thumbnail;
    QByteArrayView name;
    while (json.nextMember(name)) {
        bool ok = false;
        if (is(name, "id"))
            ok = id = m.text("id", item.id);
        else if (is(name, "type"))
            ok = type = m.text("type", item.type);
        else if (is(name, "title"))
            ok = title = m.text("title", item.title);
        else if (is(name, "url"))
            ok = m.optionalText("url", item.url);
        else if (is(name, "note"))
            ok = m.optionalText("note", item.note);
        else if (is(name, "sourceDomain"))
            ok = m.optionalText("sourceDomain", item.sourceDomain);
        else if (is(name, "folderId"))
            ok = m.optionalText("folderId", item.folderId);
        else if (is(name, "tagIds"))
            ok = m.texts("tagIds", item.tagIds);
        else if (is(name, "isArchived"))
            ok = m.optionalBool("isArchived", item.isArchived);
        else if (is(name, "isFavorite"))
            ok = m.optionalBool("isFavorite", item.isFavorite);
        else if (is(name, "createdAt"))
            ok = created = m.date("createdAt", item.createdAt);
        else if (is(name, "modifiedAt"))
            ok = modified = m.date("modifiedAt", item.modifiedAt);
        else if (is(name, "metadata"))
            ok = m.metadata(item.metadata);
        else if (is(name, "imageData"))
            ok = m.optionalText("imageData", image);
        else if (is(name, "thumbnailData"))
            ok = m.optionalText("thumbnailData", thumbnail);
        else
            ok = m.skip();
        if (!ok)
            return false;
    }
    if (json.failed())
        return m.syntax();
    if (!allPresent(m, {{"id", id},
                        {"type", type},
                        {"title", title},
                        {"createdAt", created},
                        {"modifiedAt", modified}}))
        return false;
    item.imageData = readBase64(image);
    item.thumbnailData = readBase64(thumbnail);
    return true;
}

// Folders and tags: the members both have, and what `readOwn` reads of the record's own
// members (it answers false for a member that is not one of them).
template <typename Record, typename ReadOwn>
bool readNamedRecord(JsonCursor &json, MemberReader &m, Record &record, ReadOwn readOwn)
{
    bool id = false, name = false, color = false, created = false, modified = false;
    QByteArrayView member;
    while (json.nextMember(member)) {
        bool ok = false;
        if (is(member, "id"))
            ok = id = m.text("id", record.id);
        else if (is(member, "name"))
            ok = name = m.text("name", record.name);
        else if (is(member, "colorHex"))
            ok = color = m.text("colorHex", record.colorHex);
        else if (is(member, "sortOrder"))
            ok = m.optionalInt("sortOrder", record.sortOrder);
        else if (is(member, "createdAt"))
            ok = created = m.date("createdAt", record.createdAt);
        else if (is(member, "modifiedAt"))
            ok = modified = m.date("modifiedAt", record.modifiedAt);
        else if (!readOwn(member, ok))
            ok = m.skip();
        if (!ok)
            return false;
    }
    if (json.failed())
        return m.syntax();
    return allPresent(m, {{"id", id},
                          {"name", name},
                          {"colorHex", color},
                          {"createdAt", created},
                          {"modifiedAt", modified}});
}

bool readFolder(JsonCursor &json, MemberReader &m, ExportedFolder &folder)
{
    return readNamedRecord(json, m, folder, [&m, &folder](QByteArrayView member, bool &ok) {
        if (is(member, "iconName"))
            ok = m.optionalText("iconName", folder.iconName);
        else if (is(member, "parentId"))
            ok = m.optionalText("parentId", folder.parentId);
        else
            return false;
        return true;
    });
}

bool readTag(JsonCursor &json, MemberReader &m, ExportedTag &tag)
{
    return readNamedRecord(json, m, tag, [](QByteArrayView, bool &) { return false; });
}

// One of the document's lists, each element an object read by `readOne`.
template <typename Record, typename ReadOne>
bool readList(JsonCursor &json, MemberReader &root, const char *name, const char *what,
              std::vector<Record> &out, QString &problem, ReadOne readOne)
{
    if (json.peek() != Type::Array) {
        if (json.peek() == Type::Invalid) {
            json.skipValue();
            return root.syntax();
        }
        return root.refuse(name, "is not a list");
    }
    json.beginArray();
    out.clear();
    for (qsizetype index = 0; json.nextElement(); ++index) {
        if (json.peek() != Type::Object) {
            if (json.peek() == Type::Invalid) {
                json.skipValue();
                return root.syntax();
            }
            problem = QStringLiteral("Invalid file format: %1 %2 is not an object.")
                          .arg(QLatin1StringView(what))
                          .arg(index + 1);
            return false;
        }
        json.beginObject();
        MemberReader m(json, Position{what, index}, problem);
        Record record;
        if (!readOne(json, m, record))
            return false;
        out.push_back(std::move(record));
    }
    return !json.failed() || root.syntax();
}

} // namespace

ExportDocumentReader::Result ExportDocumentReader::read(const QByteArray &document)
{
    JsonCursor json(document);
    QString problem;
    MemberReader m(json, Position{}, problem);
    const auto refused = [&problem] { return Result{std::nullopt, problem}; };
    if (json.peek() != Type::Object) {
        // Valid JSON of another shape, or not JSON at all.
        if (!json.skipValue() || !json.atEnd())
            return m.syntax(), refused();
        return {std::nullopt,
                QStringLiteral("Invalid file format: the file holds no Quillory export.")};
    }
    json.beginObject();
    ExportData data;
    // Version and dates are read for their type only: any version whose structure reads is
    // accepted.
    bool version = false, exportDate = false, appVersion = false;
    bool items = false, folders = false, tags = false;
    QByteArrayView name;
    while (json.nextMember(name)) {
        bool ok = false;
        if (is(name, "version"))
            ok = version = m.text("version", data.version);
        else if (is(name, "exportDate"))
            ok = exportDate = m.date("exportDate", data.exportDate);
        else if (is(name, "appVersion"))
            ok = appVersion = m.text("appVersion", data.appVersion);
        else if (is(name, "items"))
            ok = items = readList(json, m, "items", "item", data.items, problem, readItem);
        else if (is(name, "folders"))
            ok = folders =
                readList(json, m, "folders", "folder", data.folders, problem, readFolder);
        else if (is(name, "tags"))
            ok = tags = readList(json, m, "tags", "tag", data.tags, problem, readTag);
        else
            ok = m.skip();
        if (!ok)
            return refused();
    }
    if (json.failed() || !json.atEnd())
        return m.syntax(), refused();
    if (!allPresent(m, {{"version", version},
                        {"exportDate", exportDate},
                        {"appVersion", appVersion},
                        {"items", items},
                        {"folders", folders},
                        {"tags", tags}}))
        return refused();
    return {std::move(data), QString()};
}

} // namespace quillory
