#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <optional>
#include <variant>

namespace quillory {

// One thing handed to Dropslip, typed by its MIME type: a link is "text/x-uri", text is
// "text/plain", a file has the type its name and content give it, and bytes from standard
// input the type their content shows. Links and files are held by their address, text and
// bytes by their content. Types are kept by name: all but a file's are Dropslip's own
// finding, and stay so where the shared MIME database cannot be found.
class Attachment final
{
public:
    // A web address (anything with a scheme but file:).
    static Attachment forLink(const QUrl &link);
    // A local file.
    static Attachment forFile(const QString &path);
    static Attachment forText(const QString &text);
    // Bytes of unknown kind (standard input): "application/pdf", the type of a picture Qt
    // can read, "text/plain", or else "application/octet-stream".
    static Attachment forBytes(const QByteArray &bytes);

    const QString &mimeType() const { return m_type; }
    // Where a link or a file is; absent for text and bytes.
    std::optional<QUrl> address() const;
    std::optional<QString> text() const;
    std::optional<QByteArray> bytes() const;

private:
    Attachment(QString type, std::variant<QUrl, QString, QByteArray> content);

    QString m_type;
    std::variant<QUrl, QString, QByteArray> m_content;
};

} // namespace quillory
