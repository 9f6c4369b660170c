#pragma once

#include <QDialog>

class QPushButton;

namespace quillory {

class SecureFieldWithToggle;

// Asks for the passphrase an encrypted backup was sealed with, before it is opened.
class BackupPassphraseSheet final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BackupPassphraseSheet)

public:
    // `fileName` names the backup in the question.
    explicit BackupPassphraseSheet(const QString &fileName, QWidget *parent = nullptr);

    QString passphrase() const;
    SecureFieldWithToggle *passphraseField() const { return m_passphrase; }

private:
    SecureFieldWithToggle *m_passphrase;
    QPushButton *m_open = nullptr;
};

} // namespace quillory
