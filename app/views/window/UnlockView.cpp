#include <views/window/UnlockView.h>

#include <views/widgets/SecureFieldWithToggle.h>
#include <views/widgets/SheetParts.h>
#include <views/widgets/SymbolIcon.h>

#include <platform/Biometrics.h>
#include <security/SecurityService.h>
#include <util/BackgroundWork.h>

#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <utility>

namespace quillory {

UnlockView::UnlockView(SecurityService &security, QWidget *parent)
    : QWidget(parent), m_security(security),
      m_passphrase(new SecureFieldWithToggle(QStringLiteral("Passphrase"), this)),
      m_unlock(new QPushButton(QStringLiteral("Unlock"), this)), m_biometric(new QPushButton(this)),
      m_problem(new QLabel(this))
{
    setObjectName(QStringLiteral("unlockView"));
    auto *column = new QWidget(this);
    column->setFixedWidth(340);
    auto *layout = new QVBoxLayout(column);
    layout->setSpacing(12);

    auto *symbol = new QLabel(column);
    symbol->setPixmap(
        SymbolIcon::icon(QStringLiteral("lock")).pixmap(QSize(56, 56), devicePixelRatioF()));
    symbol->setAlignment(Qt::AlignHCenter);
    layout->addWidget(symbol);
    QLabel *title = SheetParts::headline(QStringLiteral("Quillory is locked"), column);
    title->setAlignment(Qt::AlignHCenter);
    layout->addWidget(title);
    QLabel *hint =
        SheetParts::footnote(QStringLiteral("Enter your passphrase to open your library."), column);
    hint->setAlignment(Qt::AlignHCenter);
    layout->addWidget(hint);
    layout->addSpacing(6);

    m_passphrase->setObjectName(QStringLiteral("passphrase"));
    layout->addWidget(m_passphrase);
    m_problem->setObjectName(QStringLiteral("problem"));
    m_problem->setTextFormat(Qt::PlainText);
    m_problem->setWordWrap(true);
    m_problem->setAlignment(Qt::AlignHCenter);
    QPalette warning = m_problem->palette();
    warning.setColor(QPalette::WindowText, QColor(0xD7, 0x00, 0x15));
    m_problem->setPalette(warning);
    m_problem->hide();
    layout->addWidget(m_problem);
    m_unlock->setObjectName(QStringLiteral("unlock"));
    m_unlock->setDefault(true);
    layout->addWidget(m_unlock);
    m_biometric->setObjectName(QStringLiteral("unlockWithBiometrics"));
    m_biometric->setIcon(SymbolIcon::icon(QStringLiteral("touchid")));
    layout->addWidget(m_biometric);

    auto *outer = new QVBoxLayout(this);
    outer->addStretch(2);
    outer->addWidget(column, 0, Qt::AlignHCenter);
    outer->addStretch(3);

    connect(m_passphrase, &SecureFieldWithToggle::textChanged, this, &UnlockView::update);
    connect(m_passphrase->lineEdit(), &QLineEdit::returnPressed, this, &UnlockView::unlock);
    connect(m_unlock, &QPushButton::clicked, this, &UnlockView::unlock);
    connect(m_biometric, &QPushButton::clicked, this, &UnlockView::unlockWithBiometrics);
    Biometrics &biometrics = m_security.biometrics();
    connect(&biometrics, &Biometrics::availabilityChanged, this, &UnlockView::update);
    connect(&biometrics, &Biometrics::verifyFinished, this,
            [this](Biometrics::Outcome outcome, const QString &problem) {
                if (!m_scanning)
                    return; // another view's verification, or one given up
                m_scanning = false;
                if (outcome == Biometrics::Outcome::Matched) {
                    m_working = true;
                    update();
                    BackgroundWork::run<std::optional<SecurityError>>(
                        this, [&security = m_security] { return security.unlockWithKeyCopy(); },
                        [this](std::optional<SecurityError> error) { finishAttempt(error); });
                    return;
                }
                update();
                showProblem(outcome == Biometrics::Outcome::NoMatch
                                ? QStringLiteral("Fingerprint not recognized. Try again or enter "
                                                 "your passphrase.")
                                : QStringLiteral("The fingerprint reader could not be used (") +
                                      problem + QStringLiteral("). Enter your passphrase."));
                emit attemptFinished();
            });
    update();
}

void UnlockView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_security.biometrics().checkAvailability();
    m_passphrase->lineEdit()->setFocus();
}

void UnlockView::update()
{
    const QString name = m_security.biometricTypeName();
    m_biometric->setText(QStringLiteral("Unlock with ") + name);
    m_biometric->setVisible(m_security.isBiometricUnlockEnabled() &&
                            m_security.biometrics().isAvailable());
    // While the reader waits for a finger, which may be never, the passphrase stays usable.
    m_biometric->setEnabled(!m_working && !m_scanning);
    m_unlock->setEnabled(!m_working && !m_passphrase->text().isEmpty());
    m_passphrase->setEnabled(!m_working);
}

void UnlockView::stopScanning()
{
    if (!std::exchange(m_scanning, false))
        return;
    // Gives the reader back, for the screen lock or sudo.
    m_security.biometrics().cancelVerify();
    update();
}

void UnlockView::hideEvent(QHideEvent *event)
{
    stopScanning();
    QWidget::hideEvent(event);
}

void UnlockView::showProblem(const QString &text)
{
    m_problem->setText(text);
    m_problem->setVisible(!text.isEmpty());
}

void UnlockView::unlock()
{
    if (m_working || m_passphrase->text().isEmpty())
        return;
    stopScanning();
    m_working = true;
    showProblem(QString());
    update();
    const QString passphrase = m_passphrase->text();
    BackgroundWork::run<std::optional<SecurityError>>(
        this,
        [&security = m_security, passphrase] { return security.unlock(passphrase).failure(); },
        [this](std::optional<SecurityError> error) { finishAttempt(error); });
}

void UnlockView::unlockWithBiometrics()
{
    if (m_working || m_scanning)
        return;
    m_scanning = true;
    showProblem(QStringLiteral("Touch the fingerprint reader."));
    update();
    m_security.biometrics().verify();
}

void UnlockView::finishAttempt(const std::optional<SecurityError> &error)
{
    m_working = false;
    update();
    if (!error) {
        m_passphrase->setText(QString());
        showProblem(QString());
    } else if (error->kind() == SecurityError::Kind::KeyNotFound) {
        // The salt and record live in the keyring: without them no passphrase can be checked.
        showProblem(error->errorDescription() +
                    QStringLiteral(". Make sure your keyring is running and unlocked, then try "
                                   "again."));
    } else {
        showProblem(error->errorDescription());
        m_passphrase->lineEdit()->selectAll();
        m_passphrase->lineEdit()->setFocus();
    }
    emit attemptFinished();
}

} // namespace quillory
