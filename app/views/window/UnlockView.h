#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace quillory {

class SecureFieldWithToggle;
class SecurityService;

// What the main window shows while the library is encrypted and its key is not known: the
// passphrase field, "Unlock", and "Unlock with Fingerprint" when that is switched on and a
// reader is there. The security service announces the unlock; the window then shows the
// library. Unlocking reads the keyring off the interface thread.
class UnlockView final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UnlockView)

public:
    explicit UnlockView(SecurityService &security, QWidget *parent = nullptr);

    SecureFieldWithToggle *passphraseField() const { return m_passphrase; }

    void unlock();
    void unlockWithBiometrics();

signals:
    // An attempt has ended, one way or the other (tests wait for it).
    void attemptFinished();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void update();
    void stopScanning();
    void showProblem(const QString &text);
    void finishAttempt(const std::optional<class SecurityError> &error);

    SecurityService &m_security;
    SecureFieldWithToggle *m_passphrase;
    QPushButton *m_unlock;
    QPushButton *m_biometric;
    QLabel *m_problem;
    bool m_working = false;  // a passphrase or key being checked
    bool m_scanning = false; // the reader waiting for a finger
};

} // namespace quillory
