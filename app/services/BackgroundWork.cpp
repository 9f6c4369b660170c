#include "BackgroundWork.h"

namespace quillory {

QObject &BackgroundWork::dispatcher()
{
    static QObject *instance = new QObject(); // lives as long as the process
    return *instance;
}

} // namespace quillory
