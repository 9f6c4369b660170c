#include <views/widgets/ModelRowWidgets.h>

#include <QAbstractItemModel>
#include <QBoxLayout>
#include <QWidget>
#include <utility>

namespace quillory {

ModelRowWidgets::ModelRowWidgets(QAbstractItemModel &model, QBoxLayout &layout, Make make,
                                 Show show, QObject *parent)
    : QObject(parent), m_model(model), m_layout(layout), m_make(std::move(make)),
      m_show(std::move(show))
{
    connect(&model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex &parentIndex, int first, int last) {
                if (!parentIndex.isValid())
                    insert(first, last);
            });
    connect(&model, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex &parentIndex, int first, int last) {
                if (!parentIndex.isValid())
                    remove(first, last);
            });
    connect(&model, &QAbstractItemModel::rowsMoved, this,
            [this](const QModelIndex &from, int first, int last, const QModelIndex &to,
                   int destination) {
                if (!from.isValid() && !to.isValid())
                    move(first, last, destination);
            });
    connect(&model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &topLeft, const QModelIndex &bottomRight) {
                if (topLeft.parent().isValid())
                    return;
                for (int row = topLeft.row(); row <= bottomRight.row() && row < count(); ++row)
                    m_show(*m_widgets[row], m_model.index(row, 0));
            });
    connect(&model, &QAbstractItemModel::modelReset, this, &ModelRowWidgets::reset);
    connect(&model, &QAbstractItemModel::layoutChanged, this, &ModelRowWidgets::reset);
    insert(0, model.rowCount() - 1);
}

ModelRowWidgets::~ModelRowWidgets() = default;

void ModelRowWidgets::showAll()
{
    for (int row = 0; row < count(); ++row)
        m_show(*m_widgets[row], m_model.index(row, 0));
}

void ModelRowWidgets::hold()
{
    ++m_holds;
}

void ModelRowWidgets::release()
{
    if (m_holds == 0 || --m_holds > 0)
        return;
    for (QWidget *widget : std::exchange(m_retired, {}))
        widget->deleteLater();
}

void ModelRowWidgets::insert(int first, int last)
{
    if (first > last)
        return;
    QWidget *parent = m_layout.parentWidget();
    for (int row = first; row <= last; ++row) {
        const QModelIndex index = m_model.index(row, 0);
        QWidget *widget = m_make(index, parent);
        m_show(*widget, index);
        m_widgets.insert(row, widget);
        m_layout.insertWidget(row, widget);
        // Shown now rather than on the next turn of the event loop, so a row is never
        // missing for a moment.
        widget->show();
    }
    orderTabs();
    emit countChanged(count());
}

void ModelRowWidgets::remove(int first, int last)
{
    if (first > last || last >= count())
        return;
    for (int row = last; row >= first; --row)
        retire(m_widgets.takeAt(row));
    emit countChanged(count());
}

void ModelRowWidgets::move(int first, int last, int destination)
{
    if (first > last || last >= count())
        return;
    QList<QWidget *> moving = m_widgets.mid(first, last - first + 1);
    m_widgets.remove(first, moving.size());
    const int at = destination > last ? destination - int(moving.size()) : destination;
    for (qsizetype i = 0; i < moving.size(); ++i) {
        m_widgets.insert(at + i, moving[i]);
        m_layout.removeWidget(moving[i]);
        m_layout.insertWidget(at + int(i), moving[i]);
    }
    orderTabs();
}

void ModelRowWidgets::reset()
{
    for (QWidget *widget : std::exchange(m_widgets, {}))
        retire(widget);
    insert(0, m_model.rowCount() - 1);
    if (m_model.rowCount() == 0)
        emit countChanged(0);
}

// A removed row may be the one whose click or key removed it, so it goes on a later turn.
void ModelRowWidgets::retire(QWidget *widget)
{
    m_layout.removeWidget(widget);
    widget->hide();
    if (m_holds > 0)
        m_retired.append(widget);
    else
        widget->deleteLater();
}

// Tab goes through the rows in the order shown, not the order they were made in.
void ModelRowWidgets::orderTabs()
{
    for (qsizetype i = 1; i < m_widgets.size(); ++i)
        QWidget::setTabOrder(m_widgets[i - 1], m_widgets[i]);
}

} // namespace quillory
