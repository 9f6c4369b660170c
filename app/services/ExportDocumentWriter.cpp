#include "ExportDocumentWriter.h"

#include <QDateTime>
#include <array>
#include <cstdio>

namespace quillory {

namespace {

// Appends JSON text to one growing buffer. Member names are written by the callers in
// code-point order, since every object of the document has a fixed set of members.
class JsonText final
{
public:
    explicit JsonText(qsizetype expectedSize) { m_out.reserve(expectedSize); }

    QByteArray take() { return std::move(m_out); }

    // After name(), the bracket is that member's value.
    void open(char bracket)
    {
        m_afterName = false;
        m_out.append(bracket);
        ++m_depth;
        m_first = true;
    }
    void close(char bracket)
    {
        --m_depth;
        if (!m_first)
            newline();
        m_out.append(bracket);
        m_first = false;
    }
    // The position of the next member or element.
    void next()
    {
        if (!m_first)
            m_out.append(',');
        newline();
        m_first = false;
    }
    void name(const char *name)
    {
        next();
        m_out.append('"').append(name).append("\" : ");
        m_afterName = true; // the value follows on the same line
    }

    void string(const QString &text)
    {
        valueStart();
        m_out.append('"');
        const QByteArray utf8 = text.toUtf8();
        escape(utf8.constData(), utf8.size());
        m_out.append('"');
    }
    void boolean(bool value)
    {
        valueStart();
        m_out.append(value ? "true" : "false");
    }
    void integer(qint64 value)
    {
        valueStart();
        m_out.append(QByteArray::number(value));
    }
    // Standard Base64 has no character that needs escaping but "/".
    void base64(const QByteArray &bytes)
    {
        valueStart();
        m_out.append('"');
        const QByteArray encoded = bytes.toBase64();
        escape(encoded.constData(), encoded.size());
        m_out.append('"');
    }
    void beginValue() { valueStart(); }

private:
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
        m_out.append('\n');
        for (int i = 0; i < m_depth; ++i)
            m_out.append("  ");
    }
    void escape(const char *text, qsizetype length)
    {
        static constexpr char hex[] = "0123456789abcdef";
        qsizetype plainFrom = 0;
        for (qsizetype i = 0; i < length; ++i) {
            const auto c = static_cast<unsigned char>(text[i]);
            if (c >= 0x20 && c != '"' && c != '\\' && c != '/')
                continue;
            m_out.append(text + plainFrom, i - plainFrom);
            plainFrom = i + 1;
            switch (c) {
            case '"':
                m_out.append("\\\"");
                break;
            case '\\':
                m_out.append("\\\\");
                break;
            case '/':
                m_out.append("\\/");
                break;
            case '\n':
                m_out.append("\\n");
                break;
            case '\r':
                m_out.append("\\r");
                break;
            case '\t':
                m_out.append("\\t");
                break;
            case '\b':
                m_out.append("\\b");
                break;
            case '\f':
                m_out.append("\\f");
                break;
            default: {
                const char u[] = {'\\', 'u', '0', '0', hex[c >> 4], hex[c & 15]};
                m_out.append(u, sizeof u);
            }
            }
        }
        m_out.append(text + plainFrom, length - plainFrom);
    }

    QByteArray m_out;
    int m_depth = 0;
    bool m_first = true;
    bool m_afterName = false;
};

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
    json.string(ExportDocumentWriter::dateText(msecs));
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
qsizetype expectedSize(const ExportData &data)
{
    qsizetype size = 256 + qsizetype(data.folders.size()) * 400 + qsizetype(data.tags.size()) * 300;
    for (const ExportedItem &item : data.items) {
        size += 420 + item.title.size() + (item.url ? item.url->size() : 0) +
                (item.note ? item.note->size() : 0) + qsizetype(item.tagIds.size()) * 48;
        if (item.imageData)
            size += item.imageData->size() * 4 / 3 + 64;
        if (item.thumbnailData)
            size += item.thumbnailData->size() * 4 / 3 + 64;
    }
    return size;
}

} // namespace

QByteArray ExportDocumentWriter::write(const ExportData &data)
{
    JsonText json(expectedSize(data));
    json.open('{');
    json.name("appVersion");
    json.string(data.appVersion);
    writeDate(json, "exportDate", data.exportDate);
    json.name("folders");
    json.open('[');
    for (const ExportedFolder &folder : data.folders)
        writeFolder(json, folder);
    json.close(']');
    json.name("items");
    json.open('[');
    for (const ExportedItem &item : data.items)
        writeItem(json, item);
    json.close(']');
    json.name("tags");
    json.open('[');
    for (const ExportedTag &tag : data.tags)
        writeTag(json, tag);
    json.close(']');
    json.name("version");
    json.string(data.version);
    json.close('}');
    QByteArray out = json.take();
    out.append('\n');
    return out;
}

QString ExportDocumentWriter::dateText(qint64 msecs)
{
    // Days to a civil date (Howard Hinnant's algorithm): QDateTime's formatting costs more
    // than the rest of an item's export.
    qint64 days = msecs >= 0 ? msecs / 86400000 : (msecs - 86399999) / 86400000;
    const qint64 msOfDay = msecs - days * 86400000;
    days += 719468;
    const qint64 era = (days >= 0 ? days : days - 146096) / 146097;
    const qint64 doe = days - era * 146097;
    const qint64 yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const qint64 doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const qint64 mp = (5 * doy + 2) / 153;
    const qint64 day = doy - (153 * mp + 2) / 5 + 1;
    const qint64 month = mp < 10 ? mp + 3 : mp - 9;
    const qint64 year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    if (year < 0 || year > 9999) // outside what the four-digit form can say
        return QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC).toString(Qt::ISODateWithMs);
    std::array<char, 32> text{};
    const qint64 seconds = msOfDay / 1000;
    std::snprintf(text.data(), text.size(), "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", int(year),
                  int(month), int(day), int(seconds / 3600), int(seconds / 60 % 60),
                  int(seconds % 60), int(msOfDay % 1000));
    return QString::fromLatin1(text.data(), 24);
}

QString ExportDocumentWriter::uuidText(const QUuid &id)
{
    return id.toString(QUuid::WithoutBraces).toUpper();
}

} // namespace quillory
