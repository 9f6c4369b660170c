#include <exchange/EncryptedBackup.h>

#include <exchange/JsonCursor.h>
#include <security/AesGcm.h>
#include <security/SecureRandom.h>
#include <security/SecurityService.h>

#include <QJsonValue>

namespace quillory {

namespace {

const QByteArray backupInfo = QByteArrayLiteral("Quillory_Backup");

// Base64 escaped as the export document escapes it: "/" becomes "\/".
QByteArray escapedBase64(const QByteArray &bytes)
{
    QByteArray text = bytes.toBase64();
    text.replace('/', "\\/");
    return text;
}

std::optional<QByteArray> strictBase64(const std::optional<QByteArray> &text)
{
    if (!text)
        return std::nullopt;
    auto decoded = QByteArray::fromBase64Encoding(*text, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return std::nullopt;
    return std::move(*decoded);
}

std::optional<QByteArray> textOf(const QJsonValue &value)
{
    if (!value.isString())
        return std::nullopt;
    return value.toString().toUtf8();
}

} // namespace

SecurityResult<SymmetricKey> EncryptedBackup::deriveBackupKey(const QString &passphrase,
                                                              const QByteArray &salt)
{
    return SecurityService::deriveKey(passphrase, salt, backupInfo);
}

SecurityResult<QByteArray> EncryptedBackup::seal(const QByteArray &document,
                                                 const QString &passphrase)
{
    const auto salt = SecureRandom::bytes(saltSize);
    if (!salt)
        return SecurityError(SecurityError::Kind::EncryptionFailed);
    const auto key = deriveBackupKey(passphrase, *salt);
    if (!key.ok())
        return key.error();
    const auto box = AesGcm::seal(key.value(), document);
    if (!box)
        return SecurityError(SecurityError::Kind::EncryptionFailed);
    QByteArray envelope;
    envelope.reserve(box->size() * 4 / 3 + 128);
    envelope.append("{\"data\":\"")
        .append(escapedBase64(*box))
        .append("\",\"salt\":\"")
        .append(escapedBase64(*salt))
        .append("\",\"version\":\"")
        .append(currentVersion.toUtf8())
        .append("\"}");
    return envelope;
}

bool EncryptedBackup::isEnvelope(const QJsonObject &object)
{
    return object.contains(QLatin1StringView("salt")) &&
           object.contains(QLatin1StringView("data")) &&
           !object.contains(QLatin1StringView("items"));
}

std::optional<EncryptedBackup::Envelope> EncryptedBackup::envelopeOf(const QByteArray &json)
{
    JsonCursor cursor(json);
    if (cursor.peek() != JsonCursor::Type::Object || !cursor.beginObject())
        return std::nullopt;
    Envelope envelope;
    bool salt = false, data = false;
    QByteArrayView name;
    while (cursor.nextMember(name)) {
        if (name == QByteArrayView("items"))
            return std::nullopt; // an export, however damaged
        std::optional<QByteArray> *text = nullptr;
        if (name == QByteArrayView("version")) {
            text = &envelope.version;
        } else if (name == QByteArrayView("salt")) {
            text = &envelope.salt;
            salt = true;
        } else if (name == QByteArrayView("data")) {
            text = &envelope.data;
            data = true;
        }
        if (text == nullptr || cursor.peek() != JsonCursor::Type::String) {
            if (!cursor.skipValue())
                return std::nullopt;
            if (text != nullptr)
                text->reset(); // of a member named twice, the last counts
            continue;
        }
        QByteArray value;
        if (!cursor.readString(value))
            return std::nullopt;
        *text = std::move(value);
    }
    if (cursor.failed() || !cursor.atEnd() || !salt || !data)
        return std::nullopt;
    return envelope;
}

std::variant<QByteArray, ImportError> EncryptedBackup::open(const QJsonObject &envelope,
                                                            const QString &passphrase)
{
    return open(Envelope{textOf(envelope.value(QLatin1StringView("version"))),
                         textOf(envelope.value(QLatin1StringView("salt"))),
                         textOf(envelope.value(QLatin1StringView("data")))},
                passphrase);
}

std::variant<QByteArray, ImportError> EncryptedBackup::open(const Envelope &envelope,
                                                            const QString &passphrase)
{
    if (!envelope.version)
        return ImportError(ImportError::Kind::InvalidFormat);
    if (*envelope.version != currentVersion.toUtf8())
        return ImportError(ImportError::Kind::UnsupportedVersion);
    const auto salt = strictBase64(envelope.salt);
    const auto box = strictBase64(envelope.data);
    if (!salt || salt->size() != saltSize || !box ||
        box->size() < AesGcm::nonceSize + AesGcm::tagSize)
        return ImportError(ImportError::Kind::InvalidFormat);
    const auto key = deriveBackupKey(passphrase, *salt);
    if (!key.ok())
        return ImportError(ImportError::Kind::InvalidPassphrase);
    // A wrong passphrase and a changed byte look the same to the cipher: the tag fails.
    auto document = AesGcm::open(key.value(), *box);
    if (!document)
        return ImportError(ImportError::Kind::DecryptionFailed);
    return std::move(*document);
}

} // namespace quillory
