#include <security/SecurityService.h>

#include <security/AesGcm.h>
#include <security/Hkdf.h>
#include <security/SecureRandom.h>

#include <platform/Biometrics.h>
#include <platform/Keychain.h>

#include <QSettings>
#include <cstdio>

namespace quillory {

namespace {

const QByteArray derivationInfo = QByteArrayLiteral("Quillory_Encryption");
const QByteArray verificationText = QByteArrayLiteral("Quillory_Verification");

// Half of a surrogate pair has no UTF-8 form; Qt would quietly write U+FFFD for it, and two
// different passphrases would give the same key.
bool hasUtf8Form(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            return false;
    }
    return true;
}

} // namespace

SecurityService &SecurityService::shared()
{
    static SecurityService *instance = new SecurityService(
        Keychain::create(), Biometrics::create(),
        std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                    QStringLiteral("Quillory"), QStringLiteral("Quillory")));
    return *instance;
}

SecurityService::SecurityService(std::unique_ptr<Keychain> keychain,
                                 std::unique_ptr<Biometrics> biometrics,
                                 std::unique_ptr<QSettings> defaults,
                                 const QString &keychainService, QObject *parent)
    : QObject(parent), m_defaults(std::move(defaults)),
      m_keychain(std::move(keychain), keychainService), m_biometrics(std::move(biometrics))
{
    m_isEncryptionEnabled = m_defaults->value(encryptionEnabledKey, false).toBool();
}

SecurityService::~SecurityService() = default;

bool SecurityService::isEncryptionEnabled() const
{
    const std::lock_guard lock(m_mutex);
    return m_isEncryptionEnabled;
}

bool SecurityService::isLocked() const
{
    const std::lock_guard lock(m_mutex);
    return m_isEncryptionEnabled && !m_encryptionKey;
}

bool SecurityService::isBiometricUnlockEnabled() const
{
    const std::lock_guard lock(m_mutex);
    return m_defaults->value(biometricUnlockEnabledKey, false).toBool();
}

void SecurityService::setBiometricUnlockEnabled(bool enabled)
{
    writeDefault(biometricUnlockEnabledKey, enabled);
}

QString SecurityService::biometricTypeName() const
{
    return m_biometrics->typeName();
}

void SecurityService::writeDefault(const QString &name, bool value)
{
    const std::lock_guard lock(m_mutex);
    m_defaults->setValue(name, value);
    m_defaults->sync();
}

void SecurityService::setKey(std::optional<SymmetricKey> key)
{
    {
        const std::lock_guard lock(m_mutex);
        m_encryptionKey = std::move(key);
    }
    emit stateChanged();
}

bool SecurityService::setEncryptionEnabled(bool enabled)
{
    bool written = false;
    {
        const std::lock_guard lock(m_mutex);
        m_isEncryptionEnabled = enabled;
        m_defaults->setValue(encryptionEnabledKey, enabled);
        m_defaults->sync();
        written = m_defaults->status() == QSettings::NoError;
    }
    emit stateChanged();
    return written;
}

std::optional<SymmetricKey> SecurityService::currentKey() const
{
    const std::lock_guard lock(m_mutex);
    return m_encryptionKey;
}

void SecurityService::clearKey()
{
    setKey(std::nullopt); // the optional's SymmetricKey wipes itself
}

SecurityResult<SymmetricKey> SecurityService::deriveKey(const QString &passphrase,
                                                        const QByteArray &salt)
{
    return deriveKey(passphrase, salt, derivationInfo);
}

SecurityResult<SymmetricKey> SecurityService::deriveKey(const QString &passphrase,
                                                        const QByteArray &salt,
                                                        const QByteArray &info)
{
    // The passphrase's bytes are used as they are: no normalisation, so "é" typed as one
    // character and as "e" with an accent are different passphrases.
    if (!hasUtf8Form(passphrase))
        return SecurityError(SecurityError::Kind::InvalidPassphrase);
    QByteArray material = passphrase.toUtf8();
    auto derived = Hkdf::sha256(material, salt, info, SymmetricKey::size);
    SymmetricKey::wipe(material);
    if (!derived)
        return SecurityError(SecurityError::Kind::EncryptionFailed);
    auto key = SymmetricKey::fromBytes(*derived);
    SymmetricKey::wipe(*derived);
    return *key;
}

std::optional<SecurityError> SecurityService::enableEncryption(const QString &passphrase)
{
    const auto salt = SecureRandom::bytes(saltSize);
    if (!salt)
        return SecurityError(SecurityError::Kind::EncryptionFailed);
    const auto key = deriveKey(passphrase, *salt);
    if (!key.ok())
        return key.error();
    if (auto error = m_keychain.save(*salt, saltAccount))
        return error;
    const auto record = encrypt(verificationText, key.value());
    if (!record.ok())
        return record.error();
    if (auto error = m_keychain.save(record.value(), verifyAccount))
        return error;
    setKey(key.value());
    // A choice that did not reach the disk would hold for this run only: the next launch
    // would open the library with no passphrase while the user believes it guarded.
    if (!setEncryptionEnabled(true)) {
        m_keychain.deleteItem(saltAccount);
        m_keychain.deleteItem(verifyAccount);
        setKey(std::nullopt);
        setEncryptionEnabled(false);
        return SecurityError(SecurityError::Kind::EncryptionFailed);
    }
    return std::nullopt;
}

std::optional<SecurityError> SecurityService::verify(const SymmetricKey &key,
                                                     const QByteArray &record) const
{
    const auto opened = decrypt(record, key);
    if (!opened.ok() || opened.value() != verificationText)
        return SecurityError(SecurityError::Kind::InvalidPassphrase);
    return std::nullopt;
}

SecurityResult<bool> SecurityService::unlock(const QString &passphrase)
{
    const auto salt = m_keychain.load(saltAccount);
    const auto record = m_keychain.load(verifyAccount);
    if (!salt.ok() || !record.ok())
        return SecurityError(SecurityError::Kind::KeyNotFound);
    const auto key = deriveKey(passphrase, salt.value());
    if (!key.ok())
        return key.error();
    if (auto error = verify(key.value(), record.value()))
        return *error;
    setKey(key.value());
    return true;
}

std::optional<SecurityError> SecurityService::disableEncryption()
{
    if (auto error = m_keychain.deleteItem(saltAccount))
        return error;
    if (auto error = m_keychain.deleteItem(verifyAccount))
        return error;
    m_keychain.deleteItem(biometricKeyAccount);
    {
        const std::lock_guard lock(m_mutex);
        m_encryptionKey.reset();
        m_defaults->setValue(biometricUnlockEnabledKey, false);
    }
    setEncryptionEnabled(false);
    return std::nullopt;
}

std::optional<SecurityError> SecurityService::enableBiometricUnlock(const QString &passphrase)
{
    const auto unlocked = unlock(passphrase);
    if (!unlocked.ok())
        return unlocked.error();
    const auto key = currentKey();
    if (!key)
        return SecurityError(SecurityError::Kind::KeyNotAvailable);
    QByteArray raw = key->rawBytes();
    const auto error = m_keychain.saveWithUserPresence(raw, biometricKeyAccount);
    SymmetricKey::wipe(raw);
    if (error)
        return error;
    setBiometricUnlockEnabled(true);
    return std::nullopt;
}

std::optional<SecurityError> SecurityService::unlockWithKeyCopy()
{
    auto copy = m_keychain.load(biometricKeyAccount);
    if (!copy.ok())
        return SecurityError(SecurityError::Kind::KeyNotFound);
    const auto key = SymmetricKey::fromBytes(copy.value());
    SymmetricKey::wipe(copy.value());
    const auto record = m_keychain.load(verifyAccount);
    if (!record.ok())
        return SecurityError(SecurityError::Kind::KeyNotFound);
    // A copy left from an earlier passphrase must not pass for the library's key.
    if (!key || verify(*key, record.value()))
        return SecurityError(SecurityError::Kind::BiometricFailed);
    setKey(*key);
    return std::nullopt;
}

SecurityResult<QByteArray> SecurityService::encrypt(const QByteArray &data,
                                                    const std::optional<SymmetricKey> &key) const
{
    const auto chosen = key ? key : currentKey();
    if (!chosen)
        return SecurityError(SecurityError::Kind::KeyNotAvailable);
    auto sealed = AesGcm::seal(*chosen, data);
    if (!sealed)
        return SecurityError(SecurityError::Kind::EncryptionFailed);
    return *sealed;
}

SecurityResult<QByteArray> SecurityService::decrypt(const QByteArray &data,
                                                    const std::optional<SymmetricKey> &key) const
{
    const auto chosen = key ? key : currentKey();
    if (!chosen)
        return SecurityError(SecurityError::Kind::KeyNotAvailable);
    auto opened = AesGcm::open(*chosen, data);
    if (!opened)
        return SecurityError(SecurityError::Kind::DecryptionFailed);
    return *opened;
}

void SecurityService::prepareAtLaunch()
{
    checkKeychainIntegrity();
    // A key never crosses a launch: none was read from anywhere, so the only one there can be
    // is what the user unlocked with in this run before this step ran, and that one stays.
}

void SecurityService::checkKeychainIntegrity()
{
    if (!isEncryptionEnabled())
        return;
    auto salt = m_keychain.load(saltAccount);
    if (salt.ok()) {
        const auto record = m_keychain.load(verifyAccount);
        if (record.ok())
            return;
        salt = record.error();
    }
    const SecurityError &error = salt.error();
    // Only a keychain that answered tells what it holds. One that cannot be reached now,
    // stays locked or refuses this program says nothing: turning encryption off for that
    // would drop the user's choice over a keyring that had not started yet.
    if (error.keychainStatus() != Keychain::Status::NotFound)
        return;
    const QByteArray line =
        "Keychain integrity check failed: " + error.errorDescription().toUtf8() + '\n';
    std::fputs(line.constData(), stdout);
    std::fflush(stdout);
    setEncryptionEnabled(false);
}

} // namespace quillory
