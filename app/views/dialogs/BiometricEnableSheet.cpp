#include <views/dialogs/BiometricEnableSheet.h>

#include <views/widgets/SheetParts.h>

#include <security/SecurityService.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillory {

BiometricEnableSheet::BiometricEnableSheet(SecurityService &security, QWidget *parent)
    : QDialog(parent), m_security(security), m_passphrase(new QLineEdit(this))
{
    const QString name = security.biometricTypeName();
    setWindowModality(Qt::WindowModal);
    setWindowTitle(QStringLiteral("Enable ") + name);
    setMinimumWidth(380);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 16);
    layout->setSpacing(14);
    layout->addWidget(SheetParts::headline(QStringLiteral("Enable ") + name, this));

    m_passphrase->setObjectName(QStringLiteral("passphrase"));
    m_passphrase->setEchoMode(QLineEdit::Password);
    m_passphrase->setPlaceholderText(QStringLiteral("Passphrase"));
    m_passphrase->setAccessibleName(QStringLiteral("Passphrase"));
    auto *section = new QWidget(this);
    auto *sectionLayout = new QVBoxLayout(section);
    sectionLayout->setContentsMargins(0, 0, 0, 0);
    sectionLayout->addWidget(m_passphrase);
    sectionLayout->addWidget(SheetParts::footnote(
        QStringLiteral("Enter your encryption passphrase to enable ") + name + QLatin1Char('.'),
        section));
    layout->addLayout(
        SheetParts::section(QStringLiteral("Enter Passphrase"), section, m_passphrase));

    const SheetParts::Buttons buttons =
        SheetParts::addButtons(*this, *layout, QStringLiteral("Enable"));
    m_enable = buttons.confirm;
    connect(m_enable, &QPushButton::clicked, this, &BiometricEnableSheet::enable);
    connect(m_passphrase, &QLineEdit::textChanged, this, &BiometricEnableSheet::update);
    update();
    m_passphrase->setFocus();
}

void BiometricEnableSheet::reject()
{
    if (!m_working)
        QDialog::reject();
}

void BiometricEnableSheet::update()
{
    m_enable->setEnabled(!m_working && !m_passphrase->text().isEmpty());
}

void BiometricEnableSheet::enable()
{
    if (m_working || m_passphrase->text().isEmpty())
        return;
    m_working = true;
    update();
    const QString passphrase = m_passphrase->text();
    SheetParts::runSecurityStep(
        *this,
        [&security = m_security, passphrase] { return security.enableBiometricUnlock(passphrase); },
        [this](const QString &errorMessage) {
            m_working = false;
            m_errorMessage = errorMessage;
            update();
        });
}

} // namespace quillory
