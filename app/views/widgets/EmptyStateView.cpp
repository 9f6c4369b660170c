#include <views/widgets/EmptyStateView.h>

#include <views/widgets/SymbolIcon.h>

#include <QLabel>
#include <QVBoxLayout>

namespace quillory {

EmptyStateView::EmptyStateView(QWidget *parent)
    : QWidget(parent), m_icon(new QLabel(this)), m_title(new QLabel(this)),
      m_description(new QLabel(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->addStretch(1);
    for (QLabel *label : {m_icon, m_title, m_description}) {
        label->setAlignment(Qt::AlignCenter);
        layout->addWidget(label);
    }
    layout->addStretch(1);
    layout->setSpacing(8);

    QFont titleFont = font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.35);
    titleFont.setWeight(QFont::DemiBold);
    m_title->setFont(titleFont);
    m_title->setObjectName(QStringLiteral("emptyTitle"));
    m_description->setObjectName(QStringLiteral("emptyDescription"));
    m_description->setWordWrap(true);
    QPalette dim = m_description->palette();
    QColor text = dim.color(QPalette::WindowText);
    text.setAlphaF(0.6f);
    dim.setColor(QPalette::WindowText, text);
    m_description->setPalette(dim);
    m_icon->setPalette(dim);
}

void EmptyStateView::setContent(const QString &iconName, const QString &title,
                                const QString &description)
{
    QColor tint = palette().color(QPalette::WindowText);
    tint.setAlphaF(0.45f);
    m_icon->setPixmap(SymbolIcon::tinted(iconName, tint, 48, devicePixelRatioF()));
    m_title->setText(title);
    m_description->setText(description);
}

QString EmptyStateView::title() const
{
    return m_title->text();
}

QString EmptyStateView::description() const
{
    return m_description->text();
}

} // namespace quillory
