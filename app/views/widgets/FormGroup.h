#pragma once

#include <QWidget>

class QLabel;
class QVBoxLayout;

namespace quillory {

class RowButton;

// One section of a grouped form: a title, a rounded box of rows separated by thin lines,
// and an optional footnote under the box.
class FormGroup : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FormGroup)

public:
    // An empty title leaves the title out.
    explicit FormGroup(const QString &title, QWidget *parent = nullptr);

    // A label with a value at the trailing edge; returns the value's label.
    QLabel *addValueRow(const QString &label, const QString &value);
    RowButton *addButtonRow(const QString &symbol, const QString &text);
    // Any widget as a row of its own (a switch, a picker, a field).
    void addRow(QWidget *row);
    // Shows or hides a row added here, with its line.
    void setRowVisible(QWidget *row, bool visible);
    void setFooter(const QString &text);

    QWidget *box() const { return m_box; }

private:
    // A new row's own layout, under a line unless it is the first.
    QVBoxLayout *newRow();

    QWidget *m_box;
    QVBoxLayout *m_rows;
    QLabel *m_footer = nullptr;
};

} // namespace quillory
