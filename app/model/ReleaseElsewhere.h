#pragma once

#include <QThreadPool>
#include <memory>
#include <type_traits>
#include <utility>

namespace quillory {

// Hands `value` to a pool thread to be destroyed. Freeing a parsed document or the lists of
// a large import takes tens of milliseconds, the more so as freeing a large block another
// thread allocated makes the allocator tidy up that thread's whole heap; neither belongs on
// the interface thread or on the path an import waits for.
template <typename T> void releaseElsewhere(T &&value)
{
    auto doomed = std::make_shared<std::decay_t<T>>(std::forward<T>(value));
    QThreadPool::globalInstance()->start(
        [doomed = std::move(doomed)]() mutable { doomed.reset(); });
}

} // namespace quillory
