#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>
#include <QVariant>
#include <optional>

namespace quillory {

// One thing handed to Dropslip, offering its content under type identifiers the way a
// share menu's item provider does: a link offers itself as a URL and as text, a file as a
// file URL (and as a picture or PDF by its MIME type), bytes from standard input as what
// they turn out to be. The extraction asks for types in its own order and takes the first
// that yields an item.
class Attachment final
{
public:
    static inline const QString url = QStringLiteral("public.url");
    static inline const QString plainText = QStringLiteral("public.plain-text");
    static inline const QString fileUrl = QStringLiteral("public.file-url");
    static inline const QString image = QStringLiteral("public.image");
    static inline const QString pdf = QStringLiteral("com.adobe.pdf");
    static inline const QString data = QStringLiteral("public.data");

    // A web address (anything with a scheme but file:).
    static Attachment forLink(const QUrl &link);
    // A local file, typed by its MIME type.
    static Attachment forFile(const QString &path);
    static Attachment forText(const QString &text);
    // Bytes of unknown kind (standard input), typed by their content.
    static Attachment forBytes(const QByteArray &bytes);

    bool conformsTo(const QString &type) const;
    // The value offered for `type`: a QUrl, a QString or a QByteArray; absent when the
    // attachment does not offer that type.
    std::optional<QVariant> load(const QString &type) const;
    QStringList types() const;

private:
    QList<std::pair<QString, QVariant>> m_values;
};

} // namespace quillory
