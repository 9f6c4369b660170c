#include <views/dialogs/BackupPassphraseSheet.h>

#include <views/widgets/DisplayText.h>
#include <views/widgets/SecureFieldWithToggle.h>
#include <views/widgets/SheetParts.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillory {

BackupPassphraseSheet::BackupPassphraseSheet(const QString &fileName, QWidget *parent)
    : QDialog(parent), m_passphrase(new SecureFieldWithToggle(QStringLiteral("Passphrase"), this))
{
    setObjectName(QStringLiteral("backupPassphraseSheet"));
    setWindowTitle(QStringLiteral("Encrypted Backup"));
    setWindowModality(Qt::WindowModal);
    setMinimumWidth(400);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 16);
    layout->setSpacing(12);
    layout->addWidget(SheetParts::headline(QStringLiteral("Encrypted Backup"), this));
    layout->addWidget(SheetParts::footnote(
        QStringLiteral("\u201C%1\u201D is an encrypted backup. Enter the passphrase it was "
                       "created with.")
            .arg(DisplayText::bounded(fileName)),
        this));
    m_passphrase->setObjectName(QStringLiteral("passphrase"));
    layout->addWidget(m_passphrase);
    m_open = SheetParts::addButtons(*this, *layout, QStringLiteral("Open")).confirm;
    connect(m_open, &QPushButton::clicked, this, &QDialog::accept);
    auto update = [this] { m_open->setEnabled(!m_passphrase->text().isEmpty()); };
    connect(m_passphrase, &SecureFieldWithToggle::textChanged, this, update);
    update();
    m_passphrase->lineEdit()->setFocus();
}

QString BackupPassphraseSheet::passphrase() const
{
    return m_passphrase->text();
}

} // namespace quillory
