#include <util/BackgroundWork.h>

#include <QCoreApplication>

namespace quillory {

void BackgroundWork::finishPending()
{
    // A result may start the next step (a file read, then its decoding), hence the rounds;
    // waitForDone(0) also sees work that is queued but not yet running.
    QThreadPool *pool = QThreadPool::globalInstance();
    for (int round = 0; round < 16; ++round) {
        pool->waitForDone();
        QCoreApplication::sendPostedEvents(&dispatcher());
        if (pool->waitForDone(0))
            break;
    }
}

QObject &BackgroundWork::dispatcher()
{
    static QObject *instance = new QObject(); // lives as long as the process
    return *instance;
}

} // namespace quillory
