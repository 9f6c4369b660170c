#include <views/dialogs/PassphraseSetupSheet.h>

#include <views/widgets/SecureFieldWithToggle.h>
#include <views/widgets/SheetParts.h>
#include <views/widgets/SymbolIcon.h>

#include <security/SecurityService.h>

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillory {

namespace {
constexpr int symbolSize = 14;
} // namespace

PassphraseSetupSheet::PassphraseSetupSheet(SecurityService &security, QWidget *parent)
    : QDialog(parent), m_security(security),
      m_passphrase(new SecureFieldWithToggle(QStringLiteral("Passphrase"), this)),
      m_confirm(new SecureFieldWithToggle(QStringLiteral("Confirm"), this)),
      m_requirements(new QWidget(this))
{
    setWindowModality(Qt::WindowModal);
    setWindowTitle(QStringLiteral("Setup Encryption"));
    setMinimumWidth(420);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 16);
    layout->setSpacing(14);
    layout->addWidget(SheetParts::headline(QStringLiteral("Setup Encryption"), this));

    m_passphrase->setObjectName(QStringLiteral("passphrase"));
    m_confirm->setObjectName(QStringLiteral("confirmPassphrase"));
    auto *fields = new QWidget(this);
    auto *fieldsLayout = new QVBoxLayout(fields);
    fieldsLayout->setContentsMargins(0, 0, 0, 0);
    fieldsLayout->addWidget(m_passphrase);
    fieldsLayout->addWidget(m_confirm);
    auto *requirementsLayout = new QVBoxLayout(m_requirements);
    requirementsLayout->setContentsMargins(0, 0, 0, 0);
    requirementsLayout->setSpacing(6);
    m_lengthRule =
        addRequirement(QStringLiteral("At least 8 characters"), QStringLiteral("length"));
    m_matchRule = addRequirement(QStringLiteral("Passphrases match"), QStringLiteral("match"));
    fieldsLayout->addWidget(m_requirements);
    layout->addLayout(
        SheetParts::section(QStringLiteral("Create Passphrase"), fields, m_passphrase->lineEdit()));

    auto *warning = new QHBoxLayout;
    warning->setSpacing(8);
    auto *warningSymbol = new QLabel(this);
    warningSymbol->setPixmap(SymbolIcon::tinted(QStringLiteral("exclamationmark.triangle.fill"),
                                                QColor(0xFF, 0x95, 0x00), 18, devicePixelRatioF()));
    warningSymbol->setAlignment(Qt::AlignTop);
    warning->addWidget(warningSymbol);
    QLabel *warningText = SheetParts::footnote(
        QStringLiteral("Quillory cannot tell you a forgotten passphrase: to open the library "
                       "without it you would have to remove Quillory's entries from your "
                       "keyring. Write it down and store it securely."),
        this);
    warningText->setObjectName(QStringLiteral("warning"));
    warning->addWidget(warningText, 1);
    layout->addLayout(warning);

    const SheetParts::Buttons buttons =
        SheetParts::addButtons(*this, *layout, QStringLiteral("Enable"));
    m_enable = buttons.confirm;
    connect(m_enable, &QPushButton::clicked, this, &PassphraseSetupSheet::enable);
    connect(m_passphrase, &SecureFieldWithToggle::textChanged, this, &PassphraseSetupSheet::update);
    connect(m_confirm, &SecureFieldWithToggle::textChanged, this, &PassphraseSetupSheet::update);
    update();
    m_passphrase->lineEdit()->setFocus();
}

PassphraseSetupSheet::Requirement PassphraseSetupSheet::addRequirement(const QString &text,
                                                                       const QString &name)
{
    auto *row = new QHBoxLayout;
    row->setSpacing(4);
    Requirement requirement{new QLabel(m_requirements), new QLabel(text, m_requirements)};
    requirement.symbol->setObjectName(name + QStringLiteral("Symbol"));
    requirement.text->setObjectName(name + QStringLiteral("Rule"));
    QFont caption = requirement.text->font();
    caption.setPointSizeF(caption.pointSizeF() * 0.85);
    requirement.text->setFont(caption);
    row->addWidget(requirement.symbol);
    row->addWidget(requirement.text, 1);
    static_cast<QVBoxLayout *>(m_requirements->layout())->addLayout(row);
    return requirement;
}

void PassphraseSetupSheet::showRequirement(const Requirement &requirement, bool met)
{
    const QColor secondary = palette().color(QPalette::PlaceholderText);
    requirement.symbol->setPixmap(met ? SymbolIcon::tinted(QStringLiteral("checkmark.circle.fill"),
                                                           QColor(0x34, 0xC7, 0x59), symbolSize,
                                                           devicePixelRatioF())
                                      : SymbolIcon::tinted(QStringLiteral("circle"), secondary,
                                                           symbolSize, devicePixelRatioF()));
    requirement.text->setForegroundRole(met ? QPalette::WindowText : QPalette::PlaceholderText);
    // Read by tests and by screen readers alike.
    requirement.text->setProperty("met", met);
    requirement.text->setAccessibleDescription(met ? QStringLiteral("met")
                                                   : QStringLiteral("not met"));
}

void PassphraseSetupSheet::reject()
{
    if (!m_working)
        QDialog::reject();
}

bool PassphraseSetupSheet::isLongEnough() const
{
    return m_passphrase->text().size() >= minimumLength;
}

bool PassphraseSetupSheet::doPassphrasesMatch() const
{
    return !m_passphrase->text().isEmpty() && m_passphrase->text() == m_confirm->text();
}

void PassphraseSetupSheet::update()
{
    showRequirement(m_lengthRule, isLongEnough());
    showRequirement(m_matchRule, doPassphrasesMatch());
    m_enable->setEnabled(!m_working && isLongEnough() && doPassphrasesMatch());
}

void PassphraseSetupSheet::enable()
{
    if (m_working || !isLongEnough() || !doPassphrasesMatch())
        return;
    m_working = true;
    update();
    const QString passphrase = m_passphrase->text();
    SheetParts::runSecurityStep(
        *this,
        [&security = m_security, passphrase] { return security.enableEncryption(passphrase); },
        [this](const QString &errorMessage) {
            m_working = false;
            m_errorMessage = errorMessage;
            update();
        });
}

} // namespace quillory
