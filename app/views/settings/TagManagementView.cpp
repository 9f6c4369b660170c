#include <views/settings/TagManagementView.h>

#include <views/dialogs/TagEditorSheet.h>
#include <views/widgets/DisplayText.h>
#include <views/widgets/EmptyStateView.h>
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

    m_refresh.setSingleShot(true);
    m_refresh.setInterval(0);
    connect(&m_refresh, &QTimer::timeout, this, &TagManagementView::refresh);
    // Counts depend on items too (their tags and archived flags), so every change counts.
    connect(&m_store, &LibraryStore::recordsInserted, this, &TagManagementView::scheduleRefresh);
    connect(&m_store, &LibraryStore::recordChanged, this, &TagManagementView::scheduleRefresh);
    connect(&m_store, &LibraryStore::recordsRemoved, this, &TagManagementView::scheduleRefresh);
    refresh();
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
    m_rowsLayout = new QVBoxLayout(content);
    m_rowsLayout->setContentsMargins(0, 0, 0, 0);
    m_rowsLayout->setSpacing(2);
    m_rowsLayout->addStretch(1);
    scroll->setWidget(content);
    m_listPage = scroll;

    m_stack->addWidget(m_empty);
    m_stack->addWidget(m_listPage);
    return m_stack;
}

void TagManagementView::scheduleRefresh()
{
    m_refresh.start();
}

void TagManagementView::refreshNow()
{
    if (m_refresh.isActive())
        refresh();
}

void TagManagementView::refresh()
{
    m_refresh.stop();
    if (m_busy > 0)
        return;
    const auto &tags = m_tags->records();
    bool sameTags = qsizetype(tags.size()) == m_rows.size();
    for (size_t i = 0; sameTags && i < tags.size(); ++i)
        sameTags = static_cast<ManagedTagRow *>(m_rows[qsizetype(i)])->tagId() == tags[i]->id();
    if (!sameTags)
        rebuildRows();
    for (qsizetype i = 0; i < m_rows.size(); ++i)
        static_cast<ManagedTagRow *>(m_rows[i])->setState(*static_cast<Tag *>(tags[size_t(i)]));
    m_stack->setCurrentWidget(tags.empty() ? static_cast<QWidget *>(m_empty) : m_listPage);
}

void TagManagementView::rebuildRows()
{
    qDeleteAll(m_rows);
    m_rows.clear();
    const auto &tags = m_tags->records();
    for (size_t i = 0; i < tags.size(); ++i) {
        auto *row =
            new ManagedTagRow(*static_cast<const Tag *>(tags[i]), m_rowsLayout->parentWidget());
        const QUuid id = tags[i]->id();
        connect(row, &QAbstractButton::clicked, this, [this, id] { editTag(id); });
        connect(&row->deleteButton(), &QToolButton::clicked, this, [this, id] { deleteTag(id); });
        row->onDelete = [this, id] { deleteTag(id); };
        connect(row, &QWidget::customContextMenuRequested, this,
                [this, row, id](const QPoint &at) { showRowMenu(id, row->mapToGlobal(at)); });
        m_rowsLayout->insertWidget(int(i), row);
        // Shown now rather than on the next turn of the event loop, so a row is never
        // missing for a moment.
        row->show();
        m_rows.append(row);
    }
}

void TagManagementView::runSheet(QDialog &sheet)
{
    ++m_busy;
    m_sheets.run(sheet);
    --m_busy;
    scheduleRefresh();
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
    ++m_busy;
    QAction *chosen = menu.exec(globalPosition);
    --m_busy;
    if (chosen == edit)
        editTag(tagId);
    else if (chosen == remove)
        deleteTag(tagId);
    scheduleRefresh();
}

} // namespace quillory
