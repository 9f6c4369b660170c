#include <views/window/DetailColumn.h>

#include <views/widgets/EmptyStateView.h>

#include <QStackedWidget>
#include <QVBoxLayout>

namespace quillory {

DetailColumn::DetailColumn(LibraryStore &store, const ItemActions &actions,
                           const SheetRunner &sheets, QWidget *parent)
    : QWidget(parent), m_stack(new QStackedWidget(this)), m_empty(new EmptyStateView(this)),
      m_detail(new ItemDetailView(store, actions, sheets, this))
{
    m_empty->setContent(QStringLiteral("sidebar.right"), QStringLiteral("Select an Item"),
                        QStringLiteral("Choose an item from the list to view details"));
    m_stack->addWidget(m_empty);
    m_stack->addWidget(m_detail);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_stack);
    setMinimumWidth(280);
}

bool DetailColumn::isShowingEmptyState() const
{
    return m_stack->currentWidget() == m_empty;
}

void DetailColumn::showItem(Item *item)
{
    m_detail->setItem(item);
    m_stack->setCurrentWidget(item == nullptr ? static_cast<QWidget *>(m_empty) : m_detail);
}

} // namespace quillory
