#pragma once

#include <QPointer>
#include <QTimer>
#include <QUuid>
#include <QWidget>

class QLabel;
class QPushButton;

namespace quillory {

class Item;

// The line above the columns that says a link just added was already in the library, with
// a way to go to the item that had it. It leaves by itself after a while, or when closed.
class DuplicateNotice final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DuplicateNotice)

public:
    static constexpr int visibleMs = 12'000;

    explicit DuplicateNotice(QWidget *parent = nullptr);

    void announce(const Item &existing);

signals:
    void showRequested(const QUuid &itemId);

private:
    QLabel *m_message;
    QPushButton *m_show;
    QPushButton *m_close;
    QUuid m_itemId;
    QTimer m_timeout;
};

} // namespace quillory
