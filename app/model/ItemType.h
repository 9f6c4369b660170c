#pragma once

#include <model/NamedColor.h>

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>
#include <string_view>

namespace quillory {

// The kind of an item. Stored and exported as its raw value; unknown raw values are
// presented as web links.
class ItemType final
{
public:
    // One byte, so that an item's flags, kind and slots share their cache line.
    enum Value : quint8 { WebLink, Video, SocialPost, Image, Screenshot, Document };

    constexpr ItemType(Value value) : m_value(value) {}
    constexpr operator Value() const { return m_value; }

    static const QList<ItemType> &allCases();
    static std::optional<ItemType> fromRawValue(const QString &raw);
    static std::optional<ItemType> fromRawUtf8(std::string_view raw);
    // fromRawValue(), or WebLink for text that names no kind.
    static ItemType fromRawValueOrWebLink(const QString &raw);

    QString rawValue() const;
    QString displayName() const;
    QString iconName() const;
    NamedColor tint() const;

    // Host rules before path extensions; the host test is plain substring containment.
    static ItemType detect(const QUrl &url);

    // The 68 path suffixes that make a URL a document.
    static const QStringList &documentExtensions();
    static const QStringList &socialDomains();
    static const QStringList &videoDomains();

private:
    Value m_value;
};

} // namespace quillory
