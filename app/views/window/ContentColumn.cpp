#include <views/window/ContentColumn.h>

#include <views/widgets/DisplayText.h>
#include <views/widgets/EmptyStateView.h>
#include <views/widgets/TagDragItem.h>
#include <views/window/ContentHeader.h>
#include <views/window/ItemDelegate.h>
#include <views/window/ItemGridView.h>
#include <views/window/ItemListModel.h>

#include <intake/ClipboardReader.h>
#include <model/Item.h>
#include <state/AppState.h>

#include <QDragEnterEvent>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace quillory {

namespace {

constexpr int minCardWidth = 180;
constexpr int maxCardWidth = 220;
constexpr int gap = 16;

// The outline that tells a dragging user the column will take what they hold.
class DropHighlight final : public QWidget
{
public:
    explicit DropHighlight(QWidget *parent) : QWidget(parent)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        hide();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QColor fill = palette().color(QPalette::Highlight);
        painter.setPen(QPen(fill, 2));
        fill.setAlphaF(0.06f);
        painter.setBrush(fill);
        painter.drawRoundedRect(QRectF(rect()).adjusted(4, 4, -4, -4), 10, 10);
    }
};

} // namespace

ContentColumn::ContentColumn(AppState &state, ThumbnailCache &thumbnails, QWidget *parent)
    : QWidget(parent), m_state(state), m_title(new QLabel(this)),
      m_header(new ContentHeader(state, this)), m_stack(new QStackedWidget(this)),
      m_empty(new EmptyStateView(this)), m_view(new ItemGridView(this)),
      m_model(new ItemListModel(this)), m_delegate(new ItemDelegate(thumbnails, this)),
      m_dropHighlight(new DropHighlight(this))
{
    setAcceptDrops(true);
    QFont titleFont = m_title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.45);
    titleFont.setWeight(QFont::Bold);
    m_title->setFont(titleFont);
    m_title->setObjectName(QStringLiteral("contentTitle"));
    m_title->setTextFormat(Qt::PlainText);
    m_title->setContentsMargins(14, 10, 14, 0);

    m_view->setModel(m_model);
    m_view->setItemDelegate(m_delegate);
    m_view->setObjectName(QStringLiteral("itemView"));
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->verticalScrollBar()->setSingleStep(24);
    m_view->setFrameShape(QFrame::NoFrame);
    m_view->setContextMenuPolicy(Qt::CustomContextMenu);
    m_view->setMouseTracking(true);
    m_view->viewport()->installEventFilter(this);
    // The selection, not the current row, says what the user chose: a mouse press makes its
    // row current before it selects it, and taking the focus makes the first row current
    // without choosing it. The window's own changes come with these signals blocked.
    connect(m_view->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        const QModelIndexList chosen = m_view->selectionModel()->selectedIndexes();
        emit itemSelected(chosen.isEmpty() ? nullptr : m_model->itemAt(chosen.first().row()));
    });
    connect(m_view, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        const QModelIndex index = m_view->indexAt(at);
        if (Item *item = m_model->itemAt(index.row())) {
            m_view->setCurrentIndex(index);
            emit contextMenuRequested(item, m_view->viewport()->mapToGlobal(at));
        }
    });

    m_stack->addWidget(m_empty);
    m_stack->addWidget(m_view);

    auto *divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Plain);
    divider->setStyleSheet(QStringLiteral("color: palette(midlight);"));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_title);
    layout->addWidget(m_header);
    layout->addWidget(divider);
    layout->addWidget(m_stack, 1);
    setMinimumWidth(300);

    connect(&m_state, &AppState::viewModeChanged, this, &ContentColumn::applyViewMode);
    applyViewMode();
}

void ContentColumn::setTitle(const QString &title)
{
    m_title->setText(DisplayText::bounded(title));
}

QString ContentColumn::title() const
{
    return m_title->text();
}

bool ContentColumn::isShowingEmptyState() const
{
    return m_stack->currentWidget() == m_empty;
}

void ContentColumn::showItems(std::vector<Item *> items, Item *selected,
                              ItemListModel::Snippets snippets)
{
    const int count = int(items.size());
    m_header->setCount(count);
    if (count == 0) {
        if (m_state.searchQuery().isEmpty())
            m_empty->setContent(
                QStringLiteral("tray"), QStringLiteral("No Items"),
                QStringLiteral("Paste a URL, drop a file, or send it with Dropslip"));
        else
            m_empty->setContent(QStringLiteral("magnifyingglass"), QStringLiteral("No Results"),
                                QStringLiteral("Try a different search term"));
    }
    m_stack->setCurrentWidget(count == 0 ? static_cast<QWidget *>(m_empty) : m_view);
    const QSignalBlocker quiet(m_view->selectionModel());
    m_model->setItems(std::move(items), std::move(snippets));
    selectItem(selected);
}

void ContentColumn::selectItem(Item *item)
{
    QItemSelectionModel *selection = m_view->selectionModel();
    const QSignalBlocker quiet(selection);
    // Called on every refresh: a row already chosen, or none, needs no walk of the list.
    const QModelIndex current = selection->currentIndex();
    if (item != nullptr && m_model->itemAt(current.row()) == item &&
        selection->selectedIndexes() == QModelIndexList{current}) {
        scrollToIfRevealing(item, current);
        return;
    }
    const int row = item == nullptr ? -1 : m_model->rowOf(item);
    if (row < 0) {
        // The current row stays: after the chosen item is deleted it is the row beside it,
        // where the arrow keys go on from, instead of the top of the list.
        selection->clearSelection();
        return;
    }
    selection->setCurrentIndex(m_model->index(row), QItemSelectionModel::ClearAndSelect);
    scrollToIfRevealing(item, m_model->index(row));
}

void ContentColumn::focusItems()
{
    if (m_stack->currentWidget() != m_view)
        return;
    m_view->setFocus(Qt::OtherFocusReason);
    QItemSelectionModel *selection = m_view->selectionModel();
    if (!selection->hasSelection() && m_model->rowCount() > 0)
        selection->setCurrentIndex(m_model->index(0), QItemSelectionModel::ClearAndSelect);
}

void ContentColumn::revealItem(Item *item)
{
    m_revealing = item;
    selectItem(item);
}

void ContentColumn::scrollToIfRevealing(const Item *item, const QModelIndex &index)
{
    if (item == nullptr || item != m_revealing)
        return;
    m_revealing = nullptr;
    m_view->scrollTo(index);
}

void ContentColumn::forgetItems(const QList<Record *> &records)
{
    if (records.contains(m_revealing))
        m_revealing = nullptr;
    const QSignalBlocker quiet(m_view->selectionModel());
    m_model->removeItems(records);
}

void ContentColumn::applyViewMode()
{
    const bool grid = m_state.viewMode() == ViewMode::Grid;
    m_delegate->setGridMode(grid);
    if (grid)
        layoutGrid();
    else
        m_view->setRows(ItemDelegate::rowHeight, 1);
}

void ContentColumn::layoutGrid()
{
    if (m_state.viewMode() != ViewMode::Grid)
        return;
    const int width = m_view->viewport()->width() - gap;
    const int columns = std::max(1, width / (minCardWidth + gap));
    const int cardWidth = std::clamp(width / columns - gap, minCardWidth, maxCardWidth);
    m_delegate->setCardWidth(cardWidth);
    m_view->setCards(QSize(cardWidth + gap, ItemDelegate::cardHeight + gap),
                     QSize(cardWidth, ItemDelegate::cardHeight));
}

void ContentColumn::dragEnterEvent(QDragEnterEvent *event)
{
    // A tag is taken card by card, as the moves that follow say where it is held.
    if (event->mimeData()->hasFormat(TagDragItem::mimeType)) {
        if (TagDragItem::fromMimeData(*event->mimeData()).isEmpty())
            return event->ignore();
        return event->acceptProposedAction();
    }
    if (!ClipboardReader::mayOffer(*event->mimeData()))
        return;
    acceptAsCopy(*event);
    showDropHighlight(m_stack->geometry());
}

void ContentColumn::dragMoveEvent(QDragMoveEvent *event)
{
    if (event->mimeData()->hasFormat(TagDragItem::mimeType)) {
        const QModelIndex card = cardAt(event->position().toPoint());
        if (!card.isValid()) {
            m_dropHighlight->hide();
            return event->ignore();
        }
        const QRect area(m_view->viewport()->mapTo(this, m_view->visualRect(card).topLeft()),
                         m_view->visualRect(card).size());
        showDropHighlight(area.adjusted(-4, -4, 4, 4));
        acceptAsCopy(*event);
        return;
    }
    if (ClipboardReader::mayOffer(*event->mimeData()))
        acceptAsCopy(*event);
}

void ContentColumn::dragLeaveEvent(QDragLeaveEvent *)
{
    m_dropHighlight->hide();
}

void ContentColumn::dropEvent(QDropEvent *event)
{
    m_dropHighlight->hide();
    if (event->mimeData()->hasFormat(TagDragItem::mimeType)) {
        Item *item = m_model->itemAt(cardAt(event->position().toPoint()).row());
        if (item == nullptr)
            return event->ignore();
        acceptAsCopy(*event);
        emit tagsDropped(item, *event->mimeData());
        return;
    }
    if (!ClipboardReader::mayOffer(*event->mimeData()))
        return;
    acceptAsCopy(*event);
    emit dropped(*event->mimeData());
}

QModelIndex ContentColumn::cardAt(QPoint position) const
{
    if (m_stack->currentWidget() != m_view)
        return {};
    return m_view->indexAt(m_view->viewport()->mapFrom(this, position));
}

void ContentColumn::showDropHighlight(const QRect &area)
{
    m_dropHighlight->setGeometry(area);
    m_dropHighlight->raise();
    m_dropHighlight->show();
}

void ContentColumn::acceptAsCopy(QDropEvent &event)
{
    // The library keeps its own copy: a file manager told "move" would delete the original.
    event.setDropAction(Qt::CopyAction);
    event.accept();
}

bool ContentColumn::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_view->viewport() && event->type() == QEvent::Resize)
        layoutGrid();
    return QWidget::eventFilter(watched, event);
}

} // namespace quillory
