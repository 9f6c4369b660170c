#include "BackgroundWork.h"

#include <QCoreApplication>

namespace quillory {

void BackgroundWork::finishPending()
{
    // A result may start the next step (a file read, then its decoding), hence the rounds.
    for (int round = 0; round < 4; ++round) {
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::sendPostedEvents(&dispatcher());
        if (QThreadPool::globalInstance()->activeThreadCount() == 0)
            break;
    }
}

QObject &BackgroundWork::dispatcher()
{
    static QObject *instance = new QObject(); // lives as long as the process
    return *instance;
}

} // namespace quillory
