#include <views/settings/PrivacySettingsView.h>

#include <views/dialogs/BiometricEnableSheet.h>
#include <views/dialogs/PassphraseSetupSheet.h>
#include <views/widgets/DisplayText.h>
#include <views/widgets/SheetParts.h>
#include <views/widgets/SymbolIcon.h>

#include <platform/Biometrics.h>
#include <security/SecurityService.h>
#include <util/BackgroundWork.h>

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstdio>

namespace quillory {

PrivacySettingsView::PrivacySettingsView(SecurityService &security, QWidget *parent)
    : QWidget(parent), m_security(security)
{
    setObjectName(QStringLiteral("privacySettings"));
    setWindowTitle(QStringLiteral("Privacy & Security"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(18);
    layout->addWidget(SheetParts::headline(QStringLiteral("Privacy & Security"), this));
    layout->addWidget(buildEncryptionSection());
    layout->addWidget(buildBiometricSection());
    layout->addWidget(buildPrivacySection());
    layout->addStretch(1);

    connect(&m_security.biometrics(), &Biometrics::availabilityChanged, this,
            &PrivacySettingsView::updateBiometricSection);
    updateBiometricSection();
    m_security.biometrics().checkAvailability();
}

QWidget *PrivacySettingsView::buildEncryptionSection()
{
    auto *section = new QWidget(this);
    auto *layout = new QVBoxLayout(section);
    layout->setContentsMargins(0, 0, 0, 0);
    m_encryption = new QCheckBox(QStringLiteral("Enable Encryption"), section);
    m_encryption->setObjectName(QStringLiteral("encryptionToggle"));
    m_encryption->setChecked(m_security.isEncryptionEnabled());
    connect(m_encryption, &QCheckBox::toggled, this, &PrivacySettingsView::encryptionToggled);
    layout->addLayout(SheetParts::section(QStringLiteral("Encryption"), m_encryption));
    layout->addWidget(SheetParts::footnote(
        QStringLiteral("Quillory asks for your passphrase when it starts and shows nothing of your "
                       "library, nor adds what was shared meanwhile, until it is given. The "
                       "library file itself is not encrypted yet: anyone who can read your "
                       "files can read it. Backups are sealed (AES-256-GCM) when you export "
                       "them with \u201CEncrypt Backup\u201D."),
        section));
    return section;
}

QWidget *PrivacySettingsView::buildBiometricSection()
{
    m_biometricSection = new QWidget(this);
    m_biometricSection->setObjectName(QStringLiteral("biometricSection"));
    auto *layout = new QVBoxLayout(m_biometricSection);
    layout->setContentsMargins(0, 0, 0, 0);
    m_biometric = new QCheckBox(m_biometricSection);
    m_biometric->setObjectName(QStringLiteral("biometricToggle"));
    m_biometric->setChecked(m_security.isBiometricUnlockEnabled());
    connect(m_biometric, &QCheckBox::toggled, this, &PrivacySettingsView::biometricToggled);
    layout->addWidget(m_biometric);
    m_biometricFooter = SheetParts::footnote(QString(), m_biometricSection);
    layout->addWidget(m_biometricFooter);
    return m_biometricSection;
}

QWidget *PrivacySettingsView::buildPrivacySection()
{
    struct Row
    {
        const char *symbol;
        const char *title;
        const char *subtitle;
    };
    static constexpr Row rows[] = {
        {"icloud.slash", "No Cloud Collection", "Data stays on device"},
        {"chart.bar.xaxis", "No Analytics", "Zero tracking"},
        {"brain.head.profile", "No AI Training", "Never used for AI"},
        {"dollarsign.circle", "No Data Sales", "We don't sell data"},
    };
    auto *section = new QWidget(this);
    auto *list = new QVBoxLayout(section);
    list->setContentsMargins(0, 0, 0, 0);
    list->setSpacing(10);
    for (const Row &row : rows) {
        auto *line = new QHBoxLayout;
        line->setSpacing(10);
        auto *symbol = new QLabel(section);
        symbol->setPixmap(SymbolIcon::icon(QString::fromLatin1(row.symbol))
                              .pixmap(QSize(22, 22), devicePixelRatioF()));
        line->addWidget(symbol);
        auto *texts = new QVBoxLayout;
        texts->setSpacing(0);
        auto *title = new QLabel(QString::fromLatin1(row.title), section);
        title->setObjectName(QStringLiteral("privacyRow"));
        texts->addWidget(title);
        texts->addWidget(SheetParts::footnote(QString::fromLatin1(row.subtitle), section));
        line->addLayout(texts, 1);
        list->addLayout(line);
    }
    auto *wrapper = new QWidget(this);
    auto *wrapperLayout = new QVBoxLayout(wrapper);
    wrapperLayout->setContentsMargins(0, 0, 0, 0);
    wrapperLayout->addLayout(SheetParts::section(QStringLiteral("Privacy"), section));
    return wrapper;
}

void PrivacySettingsView::updateBiometricSection()
{
    const QString name = m_security.biometricTypeName();
    m_biometric->setText(QStringLiteral("Unlock with ") + name);
    // The keyring cannot ask for the finger itself, so Quillory does, and says so.
    m_biometricFooter->setText(QStringLiteral("Use ") + name +
                               QStringLiteral(" to unlock instead of typing your passphrase. "
                                              "Quillory asks for your finger before it reads "
                                              "the key's copy from your keyring."));
    m_biometricSection->setVisible(m_encryption->isChecked() &&
                                   m_security.biometrics().isAvailable());
}

void PrivacySettingsView::setChecked(QCheckBox *toggle, bool checked)
{
    const QSignalBlocker blocker(toggle);
    toggle->setChecked(checked);
}

void PrivacySettingsView::setBusy(bool busy)
{
    m_encryption->setEnabled(!busy);
    m_biometric->setEnabled(!busy);
}

void PrivacySettingsView::encryptionToggled(bool on)
{
    if (!on) {
        setChecked(m_biometric, false);
        forgetKeyCopy();
        askToDisable();
        updateBiometricSection();
        return;
    }
    {
        PassphraseSetupSheet sheet(m_security, this);
        m_sheets.run(sheet);
    }
    // However the sheet closed, the switch says what the service has.
    if (!m_security.isEncryptionEnabled())
        setChecked(m_encryption, false);
    updateBiometricSection();
    emit settled();
}

void PrivacySettingsView::forgetKeyCopy()
{
    BackgroundWork::run<bool>(
        this,
        [&security = m_security] {
            security.keychain().deleteItem(SecurityService::biometricKeyAccount);
            security.setBiometricUnlockEnabled(false);
            return true;
        },
        [this](bool) { emit settled(); });
}

void PrivacySettingsView::askToDisable()
{
    QMessageBox question(QMessageBox::Warning, QStringLiteral("Disable Encryption?"),
                         QStringLiteral("Disable Encryption?"), QMessageBox::NoButton, this);
    question.setObjectName(QStringLiteral("disableConfirmation"));
    question.setInformativeText(
        QStringLiteral("Quillory will open without asking for a passphrase, and the "
                       "passphrase's records are removed from your keyring."));
    QPushButton *disableButton =
        question.addButton(QStringLiteral("Disable Encryption"), QMessageBox::DestructiveRole);
    question.addButton(QMessageBox::Cancel)->setText(QStringLiteral("Cancel"));
    question.setDefaultButton(QMessageBox::Cancel);
    m_sheets.run(question);
    if (question.clickedButton() == disableButton) {
        disable();
        return;
    }
    setChecked(m_encryption, true);
    updateBiometricSection();
}

void PrivacySettingsView::disable()
{
    setBusy(true);
    BackgroundWork::run<std::optional<SecurityError>>(
        this, [&security = m_security] { return security.disableEncryption(); },
        [this](std::optional<SecurityError> error) {
            setBusy(false);
            if (error) {
                const QByteArray line =
                    "Failed to disable encryption: " + error->errorDescription().toUtf8() + '\n';
                std::fputs(line.constData(), stdout);
                std::fflush(stdout);
                setChecked(m_encryption, true);
                SheetParts::showErrorAlert(*this, error->errorDescription());
            }
            updateBiometricSection();
            emit settled();
        });
}

void PrivacySettingsView::biometricToggled(bool on)
{
    if (!on) {
        forgetKeyCopy();
        return;
    }
    BiometricEnableSheet sheet(m_security, this);
    m_sheets.run(sheet);
    if (sheet.result() != QDialog::Accepted)
        setChecked(m_biometric, false);
    emit settled();
}

} // namespace quillory
