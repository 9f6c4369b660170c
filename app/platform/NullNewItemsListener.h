#pragma once

#include <platform/NewItemsListener.h>

namespace quillory {

// Hears nothing; tests announce new items themselves by emitting newItems().
class NullNewItemsListener final : public NewItemsListener
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NullNewItemsListener)

public:
    NullNewItemsListener() = default;
    void announce() { emit newItems(); }
};

} // namespace quillory
