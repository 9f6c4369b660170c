#include <share/ShareSheet.h>

#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringListModel>
#include <QVBoxLayout>

namespace quillory {

namespace {

QLabel *textLabel(const QString &text, qreal scale, qreal opacity, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * scale);
    label->setFont(font);
    QPalette palette = label->palette();
    QColor color = palette.color(QPalette::WindowText);
    color.setAlphaF(opacity);
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    return label;
}

} // namespace

ShareSheet::ShareSheet(const QList<SharedItem> &items, QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Dropslip"));
    setFixedSize(400, 320);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 12);
    layout->setSpacing(0);
    if (items.isEmpty()) {
        layout->addWidget(buildEmptyState(), 1);
    } else {
        layout->addWidget(buildList(items), 1);
        layout->addWidget(buildNote());
    }

    auto *buttons = new QHBoxLayout;
    buttons->setContentsMargins(16, 8, 16, 0);
    buttons->addStretch(1);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("cancel"));
    m_cancel->setAutoDefault(false);
    m_save = new QPushButton(QStringLiteral("Save"), this);
    m_save->setObjectName(QStringLiteral("save"));
    m_save->setDefault(true);
    m_save->setEnabled(!items.isEmpty());
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_save);
    layout->addLayout(buttons);

    connect(m_cancel, &QPushButton::clicked, this, &ShareSheet::reject);
    connect(m_save, &QPushButton::clicked, this, [this] {
        if (m_saving)
            return;
        m_saving = true; // never reset: one share is saved once
        m_save->setEnabled(false);
        m_cancel->setEnabled(false);
        emit saveRequested(m_note != nullptr ? m_note->toPlainText() : QString());
    });
}

QWidget *ShareSheet::buildList(const QList<SharedItem> &items)
{
    QStringList titles;
    for (const SharedItem &item : items)
        titles << item.title;
    auto *list = new QListView(this);
    list->setObjectName(QStringLiteral("items"));
    list->setModel(new QStringListModel(titles, list));
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setSelectionMode(QAbstractItemView::NoSelection);
    list->setFocusPolicy(Qt::NoFocus);
    list->setTextElideMode(Qt::ElideRight);
    list->setUniformItemSizes(true);
    list->setSpacing(4);
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    list->setFrameShape(QFrame::NoFrame);
    list->setStyleSheet(QStringLiteral(
        "QListView { padding: 8px; background: palette(window); }"
        "QListView::item { padding: 6px 12px; border-radius: 6px; background: palette(base); }"));
    return list;
}

QWidget *ShareSheet::buildNote()
{
    auto *section = new QWidget(this);
    auto *layout = new QVBoxLayout(section);
    layout->setContentsMargins(12, 8, 12, 4);
    layout->setSpacing(6);
    layout->addWidget(textLabel(QStringLiteral("Add a note (optional)"), 0.9, 0.6, section));
    m_note = new QPlainTextEdit(section);
    m_note->setObjectName(QStringLiteral("note"));
    m_note->setPlaceholderText(QStringLiteral("Note..."));
    m_note->setTabChangesFocus(true);
    m_note->installEventFilter(this);
    layout->addWidget(m_note);
    connect(m_note, &QPlainTextEdit::textChanged, this, &ShareSheet::fitNoteHeight);
    fitNoteHeight();
    return section;
}

void ShareSheet::fitNoteHeight()
{
    // Grows with its text from two lines to four, then scrolls.
    const int lineHeight = m_note->fontMetrics().lineSpacing();
    const int lines = std::clamp(int(m_note->document()->size().height()), 2, 4);
    const int frame = 2 * m_note->frameWidth() + int(2 * m_note->document()->documentMargin());
    m_note->setFixedHeight(lines * lineHeight + frame);
}

QWidget *ShareSheet::buildEmptyState()
{
    auto *empty = new QWidget(this);
    empty->setObjectName(QStringLiteral("emptyState"));
    auto *column = new QVBoxLayout(empty);
    column->setSpacing(12);
    column->addStretch(1);
    auto *icon = new QLabel(empty);
    QIcon symbol = QIcon::fromTheme(QStringLiteral("insert-link"),
                                    QIcon::fromTheme(QStringLiteral("emblem-shared")));
    icon->setPixmap(symbol.pixmap(48, 48, QIcon::Disabled));
    icon->setAlignment(Qt::AlignCenter);
    column->addWidget(icon);
    for (auto [text, scale, opacity] : {std::tuple{"No supported content", 1.0, 0.6},
                                        std::tuple{"Cancel to close.", 0.85, 0.4}}) {
        QLabel *label = textLabel(QString::fromLatin1(text), scale, opacity, empty);
        label->setAlignment(Qt::AlignCenter);
        column->addWidget(label);
    }
    column->addStretch(1);
    return empty;
}

bool ShareSheet::eventFilter(QObject *watched, QEvent *event)
{
    // As in a chat's message field: Enter sends, Shift+Enter starts a new line.
    if (watched == m_note && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            !(key->modifiers() & Qt::ShiftModifier)) {
            m_save->click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void ShareSheet::reject()
{
    if (m_saving)
        return;
    emit cancelRequested();
    QDialog::reject();
}

} // namespace quillory
