#include <views/window/DuplicateNotice.h>

#include <views/widgets/DisplayText.h>
#include <views/widgets/SymbolIcon.h>

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <model/Item.h>

namespace quillory {

DuplicateNotice::DuplicateNotice(QWidget *parent)
    : QWidget(parent), m_message(new QLabel(this)),
      m_show(new QPushButton(QStringLiteral("Show Existing Item"), this)),
      m_close(new QPushButton(this))
{
    setObjectName(QStringLiteral("duplicateNotice"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QStringLiteral("#duplicateNotice { background: rgba(0, 122, 255, 40); }"));
    m_message->setTextFormat(Qt::PlainText);
    m_message->setObjectName(QStringLiteral("duplicateMessage"));
    m_show->setObjectName(QStringLiteral("showExistingItem"));
    m_close->setObjectName(QStringLiteral("closeDuplicateNotice"));
    m_close->setIcon(SymbolIcon::icon(QStringLiteral("xmark")));
    m_close->setFlat(true);
    m_close->setToolTip(QStringLiteral("Close"));
    m_close->setAccessibleName(QStringLiteral("Close"));
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(12, 4, 6, 4);
    row->addWidget(m_message, 1);
    row->addWidget(m_show);
    row->addWidget(m_close);
    m_timeout.setSingleShot(true);
    m_timeout.setInterval(visibleMs);
    connect(&m_timeout, &QTimer::timeout, this, &QWidget::hide);
    connect(m_close, &QPushButton::clicked, this, &QWidget::hide);
    connect(m_show, &QPushButton::clicked, this, [this] {
        hide();
        emit showRequested(m_itemId);
    });
    hide();
}

void DuplicateNotice::announce(const Item &existing)
{
    m_itemId = existing.id();
    m_message->setText(
        QStringLiteral("This page was already in your library, as \u201C%1\u201D, added %2.")
            .arg(DisplayText::bounded(existing.title(), 80),
                 QLocale().toString(existing.createdAt().toLocalTime().date(),
                                    QLocale::ShortFormat)));
    show();
    m_timeout.start();
}

} // namespace quillory
