#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;

namespace quillory {

class SecureFieldWithToggle;
class SecurityService;

// "Setup Encryption": the new passphrase twice, the two rules it must meet, and what a
// forgotten passphrase costs. "Enable" switches encryption on (off the
// interface thread: the keyring may ask to be unlocked) and closes the sheet; a failure is
// shown in an alert and the sheet stays open.
class PassphraseSetupSheet final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PassphraseSetupSheet)

public:
    static constexpr int minimumLength = 8;

    explicit PassphraseSetupSheet(SecurityService &security, QWidget *parent = nullptr);

    SecureFieldWithToggle *passphraseField() const { return m_passphrase; }
    QPushButton *enableButton() const { return m_enable; }
    bool isLongEnough() const;
    bool doPassphrasesMatch() const;
    // The last failure's description, shown in the alert "Error".
    const QString &errorMessage() const { return m_errorMessage; }

    // Refused while encryption is being switched on: the sheet closes when that is done.
    void reject() override;

private:
    struct Requirement
    {
        QLabel *symbol;
        QLabel *text;
    };
    Requirement addRequirement(const QString &text, const QString &name);
    void showRequirement(const Requirement &requirement, bool met);
    void update();
    void enable();

    SecurityService &m_security;
    SecureFieldWithToggle *m_passphrase;
    SecureFieldWithToggle *m_confirm;
    QWidget *m_requirements;
    Requirement m_lengthRule{};
    Requirement m_matchRule{};
    QPushButton *m_enable = nullptr;
    QString m_errorMessage;
    bool m_working = false;
};

} // namespace quillory
