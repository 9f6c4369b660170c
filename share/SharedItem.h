#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>
#include <QUuid>
#include <optional>

namespace quillory {

// The kinds Dropslip tells apart; their raw values are what a record's "type" says.
class SharedItemType final
{
public:
    enum Value { WebLink, Video, SocialPost, Image, Document };

    constexpr SharedItemType(Value value) : m_value(value) {}
    constexpr operator Value() const { return m_value; }

    static const QList<SharedItemType> &allCases();
    QString rawValue() const;

private:
    Value m_value;
};

// One thing being shared: a link, a file, or bytes that came without a file.
struct SharedItem
{
    QUuid id = QUuid::createUuid();
    SharedItemType type = SharedItemType::WebLink;
    std::optional<QUrl> url;             // a web address, or a shared file's own address
    std::optional<QByteArray> imageData; // picture or document bytes without a file
    QString title;
    std::optional<QString> note;
};

} // namespace quillory
