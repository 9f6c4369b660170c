#pragma once

#include <QList>
#include <QObject>
#include <functional>

class QAbstractItemModel;
class QBoxLayout;
class QModelIndex;
class QWidget;

namespace quillory {

// One widget per row of a flat list model, kept in a box layout in the model's order. A row
// inserted, removed or moved makes, deletes or moves only its own widget, and a changed row
// is brought up to date in place, so every other row keeps its focus, hover and press.
class ModelRowWidgets final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ModelRowWidgets)

public:
    // `make` creates the widget of a row as a child of `parent`; `show` brings it up to date.
    using Make = std::function<QWidget *(const QModelIndex &index, QWidget *parent)>;
    using Show = std::function<void(QWidget &widget, const QModelIndex &index)>;

    // The widgets take the first places of `layout`, whose parent widget owns them.
    ModelRowWidgets(QAbstractItemModel &model, QBoxLayout &layout, Make make, Show show,
                    QObject *parent = nullptr);
    ~ModelRowWidgets() override;

    int count() const { return int(m_widgets.size()); }
    QWidget *widget(int row) const { return m_widgets.value(row); }
    // For what the rows show beyond the model's own data.
    void showAll();

    // A row's own drag, menu or sheet runs an event loop from inside that row's handlers:
    // while any hold lasts, the widgets of removed rows stay alive, hidden.
    void hold();
    void release();

signals:
    // After rows came or went.
    void countChanged(int count);

private:
    void insert(int first, int last);
    void remove(int first, int last);
    void move(int first, int last, int destination);
    void reset();
    void retire(QWidget *widget);
    void orderTabs();

    QAbstractItemModel &m_model;
    QBoxLayout &m_layout;
    Make m_make;
    Show m_show;
    QList<QWidget *> m_widgets;
    int m_holds = 0;
    QList<QWidget *> m_retired;
};

} // namespace quillory
