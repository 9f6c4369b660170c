#include <views/widgets/SecureFieldWithToggle.h>

#include <views/widgets/SymbolIcon.h>

#include <QHBoxLayout>
#include <QLineEdit>
#include <QToolButton>

namespace quillory {

SecureFieldWithToggle::SecureFieldWithToggle(const QString &title, QWidget *parent)
    : QWidget(parent), m_edit(new QLineEdit(this)), m_toggle(new QToolButton(this))
{
    m_edit->setObjectName(QStringLiteral("field"));
    m_edit->setPlaceholderText(title);
    m_edit->setAccessibleName(title);
    m_toggle->setObjectName(QStringLiteral("toggle"));
    m_toggle->setAutoRaise(true);
    m_toggle->setFocusPolicy(Qt::TabFocus);
    m_toggle->setCursor(Qt::PointingHandCursor);
    setFocusProxy(m_edit);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(m_edit, 1);
    layout->addWidget(m_toggle);

    connect(m_edit, &QLineEdit::textChanged, this, &SecureFieldWithToggle::textChanged);
    connect(m_toggle, &QToolButton::clicked, this, &SecureFieldWithToggle::toggleSecure);
    updateMode();
}

SecureFieldWithToggle::~SecureFieldWithToggle() = default;

QString SecureFieldWithToggle::title() const
{
    return m_edit->placeholderText();
}

void SecureFieldWithToggle::setTitle(const QString &title)
{
    m_edit->setPlaceholderText(title);
    m_edit->setAccessibleName(title);
}

QString SecureFieldWithToggle::text() const
{
    return m_edit->text();
}

void SecureFieldWithToggle::setText(const QString &text)
{
    m_edit->setText(text);
}

void SecureFieldWithToggle::setSecure(bool secure)
{
    if (secure == m_secure)
        return;
    m_secure = secure;
    updateMode();
    emit secureChanged(m_secure);
}

void SecureFieldWithToggle::updateMode()
{
    m_edit->setEchoMode(m_secure ? QLineEdit::Password : QLineEdit::Normal);
    // Shown is still secret: a normal field lets an input method learn and suggest it.
    m_edit->setInputMethodHints(m_edit->inputMethodHints() | Qt::ImhSensitiveData |
                                Qt::ImhNoPredictiveText | Qt::ImhNoAutoUppercase);
    m_toggle->setIcon(
        SymbolIcon::icon(m_secure ? QStringLiteral("eye") : QStringLiteral("eye.slash")));
    const QString action = m_secure ? tr("Show") : tr("Hide");
    m_toggle->setToolTip(action);
    m_toggle->setAccessibleName(action);
}

} // namespace quillory
