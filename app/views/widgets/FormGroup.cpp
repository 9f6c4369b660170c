#include <views/widgets/FormGroup.h>

#include <views/widgets/RowButton.h>
#include <views/widgets/SheetParts.h>

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace quillory {

FormGroup::FormGroup(const QString &title, QWidget *parent)
    : QWidget(parent), m_box(new QFrame(this)), m_rows(new QVBoxLayout(m_box))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    if (!title.isEmpty()) {
        QLabel *heading = SheetParts::sectionTitle(title, this);
        heading->setObjectName(QStringLiteral("formGroupTitle"));
        layout->addWidget(heading);
    }
    m_box->setObjectName(QStringLiteral("formGroupBox"));
    // The box stands out from the window the way grouped forms do on every desktop.
    m_box->setAutoFillBackground(true);
    m_box->setBackgroundRole(QPalette::Base);
    static_cast<QFrame *>(m_box)->setFrameShape(QFrame::StyledPanel);
    m_rows->setContentsMargins(4, 4, 4, 4);
    m_rows->setSpacing(0);
    layout->addWidget(m_box);
}

QVBoxLayout *FormGroup::newRow()
{
    // The line above a row belongs to it, so a hidden row leaves no empty line behind.
    auto *frame = new QWidget(m_box);
    auto *layout = new QVBoxLayout(frame);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    if (m_rows->count() > 0) {
        auto *line = new QFrame(frame);
        line->setFrameShape(QFrame::HLine);
        line->setFrameShadow(QFrame::Plain);
        line->setForegroundRole(QPalette::Midlight);
        layout->addWidget(line);
    }
    m_rows->addWidget(frame);
    return layout;
}

void FormGroup::setRowVisible(QWidget *row, bool visible)
{
    for (QWidget *w = row; w != nullptr && w != m_box; w = w->parentWidget()) {
        if (w->parentWidget() == m_box) {
            w->setVisible(visible);
            return;
        }
    }
}

QLabel *FormGroup::addValueRow(const QString &label, const QString &value)
{
    QVBoxLayout *frame = newRow();
    auto *row = new QWidget;
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(8, 8, 8, 8);
    auto *name = new QLabel(label, row);
    name->setTextFormat(Qt::PlainText);
    auto *valueLabel = new QLabel(value, row);
    valueLabel->setTextFormat(Qt::PlainText);
    valueLabel->setForegroundRole(QPalette::PlaceholderText);
    valueLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    name->setBuddy(valueLabel);
    layout->addWidget(name);
    layout->addStretch(1);
    layout->addWidget(valueLabel);
    frame->addWidget(row);
    return valueLabel;
}

RowButton *FormGroup::addButtonRow(const QString &symbol, const QString &text)
{
    auto *row = new RowButton(symbol, text);
    newRow()->addWidget(row);
    return row;
}

void FormGroup::addRow(QWidget *row)
{
    // Inset here, so every row keeps the same margins whatever its widget draws.
    auto *inset = new QHBoxLayout;
    inset->setContentsMargins(8, 6, 8, 6);
    inset->addWidget(row);
    newRow()->addLayout(inset);
}

void FormGroup::setFooter(const QString &text)
{
    if (m_footer == nullptr) {
        m_footer = SheetParts::footnote(text, this);
        m_footer->setObjectName(QStringLiteral("formGroupFooter"));
        layout()->addWidget(m_footer);
    }
    m_footer->setText(text);
}

} // namespace quillory
