#include <exchange/ExportDocumentWriter.h>

#include <QDateTime>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace quillory {

namespace {

template <typename Unit> bool isAscii(const Unit *text, qsizetype length)
{
    for (qsizetype i = 0; i < length; ++i) {
        if (unsigned(text[i]) >= 0x80)
            return false;
    }
    return true;
}

// Copies `length` code units (bytes of UTF-8, or ASCII in UTF-16) with JSON escapes; at
// most six bytes are written for each unit.
template <typename Unit> char *escaped(char *out, const Unit *text, qsizetype length)
{
    static constexpr char hex[] = "0123456789abcdef";
    for (qsizetype i = 0; i < length; ++i) {
        const unsigned c = unsigned(text[i]);
        if (c >= 0x20 && c != '"' && c != '\\' && c != '/') {
            *out++ = char(c);
            continue;
        }
        *out++ = '\\';
        switch (c) {
        case '"':
        case '\\':
        case '/':
            *out++ = char(c);
            break;
        case '\n':
            *out++ = 'n';
            break;
        case '\r':
            *out++ = 'r';
            break;
        case '\t':
            *out++ = 't';
            break;
        case '\b':
            *out++ = 'b';
            break;
        case '\f':
            *out++ = 'f';
            break;
        default:
            *out++ = 'u';
            *out++ = '0';
            *out++ = '0';
            *out++ = hex[c >> 4];
            *out++ = hex[c & 15];
        }
    }
    return out;
}

// 2025-03-01T09:15:30.250Z into `text`; false outside the years 0 to 9999. By hand from the
// calendar types: QDateTime's formatting costs more than the rest of an item's export.
bool formatDate(qint64 msecs, std::array<char, 32> &text)
{
    using namespace std::chrono;
    static constexpr sys_days first = year(0) / January / 1;
    static constexpr sys_days last = year(9999) / December / 31;
    const sys_time<milliseconds> when{milliseconds(msecs)};
    const sys_days midnight = floor<days>(when);
    // Checked before year_month_day, whose year would wrap far outside them.
    if (midnight < first || midnight > last) // outside what the four-digit form can say
        return false;
    const year_month_day date(midnight);
    const hh_mm_ss time(when - midnight);
    std::snprintf(text.data(), text.size(), "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", int(date.year()),
                  unsigned(date.month()), unsigned(date.day()), int(time.hours().count()),
                  int(time.minutes().count()), int(time.seconds().count()),
                  int(time.subseconds().count()));
    return true;
}

constexpr qsizetype dateLength = 24;

} // namespace

// Appends JSON text to one buffer written through a pointer (QByteArray's own appends cost
// more than the text they copy). Member names are written by the callers in code-point
// order, since every object of the document has a fixed set of members.
class ExportDocumentWriter::JsonText final
{
public:
    explicit JsonText(qsizetype expectedSize)
    {
        m_out.resize(std::max<qsizetype>(expectedSize, 256));
    }

    QByteArray take()
    {
        m_out.truncate(m_size);
        m_size = 0;
        return std::move(m_out);
    }

    // After name(), the bracket is that member's value.
    void open(char bracket)
    {
        m_afterName = false;
        put(bracket);
        ++m_depth;
        m_first = true;
    }
    void close(char bracket)
    {
        --m_depth;
        if (!m_first)
            newline();
        put(bracket);
        m_first = false;
    }
    // The position of the next member or element.
    void next()
    {
        if (!m_first)
            put(',');
        newline();
        m_first = false;
    }
    void name(const char *name)
    {
        next();
        const qsizetype length = qsizetype(std::strlen(name));
        char *out = room(length + 5);
        *out++ = '"';
        std::memcpy(out, name, size_t(length));
        out += length;
        std::memcpy(out, "\" : ", 4);
        m_size += length + 5;
        m_afterName = true; // the value follows on the same line
    }

    void string(const QString &text)
    {
        valueStart();
        const char16_t *units = reinterpret_cast<const char16_t *>(text.utf16());
        if (isAscii(units, text.size())) {
            quoted(units, text.size());
        } else {
            const QByteArray utf8 = text.toUtf8();
            quoted(utf8.constData(), utf8.size());
        }
    }
    void date(qint64 msecs)
    {
        std::array<char, 32> text{};
        if (!formatDate(msecs, text)) {
            string(QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC).toString(Qt::ISODateWithMs));
            return;
        }
        valueStart();
        quoted(text.data(), dateLength);
    }
    void boolean(bool value)
    {
        valueStart();
        append(value ? "true" : "false");
    }
    void integer(qint64 value)
    {
        valueStart();
        append(QByteArray::number(value).constData());
    }
    // Standard Base64 has no character that needs escaping but "/".
    void base64(const QByteArray &bytes)
    {
        valueStart();
        const QByteArray encoded = bytes.toBase64();
        quoted(encoded.constData(), encoded.size());
    }
    void beginValue() { valueStart(); }
    void append(const char *text)
    {
        const qsizetype length = qsizetype(std::strlen(text));
        std::memcpy(room(length), text, size_t(length));
        m_size += length;
    }

private:
    // Room for `length` more bytes at the end.
    char *room(qsizetype length)
    {
        if (m_size + length > m_out.size())
            m_out.resize(std::max(m_out.size() * 2, m_size + length));
        return m_out.data() + m_size;
    }
    void put(char c)
    {
        *room(1) = c;
        ++m_size;
    }
    template <typename Unit> void quoted(const Unit *text, qsizetype length)
    {
        char *begin = room(length * 6 + 2);
        char *out = begin;
        *out++ = '"';
        out = escaped(out, text, length);
        *out++ = '"';
        m_size += out - begin;
    }
    void valueStart()
    {
        if (m_afterName) {
            m_afterName = false;
            m_first = false;
            return;
        }
        next();
    }
    void newline()
    {
        char *out = room(1 + 2 * qsizetype(m_depth));
        *out = '\n';
        std::memset(out + 1, ' ', size_t(2 * m_depth));
        m_size += 1 + 2 * m_depth;
    }

    QByteArray m_out;
    qsizetype m_size = 0;
    int m_depth = 0;
    bool m_first = true;
    bool m_afterName = false;
};

namespace {

using JsonText = ExportDocumentWriter::JsonText;

void writeOptional(JsonText &json, const char *name, const std::optional<QString> &value)
{
    if (value) {
        json.name(name);
        json.string(*value);
    }
}

void writeDate(JsonText &json, const char *name, qint64 msecs)
{
    json.name(name);
    json.date(msecs);
}

void writeMetadata(JsonText &json, const ExportedMetadata &metadata)
{
    json.name("metadata");
    json.open('{');
    writeOptional(json, "author", metadata.author);
    writeOptional(json, "description", metadata.description);
    writeOptional(json, "platform", metadata.platform);
    writeOptional(json, "siteName", metadata.siteName);
    json.close('}');
}

void writeItem(JsonText &json, const ExportedItem &item)
{
    json.beginValue();
    json.open('{');
    writeDate(json, "createdAt", item.createdAt);
    writeOptional(json, "folderId", item.folderId);
    json.name("id");
    json.string(item.id);
    if (item.imageData) {
        json.name("imageData");
        json.base64(*item.imageData);
    }
    json.name("isArchived");
    json.boolean(item.isArchived);
    json.name("isFavorite");
    json.boolean(item.isFavorite);
    if (item.metadata && !item.metadata->isEmpty())
        writeMetadata(json, *item.metadata);
    writeDate(json, "modifiedAt", item.modifiedAt);
    writeOptional(json, "note", item.note);
    writeOptional(json, "sourceDomain", item.sourceDomain);
    json.name("tagIds");
    json.open('[');
    for (const QString &id : item.tagIds)
        json.string(id);
    json.close(']');
    if (item.thumbnailData) {
        json.name("thumbnailData");
        json.base64(*item.thumbnailData);
    }
    json.name("title");
    json.string(item.title);
    json.name("type");
    json.string(item.type);
    writeOptional(json, "url", item.url);
    json.close('}');
}

void writeFolder(JsonText &json, const ExportedFolder &folder)
{
    json.beginValue();
    json.open('{');
    json.name("colorHex");
    json.string(folder.colorHex);
    writeDate(json, "createdAt", folder.createdAt);
    writeOptional(json, "iconName", folder.iconName);
    json.name("id");
    json.string(folder.id);
    writeDate(json, "modifiedAt", folder.modifiedAt);
    json.name("name");
    json.string(folder.name);
    writeOptional(json, "parentId", folder.parentId);
    if (folder.sortOrder) {
        json.name("sortOrder");
        json.integer(*folder.sortOrder);
    }
    json.close('}');
}

void writeTag(JsonText &json, const ExportedTag &tag)
{
    json.beginValue();
    json.open('{');
    json.name("colorHex");
    json.string(tag.colorHex);
    writeDate(json, "createdAt", tag.createdAt);
    json.name("id");
    json.string(tag.id);
    writeDate(json, "modifiedAt", tag.modifiedAt);
    json.name("name");
    json.string(tag.name);
    if (tag.sortOrder) {
        json.name("sortOrder");
        json.integer(*tag.sortOrder);
    }
    json.close('}');
}

// Enough for an item's fixed members and typical texts, so the buffer rarely grows.
qsizetype expectedSize(const ExportedItem &item)
{
    qsizetype size = 420 + item.title.size() + (item.url ? item.url->size() : 0) +
                     (item.note ? item.note->size() : 0) + qsizetype(item.tagIds.size()) * 48;
    if (item.imageData)
        size += item.imageData->size() * 4 / 3 + 64;
    if (item.thumbnailData)
        size += item.thumbnailData->size() * 4 / 3 + 64;
    return size;
}

} // namespace

ExportDocumentWriter::ExportDocumentWriter(const QString &appVersion, qint64 exportDate,
                                           const std::vector<ExportedFolder> &folders,
                                           qsizetype expectedSize)
    : m_json(std::make_unique<JsonText>(expectedSize + qsizetype(folders.size()) * 400))
{
    JsonText &json = *m_json;
    json.open('{');
    json.name("appVersion");
    json.string(appVersion);
    writeDate(json, "exportDate", exportDate);
    json.name("folders");
    json.open('[');
    for (const ExportedFolder &folder : folders)
        writeFolder(json, folder);
    json.close(']');
    json.name("items");
    json.open('[');
}

ExportDocumentWriter::~ExportDocumentWriter() = default;

void ExportDocumentWriter::addItem(const ExportedItem &item)
{
    writeItem(*m_json, item);
}

QByteArray ExportDocumentWriter::finish(const std::vector<ExportedTag> &tags,
                                        const QString &version)
{
    JsonText &json = *m_json;
    json.close(']');
    json.name("tags");
    json.open('[');
    for (const ExportedTag &tag : tags)
        writeTag(json, tag);
    json.close(']');
    json.name("version");
    json.string(version);
    json.close('}');
    json.append("\n");
    return json.take();
}

QByteArray ExportDocumentWriter::write(const ExportData &data)
{
    qsizetype size = 256 + qsizetype(data.tags.size()) * 300;
    for (const ExportedItem &item : data.items)
        size += expectedSize(item);
    ExportDocumentWriter writer(data.appVersion, data.exportDate, data.folders, size);
    for (const ExportedItem &item : data.items)
        writer.addItem(item);
    return writer.finish(data.tags, data.version);
}

QString ExportDocumentWriter::dateText(qint64 msecs)
{
    std::array<char, 32> text{};
    if (!formatDate(msecs, text))
        return QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC).toString(Qt::ISODateWithMs);
    return QString::fromLatin1(text.data(), dateLength);
}

QString ExportDocumentWriter::uuidText(const QUuid &id)
{
    // One allocation instead of the two of toString() and toUpper().
    static constexpr char16_t hex[] = u"0123456789ABCDEF";
    const QByteArray bytes = id.toRfc4122();
    QString text(36, Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            *out++ = u'-';
        const auto byte = static_cast<unsigned char>(bytes[i]);
        *out++ = hex[byte >> 4];
        *out++ = hex[byte & 15];
    }
    return text;
}

} // namespace quillory
