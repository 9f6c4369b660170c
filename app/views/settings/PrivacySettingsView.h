#pragma once

#include <views/widgets/SheetRunner.h>

#include <QWidget>
#include <functional>

class QCheckBox;
class QDialog;
class QLabel;

namespace quillory {

class SecurityService;

// "Privacy & Security": the encryption switch (which opens the passphrase sheet, or asks
// before turning encryption off), unlocking with a fingerprint where a reader is enrolled,
// and what Quillory never does with the library. The switches mirror the preferences
// "encryptionEnabled" and "biometricUnlockEnabled"; every change goes through the security
// service, off the interface thread where it reaches the keyring.
class PrivacySettingsView final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PrivacySettingsView)

public:
    explicit PrivacySettingsView(SecurityService &security, QWidget *parent = nullptr);

    QCheckBox *encryptionToggle() const { return m_encryption; }
    QCheckBox *biometricToggle() const { return m_biometric; }
    QWidget *biometricSection() const { return m_biometricSection; }

    // Tests answer the sheets and the question instead of a person.
    void setSheetHook(SheetRunner::Hook hook) { m_sheets.setHook(std::move(hook)); }

signals:
    // A change that reaches the keyring has finished (tests wait for it).
    void settled();

private:
    QWidget *buildEncryptionSection();
    QWidget *buildBiometricSection();
    QWidget *buildPrivacySection();
    void encryptionToggled(bool on);
    void biometricToggled(bool on);
    void askToDisable();
    void disable();
    void forgetKeyCopy();
    void updateBiometricSection();
    void setBusy(bool busy);
    static void setChecked(QCheckBox *toggle, bool checked);

    SecurityService &m_security;
    QCheckBox *m_encryption = nullptr;
    QCheckBox *m_biometric = nullptr;
    QLabel *m_biometricFooter = nullptr;
    QWidget *m_biometricSection = nullptr;
    SheetRunner m_sheets;
};

} // namespace quillory
