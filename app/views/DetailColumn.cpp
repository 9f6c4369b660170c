#include "DetailColumn.h"

#include "EmptyStateView.h"
#include "ItemDelegate.h"

#include <Item.h>

#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace quillory {

DetailColumn::DetailColumn(QWidget *parent)
    : QWidget(parent), m_stack(new QStackedWidget(this)), m_empty(new EmptyStateView(this)),
      m_summary(new QWidget(this)), m_picture(new QLabel(m_summary)),
      m_title(new QLabel(m_summary)), m_kind(new QLabel(m_summary)), m_link(new QLabel(m_summary)),
      m_note(new QLabel(m_summary))
{
    m_empty->setContent(QStringLiteral("sidebar.right"), QStringLiteral("Select an Item"),
                        QStringLiteral("Choose an item from the list to view details"));
    QFont titleFont = m_title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.3);
    titleFont.setWeight(QFont::Bold);
    m_title->setFont(titleFont);
    m_title->setWordWrap(true);
    m_link->setWordWrap(true);
    m_link->setOpenExternalLinks(true);
    m_note->setWordWrap(true);
    m_kind->setEnabled(false);
    m_picture->setAlignment(Qt::AlignCenter);

    auto *summary = new QVBoxLayout(m_summary);
    summary->setContentsMargins(20, 20, 20, 20);
    summary->setSpacing(10);
    for (QWidget *w : std::initializer_list<QWidget *>{m_picture, m_title, m_kind, m_link, m_note})
        summary->addWidget(w);
    summary->addStretch(1);

    m_stack->addWidget(m_empty);
    m_stack->addWidget(m_summary);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_stack);
    setMinimumWidth(260);
}

bool DetailColumn::isShowingEmptyState() const
{
    return m_stack->currentWidget() == m_empty;
}

void DetailColumn::showItem(const Item *item)
{
    if (item == nullptr) {
        m_stack->setCurrentWidget(m_empty);
        return;
    }
    QPixmap picture(320, 200);
    picture.fill(Qt::transparent);
    {
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        QImage image;
        if (const auto thumb = item->thumbnailData())
            image.loadFromData(*thumb);
        if (image.isNull())
            ItemDelegate::paintPlaceholder(&painter, picture.rect(), *item, 12);
        else
            painter.drawImage(picture.rect(), image.scaled(picture.size(), Qt::KeepAspectRatio,
                                                           Qt::SmoothTransformation));
    }
    m_picture->setPixmap(picture);
    m_title->setText(item->title());
    m_kind->setText(item->type().displayName() + QStringLiteral(" \u00B7 Added ") +
                    QLocale().toString(item->createdAt().toLocalTime(), QLocale::ShortFormat));
    if (const auto url = item->urlString()) {
        m_link->setText(QStringLiteral("<a href=\"%1\">%2</a>")
                            .arg(url->toHtmlEscaped(), url->toHtmlEscaped()));
        m_link->show();
    } else {
        m_link->hide();
    }
    m_note->setText(item->note().value_or(QString()));
    m_note->setVisible(item->note().has_value());
    m_stack->setCurrentWidget(m_summary);
}

} // namespace quillory
