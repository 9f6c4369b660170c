#pragma once

#include <exchange/ImportError.h>
#include <security/SecurityError.h>
#include <security/SymmetricKey.h>

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <optional>
#include <variant>

namespace quillory {

// The backup envelope: {"data", "salt", "version"} as compact JSON, "data" being an export
// document sealed with AES-256-GCM under a key derived from a passphrase and the salt.
class EncryptedBackup final
{
public:
    static inline const QString currentVersion = QStringLiteral("1.0");
    static constexpr int saltSize = 32;

    // HKDF-SHA256 of the passphrase's UTF-8 bytes with the salt and the info
    // "Quillory_Backup"; differs from the library key of the same passphrase and salt.
    static SecurityResult<SymmetricKey> deriveBackupKey(const QString &passphrase,
                                                        const QByteArray &salt);

    // The envelope around `document`, under a fresh salt and nonce.
    static SecurityResult<QByteArray> seal(const QByteArray &document, const QString &passphrase);

    // True for an object that carries the envelope's "salt" and "data" and no "items": such
    // a file is a backup, however damaged its values are.
    static bool isEnvelope(const QJsonObject &object);

    // The members opening reads, as UTF-8; one that is missing or not a text is absent.
    struct Envelope
    {
        std::optional<QByteArray> version;
        std::optional<QByteArray> salt;
        std::optional<QByteArray> data;
    };
    // The envelope that `json` is, when it is valid JSON and an envelope by the rule of
    // isEnvelope. Read value by value, never into a tree: a large document of another kind
    // is only looked through, and of an envelope only these texts are kept.
    static std::optional<Envelope> envelopeOf(const QByteArray &json);

    // The export document sealed inside `envelope`.
    static std::variant<QByteArray, ImportError> open(const QJsonObject &envelope,
                                                      const QString &passphrase);
    static std::variant<QByteArray, ImportError> open(const Envelope &envelope,
                                                      const QString &passphrase);
};

} // namespace quillory
