#pragma once

#include <QDialog>
#include <QUrl>
#include <functional>

class QLineEdit;
class QPushButton;

namespace quillory {

// Asks for one web address. The text is taken as typed: "Add" stays disabled until it
// parses as a URL with a scheme.
class AddURLSheet final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AddURLSheet)

public:
    using OnAdd = std::function<void(const QUrl &)>;

    explicit AddURLSheet(OnAdd onAdd, QWidget *parent = nullptr);

    QPushButton *addButton() const { return m_add; }

    static bool isValid(const QString &urlString);

private:
    void add();

    OnAdd m_onAdd;
    QLineEdit *m_urlField;
    QPushButton *m_add;
};

} // namespace quillory
