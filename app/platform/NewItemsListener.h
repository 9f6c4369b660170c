#pragma once

#include <QObject>
#include <memory>

namespace quillory {

// Hears that another program (Dropslip) has put records into the share inbox. Only a hint
// to look: it may never come, and the inbox itself is the truth.
class NewItemsListener : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NewItemsListener)

public:
    ~NewItemsListener() override = default;

    // The implementation for this platform.
    static std::unique_ptr<NewItemsListener> create();

signals:
    void newItems();

protected:
    NewItemsListener() = default;
};

} // namespace quillory
