#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;
class QPushButton;

namespace quillory {

class SecurityService;

// "Enable Fingerprint": the encryption passphrase once more, so a copy of the key can be
// kept for the reader to release. Accepted when the copy is stored; a wrong passphrase or a
// keyring failure is shown in an alert and the sheet stays open.
class BiometricEnableSheet final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BiometricEnableSheet)

public:
    explicit BiometricEnableSheet(SecurityService &security, QWidget *parent = nullptr);

    QLineEdit *passphraseField() const { return m_passphrase; }
    QPushButton *enableButton() const { return m_enable; }
    const QString &errorMessage() const { return m_errorMessage; }

    void reject() override;

private:
    void update();
    void enable();

    SecurityService &m_security;
    QLineEdit *m_passphrase;
    QPushButton *m_enable = nullptr;
    QString m_errorMessage;
    bool m_working = false;
};

} // namespace quillory
