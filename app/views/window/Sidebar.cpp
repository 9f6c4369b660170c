#include <views/window/Sidebar.h>

#include <views/widgets/ClearButton.h>
#include <views/widgets/SymbolIcon.h>
#include <views/window/SidebarDelegate.h>

#include <QAbstractItemView>
#include <QCompleter>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStringListModel>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace quillory {

Sidebar::Sidebar(QWidget *parent)
    : QWidget(parent), m_model(new SidebarModel(this)), m_search(new QLineEdit(this)),
      m_recentSearches(new QStringListModel(this)),
      m_recentPopup(new QCompleter(m_recentSearches, this)), m_newFolder(new QToolButton(this)),
      m_tree(new QTreeView(this))
{
    auto *title = new QLabel(QStringLiteral("Quillory"), this);
    QFont titleFont = title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.3);
    titleFont.setWeight(QFont::Bold);
    title->setFont(titleFont);

    m_newFolder->setIcon(SymbolIcon::icon(QStringLiteral("folder.badge.plus")));
    m_newFolder->setToolTip(QStringLiteral("New Folder"));
    // A screen reader reads a tooltip as a description: an icon alone has no name to say.
    m_newFolder->setAccessibleName(QStringLiteral("New Folder"));
    m_newFolder->setAutoRaise(true);
    m_newFolder->setObjectName(QStringLiteral("newFolderButton"));
    connect(m_newFolder, &QToolButton::clicked, this, &Sidebar::newFolderRequested);

    m_search->setPlaceholderText(QStringLiteral("Search..."));
    ClearButton::enable(*m_search);
    // Named, since the field shows it as a button a screen reader would announce bare.
    m_search
        ->addAction(SymbolIcon::icon(QStringLiteral("magnifyingglass")), QLineEdit::LeadingPosition)
        ->setText(QStringLiteral("Search"));
    m_search->setAccessibleName(QStringLiteral("Search"));
    m_search->setObjectName(QStringLiteral("searchField"));
    m_search->installEventFilter(this);
    // Not the field's own completer: that one would open while the user types, and take the
    // Down and Return that go on to the results.
    m_recentPopup->setObjectName(QStringLiteral("recentSearches"));
    m_recentPopup->setCompletionMode(QCompleter::UnfilteredPopupCompletion);
    m_recentPopup->setWidget(m_search);
    connect(m_recentPopup, qOverload<const QString &>(&QCompleter::activated), m_search,
            &QLineEdit::setText);
    connect(m_search, &QLineEdit::textEdited, this, [this] { m_recentPopup->popup()->hide(); });

    m_tree->setModel(m_model);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &Sidebar::openAsLeft);
    m_delegate = new SidebarDelegate(m_tree);
    m_tree->setItemDelegate(m_delegate);
    m_tree->setHeaderHidden(true);
    m_tree->setSelectionMode(QAbstractItemView::NoSelection);
    // Reached with Tab and walked with the arrow keys; a click leaves the focus where it was,
    // in the list or the search field.
    m_tree->setFocusPolicy(Qt::TabFocus);
    m_tree->installEventFilter(this);
    m_tree->setFrameShape(QFrame::NoFrame);
    m_tree->setIndentation(14);
    m_tree->setMouseTracking(true);
    m_tree->setAnimated(true);
    m_tree->setObjectName(QStringLiteral("sidebarTree"));
    m_tree->setDragEnabled(true);
    m_tree->setDragDropMode(QAbstractItemView::DragOnly);
    m_tree->setDefaultDropAction(Qt::CopyAction);
    m_tree->viewport()->setAutoFillBackground(false);
    connect(m_tree, &QTreeView::clicked, this, &Sidebar::onClicked);
    m_tree->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_tree, &QTreeView::customContextMenuRequested, this, [this](const QPoint &at) {
        const QModelIndex index = m_tree->indexAt(at);
        const auto kind = SidebarModel::RowKind(index.data(SidebarModel::KindRole).toInt());
        const QUuid id = index.data(SidebarModel::IdRole).toUuid();
        if (!m_editable)
            return;
        QMenu menu(this);
        if (kind == SidebarModel::RowKind::Tag) {
            menu.addAction(SymbolIcon::icon(QStringLiteral("pencil")),
                           QStringLiteral("Edit Tag..."), this,
                           [this, id] { emit editTagRequested(id); });
            menu.addAction(SymbolIcon::icon(QStringLiteral("trash")), QStringLiteral("Delete Tag"),
                           this, [this, id] { emit deleteTagRequested(id); });
            menu.exec(m_tree->viewport()->mapToGlobal(at));
            return;
        }
        if (kind != SidebarModel::RowKind::Folder)
            return;
        menu.addAction(SymbolIcon::icon(QStringLiteral("pencil")), QStringLiteral("Edit Folder..."),
                       this, [this, id] { emit editFolderRequested(id); });
        menu.addAction(SymbolIcon::icon(QStringLiteral("trash")), QStringLiteral("Delete Folder"),
                       this, [this, id] { emit deleteFolderRequested(id); });
        menu.exec(m_tree->viewport()->mapToGlobal(at));
    });
    connect(m_tree, &QTreeView::expanded, this, [this](const QModelIndex &i) {
        if (i.data(SidebarModel::KindRole).toInt() == int(SidebarModel::RowKind::Folder))
            m_expandedFolders.insert(i.data(SidebarModel::IdRole).toUuid());
        else
            m_collapsedSections.remove(i.data().toString());
    });
    connect(m_tree, &QTreeView::collapsed, this, [this](const QModelIndex &i) {
        if (i.data(SidebarModel::KindRole).toInt() == int(SidebarModel::RowKind::Folder))
            m_expandedFolders.remove(i.data(SidebarModel::IdRole).toUuid());
        else
            m_collapsedSections.insert(i.data().toString());
    });

    auto *top = new QHBoxLayout;
    top->addWidget(title);
    top->addStretch(1);
    top->addWidget(m_newFolder);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 6, 6);
    layout->setSpacing(8);
    layout->addLayout(top);
    layout->addWidget(m_search);
    layout->addWidget(m_tree, 1);
    setMinimumWidth(200);
    setMaximumWidth(300);
}

void Sidebar::update(const LiveList &folders, const LiveList &tags, const LibraryCounts &counts,
                     const SidebarSelection &selection, const QList<Tag *> &filterTags)
{
    // Nothing is painted before this returns, so the tree needs no holding still; holding
    // it would repaint all of it afterwards, where rows updated in place repaint alone.
    const int scroll = m_tree->verticalScrollBar()->value();
    // A moved folder's rows are made again where it lands; the keys stay on it.
    const QModelIndex current = m_tree->currentIndex();
    const auto currentKind = SidebarModel::RowKind(current.data(SidebarModel::KindRole).toInt());
    const QUuid currentId = current.data(SidebarModel::IdRole).toUuid();
    m_model->update(folders, tags, counts, selection, filterTags);
    // Removing the current row moves the keys to a neighbour, so it is looked for by id.
    if (!currentId.isNull() &&
        m_tree->currentIndex().data(SidebarModel::IdRole).toUuid() != currentId) {
        const QModelIndex again = m_model->indexOfId(currentKind, currentId);
        if (again.isValid())
            m_tree->selectionModel()->setCurrentIndex(again, QItemSelectionModel::NoUpdate);
    }
    m_tree->verticalScrollBar()->setValue(scroll);
}

void Sidebar::openAsLeft(const QModelIndex &parent, int first, int last)
{
    // A row comes in new, or with its subtree when a folder is moved or re-ordered: open
    // what the user left open.
    for (int r = first; r <= last; ++r) {
        const QModelIndex row = m_model->index(r, 0, parent);
        const auto kind = SidebarModel::RowKind(row.data(SidebarModel::KindRole).toInt());
        if (kind == SidebarModel::RowKind::Section)
            m_tree->setExpanded(row, !m_collapsedSections.contains(row.data().toString()));
        else if (kind == SidebarModel::RowKind::Folder &&
                 m_expandedFolders.contains(row.data(SidebarModel::IdRole).toUuid()))
            m_tree->setExpanded(row, true);
        restoreExpansion(row);
    }
}

void Sidebar::restoreExpansion(const QModelIndex &parent)
{
    QList<QModelIndex> pending{parent};
    while (!pending.isEmpty()) {
        const QModelIndex at = pending.takeLast();
        for (int r = 0; r < m_model->rowCount(at); ++r) {
            const QModelIndex i = m_model->index(r, 0, at);
            // A closed folder keeps its open sub-folders open for when it opens again.
            if (m_expandedFolders.contains(i.data(SidebarModel::IdRole).toUuid()))
                m_tree->setExpanded(i, true);
            if (m_model->hasChildren(i))
                pending.append(i);
        }
    }
}

bool Sidebar::eventFilter(QObject *watched, QEvent *event)
{
    // Return or Space chooses the row the keys are on, as a click does. Not through
    // activated(), which some styles also send for a single click, and a tag row clicked
    // twice would toggle its filter back.
    if (watched == m_tree && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) &&
            m_tree->currentIndex().isValid()) {
            onClicked(m_tree->currentIndex());
            return true;
        }
    }
    if (watched == m_search && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Down && m_search->text().isEmpty() && offerRecentSearches())
            return true;
        if (key == Qt::Key_Down || key == Qt::Key_Return || key == Qt::Key_Enter) {
            emit resultsRequested();
            return true;
        }
    }
    if (watched == m_search && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton && m_search->text().isEmpty())
        offerRecentSearches();
    return QWidget::eventFilter(watched, event);
}

void Sidebar::setRecentSearches(const QStringList &searches)
{
    m_recentSearches->setStringList(searches);
}

bool Sidebar::offerRecentSearches()
{
    if (m_recentSearches->rowCount() == 0)
        return false;
    m_recentPopup->setCompletionPrefix(QString());
    m_recentPopup->complete();
    return true;
}

void Sidebar::onClicked(const QModelIndex &index)
{
    switch (SidebarModel::RowKind(index.data(SidebarModel::KindRole).toInt())) {
    case SidebarModel::RowKind::Section:
        return;
    case SidebarModel::RowKind::SmartFolder:
        emit smartFolderClicked(
            SmartFolder(SmartFolder::Value(index.data(SidebarModel::SmartFolderRole).toInt())));
        return;
    case SidebarModel::RowKind::Folder: {
        const bool isRoot = index.parent().data(SidebarModel::KindRole).toInt() ==
                            int(SidebarModel::RowKind::Section);
        emit folderClicked(index.data(SidebarModel::IdRole).toUuid(), isRoot);
        return;
    }
    case SidebarModel::RowKind::NewFolder:
        if (m_editable)
            emit newFolderRequested();
        return;
    case SidebarModel::RowKind::Tag:
        emit tagClicked(index.data(SidebarModel::IdRole).toUuid());
        return;
    }
}

void Sidebar::setEditable(bool editable)
{
    m_editable = editable;
    m_newFolder->setVisible(editable);
}

void Sidebar::setCountsShown(bool shown)
{
    if (m_delegate->countsShown() == shown)
        return;
    m_delegate->setCountsShown(shown);
    m_tree->viewport()->update();
}

bool Sidebar::countsShown() const
{
    return m_delegate->countsShown();
}

} // namespace quillory
