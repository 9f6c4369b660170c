#include <views/settings/TagManagementView.h>

#include <views/dialogs/TagEditorSheet.h>
#include <views/widgets/DisplayText.h>
#include <views/widgets/EmptyStateView.h>
#include <views/widgets/ModelRowWidgets.h>
#include <views/widgets/SheetParts.h>
#include <views/widgets/SymbolIcon.h>
#include <views/widgets/TagChipView.h>

#include <model/LibraryStore.h>
#include <model/LiveList.h>
#include <model/Tag.h>
#include <text/CountedNoun.h>

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QScrollArea>
#include <QStackedWidget>
#include <QToolButton>

namespace quillory {

namespace {

QString countText(int count)
{
    return CountedNoun::of(count, QStringLiteral("item"), QStringLiteral("items"));
}

// One tag: its chip, how many items carry it, and a trash button shown while the pointer
// is over the row or the row has focus. Clicking opens the tag; Delete deletes it.
class ManagedTagRow final : public QAbstractButton
{
public:
    ManagedTagRow(const Tag &tag, QWidget *parent) : QAbstractButton(parent)
    {
        setObjectName(QStringLiteral("tagRow"));
        // A list row, not a push button: children take the window's text colours.
        setBackgroundRole(QPalette::Window);
        setAttribute(Qt::WA_Hover);
        setCursor(Qt::PointingHandCursor);
        setContextMenuPolicy(Qt::CustomContextMenu);
        m_chip = new TagChipView(tag, TagChipSize::Medium, this);
        m_chip->setAttribute(Qt::WA_TransparentForMouseEvents);

        m_count = new QLabel(this);
        m_count->setObjectName(QStringLiteral("itemCount"));
        QPalette dim = m_count->palette();
        QColor text = dim.color(QPalette::WindowText);
        text.setAlphaF(0.6f);
        dim.setColor(QPalette::WindowText, text);
        m_count->setPalette(dim);
        QFont small = m_count->font();
        small.setPointSizeF(small.pointSizeF() * 0.85);
        m_count->setFont(small);

        m_delete = new QToolButton(this);
        m_delete->setObjectName(QStringLiteral("deleteTag"));
        m_delete->setIcon(SymbolIcon::icon(QStringLiteral("trash")));
        m_delete->setIconSize(QSize(14, 14));
        m_delete->setAutoRaise(true);
        m_delete->setFocusPolicy(Qt::NoFocus);
        m_delete->setToolTip(TagManagementView::tr("Delete"));
        QSizePolicy keep = m_delete->sizePolicy();
        keep.setRetainSizeWhenHidden(true);
        m_delete->setSizePolicy(keep);
        m_delete->hide();

        auto *layout = new QHBoxLayout(this);
        layout->setContentsMargins(8, 6, 6, 6);
        layout->setSpacing(8);
        layout->addWidget(m_chip);
        layout->addStretch(1);
        layout->addWidget(m_count);
        layout->addWidget(m_delete);
    }

    QUuid tagId() const { return m_chip->tagId(); }
    QToolButton &deleteButton() const { return *m_delete; }

    void setState(const Tag &tag)
    {
        m_chip->updateFromTag(tag);
        m_count->setText(countText(tag.itemCount()));
        setAccessibleName(DisplayText::bounded(tag.name()));
        m_delete->setAccessibleName(
            TagManagementView::tr("Delete %1").arg(DisplayText::bounded(tag.name())));
    }

    std::function<void()> onDelete;

protected:
    void enterEvent(QEnterEvent *event) override
    {
        QAbstractButton::enterEvent(event);
        updateHover();
    }
    void leaveEvent(QEvent *event) override
    {
        QAbstractButton::leaveEvent(event);
        updateHover();
    }
    void focusInEvent(QFocusEvent *event) override
    {
        QAbstractButton::focusInEvent(event);
        updateHover();
    }
    void focusOutEvent(QFocusEvent *event) override
    {
        QAbstractButton::focusOutEvent(event);
        updateHover();
    }

    void keyPressEvent(QKeyEvent *event) override
    {
        if ((event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace) && onDelete)
            onDelete();
        else
            QAbstractButton::keyPressEvent(event);
    }

    void paintEvent(QPaintEvent *) override { SheetParts::paintRowHighlight(*this); }

private:
    void updateHover() { m_delete->setVisible(underMouse() || hasFocus()); }

    TagChipView *m_chip;
    QLabel *m_count;
    QToolButton *m_delete;
};

} // namespace

TagManagementView::TagManagementView(LibraryStore &store, QWidget *parent)
    : QWidget(parent), m_store(store), m_tags(LiveList::tagsBySortOrder(store))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(12);
    layout->addWidget(buildHeader());
    layout->addWidget(buildList(), 1);

    // Rows follow m_tags at once. Counts follow the items' tags and archived flags, once per
    // turn of the event loop however many items change in it.
    m_countsRefresh.setSingleShot(true);
    m_countsRefresh.setInterval(0);
    connect(&m_countsRefresh, &QTimer::timeout, m_rows, &ModelRowWidgets::showAll);
    const auto countItems = [this](RecordKind kind) {
        if (kind == RecordKind::Item)
            m_countsRefresh.start();
    };
    connect(&m_store, &LibraryStore::recordsInserted, this, countItems);
    connect(&m_store, &LibraryStore::recordsRemoved, this, countItems);
    connect(&m_store, &LibraryStore::recordChanged, this,
            [countItems](Record *record) { countItems(record->kind()); });
}

TagManagementView::~TagManagementView() = default;

QWidget *TagManagementView::buildHeader()
{
    auto *header = new QWidget(this);
    auto *title = new QLabel(tr("Tags"), header);
    title->setObjectName(QStringLiteral("title"));
    QFont titleFont = title->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.15);
    title->setFont(titleFont);

    m_newTag = new QToolButton(header);
    m_newTag->setObjectName(QStringLiteral("newTag"));
    m_newTag->setIcon(SymbolIcon::icon(QStringLiteral("plus")));
    m_newTag->setAutoRaise(true);
    m_newTag->setToolTip(tr("New Tag"));
    m_newTag->setAccessibleName(tr("New Tag"));
    connect(m_newTag, &QToolButton::clicked, this, &TagManagementView::createTag);

    auto *layout = new QHBoxLayout(header);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(title);
    layout->addStretch(1);
    layout->addWidget(m_newTag);
    return header;
}

QWidget *TagManagementView::buildList()
{
    m_stack = new QStackedWidget(this);
    m_empty = new EmptyStateView(m_stack);
    m_empty->setContent(QStringLiteral("tag"), tr("No Tags"),
                        tr("Create tags to organize your items"));

    auto *scroll = new QScrollArea(m_stack);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto *content = new QWidget(scroll);
    auto *rowsLayout = new QVBoxLayout(content);
    rowsLayout->setContentsMargins(0, 0, 0, 0);
    rowsLayout->setSpacing(2);
    rowsLayout->addStretch(1);
    scroll->setWidget(content);
    m_listPage = scroll;

    m_stack->addWidget(m_empty);
    m_stack->addWidget(m_listPage);
    m_rows = new ModelRowWidgets(
        *m_tags, *rowsLayout,
        [this](const QModelIndex &index, QWidget *parent) { return makeRow(index, parent); },
        [this](QWidget &row, const QModelIndex &index) { showRow(row, index); }, this);
    const auto showPage = [this](int count) {
        m_stack->setCurrentWidget(count == 0 ? static_cast<QWidget *>(m_empty) : m_listPage);
    };
    showPage(m_rows->count());
    connect(m_rows, &ModelRowWidgets::countChanged, m_stack, showPage);
    return m_stack;
}

void TagManagementView::refreshNow()
{
    if (m_countsRefresh.isActive()) {
        m_countsRefresh.stop();
        m_rows->showAll();
    }
}

QWidget *TagManagementView::makeRow(const QModelIndex &index, QWidget *parent)
{
    auto *row = new ManagedTagRow(*m_tags->tag(index.row()), parent);
    const QUuid id = row->tagId();
    connect(row, &QAbstractButton::clicked, this, [this, id] { editTag(id); });
    connect(&row->deleteButton(), &QToolButton::clicked, this, [this, id] { deleteTag(id); });
    row->onDelete = [this, id] { deleteTag(id); };
    connect(row, &QWidget::customContextMenuRequested, this,
            [this, row, id](const QPoint &at) { showRowMenu(id, row->mapToGlobal(at)); });
    return row;
}

void TagManagementView::showRow(QWidget &row, const QModelIndex &index) const
{
    static_cast<ManagedTagRow &>(row).setState(*m_tags->tag(index.row()));
}

// A sheet or menu runs its own event loop, often from inside the handlers of the row it is
// about: the rows it removes must outlive it.
void TagManagementView::runSheet(QDialog &sheet)
{
    m_rows->hold();
    m_sheets.run(sheet);
    m_rows->release();
}

void TagManagementView::createTag()
{
    TagEditorSheet sheet(m_store, nullptr, this);
    runSheet(sheet);
}

void TagManagementView::editTag(const QUuid &tagId)
{
    Tag *tag = m_store.tag(tagId);
    if (tag == nullptr)
        return;
    TagEditorSheet sheet(m_store, tag, this);
    runSheet(sheet);
}

void TagManagementView::deleteTag(const QUuid &tagId)
{
    m_store.remove(m_store.tag(tagId));
}

void TagManagementView::showRowMenu(const QUuid &tagId, const QPoint &globalPosition)
{
    QMenu menu(this);
    QAction *edit = menu.addAction(SymbolIcon::icon(QStringLiteral("pencil")), tr("Edit"));
    menu.addSeparator();
    QAction *remove = menu.addAction(SymbolIcon::icon(QStringLiteral("trash")), tr("Delete"));
    m_rows->hold();
    QAction *chosen = menu.exec(globalPosition);
    if (chosen == edit)
        editTag(tagId);
    else if (chosen == remove)
        deleteTag(tagId);
    m_rows->release();
}

} // namespace quillory
