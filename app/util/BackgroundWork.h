#pragma once

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QThreadPool>
#include <functional>
#include <utility>

namespace quillory {

// Runs slow work (decoding a large photo) on the global thread pool and hands the result
// back on the interface thread, where records may be touched.
class BackgroundWork final
{
public:
    // `done` runs on the thread that called run(), and never once `context` is destroyed.
    // Call from the interface thread only.
    template <typename Result>
    static void run(const QObject *context, std::function<Result()> work,
                    std::function<void(Result)> done)
    {
        QPointer<const QObject> guard(context);
        QObject *home = &dispatcher();
        QThreadPool::globalInstance()->start(
            [guard, home, work = std::move(work), done = std::move(done)]() mutable {
                Result result = work();
                // The dispatcher is never destroyed, so posting to it is safe from any thread;
                // the guard is only read back on the interface thread.
                QMetaObject::invokeMethod(
                    home,
                    [guard, done = std::move(done), result = std::move(result)]() mutable {
                        if (guard)
                            done(std::move(result));
                    },
                    Qt::QueuedConnection);
            });
    }

    // Waits for all work started so far and hands over its results, e.g. before the last
    // save at quit. Interface thread only.
    static void finishPending();

private:
    static QObject &dispatcher();
};

} // namespace quillory
