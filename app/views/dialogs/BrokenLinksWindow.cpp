#include <views/dialogs/BrokenLinksWindow.h>

#include <views/dialogs/BrokenLinksModel.h>
#include <views/widgets/SheetParts.h>

#include <keeping/KeepingQueue.h>
#include <model/LibraryStore.h>
#include <model/Record.h>
#include <pages/KeptPages.h>
#include <text/CountedNoun.h>

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace quillory {

BrokenLinksWindow::BrokenLinksWindow(LibraryStore &store, KeptPages &pages, KeepingQueue *queue,
                                     ItemAction open, ItemAction readCopy, QWidget *parent)
    : QDialog(parent), m_store(store), m_pages(pages), m_open(std::move(open)),
      m_readCopy(std::move(readCopy)), m_model(new BrokenLinksModel(this))
{
    setObjectName(QStringLiteral("brokenLinks"));
    setWindowTitle(QStringLiteral("Broken Links"));
    setWindowFlag(Qt::Window);
    setWindowModality(Qt::NonModal);
    resize(720, 420);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(SheetParts::headline(QStringLiteral("Broken Links"), this));
    m_summary = SheetParts::footnote(QString(), this);
    m_summary->setObjectName(QStringLiteral("brokenLinksSummary"));
    layout->addWidget(m_summary);

    m_list = new QTreeView(this);
    m_list->setObjectName(QStringLiteral("brokenLinksList"));
    m_list->setModel(m_model);
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setAlternatingRowColors(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setTextElideMode(Qt::ElideMiddle);
    QHeaderView *header = m_list->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(BrokenLinksModel::Title, QHeaderView::Stretch);
    header->setSectionResizeMode(BrokenLinksModel::Address, QHeaderView::Stretch);
    header->setSectionResizeMode(BrokenLinksModel::LastSeen, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(BrokenLinksModel::Copy, QHeaderView::ResizeToContents);
    layout->addWidget(m_list, 1);

    auto *buttons = new QDialogButtonBox(this);
    m_show = buttons->addButton(QStringLiteral("Show in Library"), QDialogButtonBox::ActionRole);
    if (m_readCopy)
        m_read = buttons->addButton(QStringLiteral("Read Kept Copy"), QDialogButtonBox::ActionRole);
    QPushButton *close = buttons->addButton(QDialogButtonBox::Close);
    layout->addWidget(buttons);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    connect(m_show, &QPushButton::clicked, this, [this] {
        if (const QUuid id = current(); !id.isNull() && m_open)
            m_open(id);
    });
    if (m_read)
        connect(m_read, &QPushButton::clicked, this, [this] {
            if (const QUuid id = current(); !id.isNull())
                m_readCopy(id);
        });
    connect(m_list, &QTreeView::doubleClicked, this, [this](const QModelIndex &index) {
        if (const QUuid id = m_model->itemAt(index.row()); !id.isNull() && m_open)
            m_open(id);
    });
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &BrokenLinksWindow::updateButtons);
    connect(m_model, &QAbstractItemModel::modelReset, this, &BrokenLinksWindow::updateButtons);

    // While links are checked, the list follows, a little behind.
    m_later.setSingleShot(true);
    m_later.setInterval(1000);
    connect(&m_later, &QTimer::timeout, this, &BrokenLinksWindow::refresh);
    if (queue != nullptr) {
        connect(queue, &KeepingQueue::changed, this, [this] {
            if (!m_later.isActive())
                m_later.start();
        });
    }
    connect(&store, &LibraryStore::recordsRemoved, this, [this](RecordKind kind) {
        if (kind == RecordKind::Item)
            refresh();
    });
    refresh();
}

BrokenLinksWindow::~BrokenLinksWindow() = default;

void BrokenLinksWindow::refresh()
{
    m_refreshing = true;
    m_pages.brokenLinks(this,
                        [this](std::vector<BrokenLink> links) { showLinks(std::move(links)); });
}

void BrokenLinksWindow::showLinks(std::vector<BrokenLink> links)
{
    m_refreshing = false;
    const QUuid selected = current();
    m_model->reset(links, m_store);
    for (int row = 0; row < m_model->rowCount(); ++row) {
        if (!selected.isNull() && m_model->itemAt(row) == selected)
            m_list->selectionModel()->setCurrentIndex(m_model->index(row, 0),
                                                      QItemSelectionModel::ClearAndSelect |
                                                          QItemSelectionModel::Rows);
    }
    const int count = m_model->rowCount();
    m_summary->setText(
        count == 0
            ? QStringLiteral("No broken links. A link counts as broken when its page is gone "
                             "(404 or 410, or a site that no longer exists) on two checks at "
                             "least a day apart; Check Links... in the Library menu asks again.")
            : QStringLiteral("%1 answered that the page is gone on two checks at least a day "
                             "apart. Double-click one to show it in the library.")
                  .arg(CountedNoun::of(count, QStringLiteral("link"), QStringLiteral("links"))));
    updateButtons();
}

QString BrokenLinksWindow::summary() const
{
    return m_summary->text();
}

int BrokenLinksWindow::selectedRow() const
{
    const QModelIndexList rows = m_list->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

QUuid BrokenLinksWindow::current() const
{
    return m_model->itemAt(selectedRow());
}

void BrokenLinksWindow::updateButtons()
{
    const int row = selectedRow();
    m_show->setEnabled(row >= 0);
    if (m_read)
        m_read->setEnabled(row >= 0 && m_model->hasCopyAt(row));
}

} // namespace quillory
