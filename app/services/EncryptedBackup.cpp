#include "EncryptedBackup.h"

#include "AesGcm.h"
#include "SecureRandom.h"
#include "SecurityService.h"

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

std::optional<QByteArray> strictBase64(const QJsonValue &value)
{
    if (!value.isString())
        return std::nullopt;
    auto decoded = QByteArray::fromBase64Encoding(value.toString().toLatin1(),
                                                  QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return std::nullopt;
    return std::move(*decoded);
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

std::variant<QByteArray, ImportError> EncryptedBackup::open(const QJsonObject &envelope,
                                                            const QString &passphrase)
{
    const QJsonValue version = envelope.value(QLatin1StringView("version"));
    if (!version.isString())
        return ImportError(ImportError::Kind::InvalidFormat);
    if (version.toString() != currentVersion)
        return ImportError(ImportError::Kind::UnsupportedVersion);
    const auto salt = strictBase64(envelope.value(QLatin1StringView("salt")));
    const auto box = strictBase64(envelope.value(QLatin1StringView("data")));
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
