#include <views/dialogs/AddURLSheet.h>

#include <views/widgets/ClearButton.h>
#include <views/widgets/SheetParts.h>

#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillory {

AddURLSheet::AddURLSheet(OnAdd onAdd, QWidget *parent)
    : QDialog(parent), m_onAdd(std::move(onAdd)), m_urlField(new QLineEdit(this))
{
    setWindowModality(Qt::WindowModal);
    setWindowTitle(tr("Add URL"));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 16);
    layout->setSpacing(14);

    auto *title = new QLabel(tr("Add URL"), this);
    QFont headline = title->font();
    headline.setBold(true);
    headline.setPointSizeF(headline.pointSizeF() * 1.15);
    title->setFont(headline);
    layout->addWidget(title);

    m_urlField->setObjectName(QStringLiteral("url"));
    m_urlField->setPlaceholderText(QStringLiteral("https://example.com/article"));
    m_urlField->setMinimumWidth(300);
    ClearButton::enable(*m_urlField);
    layout->addWidget(m_urlField);

    const SheetParts::Buttons buttons = SheetParts::addButtons(*this, *layout, tr("Add"));
    m_add = buttons.confirm;
    m_add->setEnabled(false);
    connect(m_urlField, &QLineEdit::textChanged, this,
            [this](const QString &text) { m_add->setEnabled(isValid(text)); });
    connect(m_add, &QPushButton::clicked, this, &AddURLSheet::add);
    // Return reaches "Add" as the default button, which is disabled while the address is
    // incomplete; Escape cancels.
    m_urlField->setFocus();
}

bool AddURLSheet::isValid(const QString &urlString)
{
    const QUrl url(urlString, QUrl::StrictMode);
    return url.isValid() && !url.scheme().isEmpty();
}

void AddURLSheet::add()
{
    const QString text = m_urlField->text();
    if (!isValid(text))
        return;
    if (m_onAdd)
        m_onAdd(QUrl(text, QUrl::StrictMode));
    accept();
}

} // namespace quillory
