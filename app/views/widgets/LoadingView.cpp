#include <views/widgets/LoadingView.h>

#include <views/widgets/BusyIndicator.h>

#include <QLabel>
#include <QVBoxLayout>

namespace quillory {

LoadingView::LoadingView(const QString &message, QWidget *parent)
    : QWidget(parent), m_indicator(new BusyIndicator(this)), m_label(new QLabel(message, this))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);

    m_indicator->setDiameter(BusyIndicator::normalSize * 3 / 2);
    m_indicator->setAccessibleName(message);

    QFont font = m_label->font();
    font.setPointSizeF(font.pointSizeF() * 0.9);
    m_label->setFont(font);
    m_label->setForegroundRole(QPalette::PlaceholderText);
    m_label->setAlignment(Qt::AlignHCenter);
    m_label->setWordWrap(true);
    m_label->setVisible(!message.isEmpty());

    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(16);
    layout->addStretch(1);
    layout->addWidget(m_indicator, 0, Qt::AlignHCenter);
    layout->addWidget(m_label, 0, Qt::AlignHCenter);
    layout->addStretch(1);
}

LoadingView::~LoadingView() = default;

QString LoadingView::message() const
{
    return m_label->text();
}

void LoadingView::setMessage(const QString &message)
{
    m_label->setText(message);
    m_label->setVisible(!message.isEmpty());
    m_indicator->setAccessibleName(message);
}

} // namespace quillory
