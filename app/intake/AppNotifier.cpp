#include <intake/AppNotifier.h>

namespace quillory {

AppNotifier &AppNotifier::shared()
{
    static AppNotifier *instance = new AppNotifier(); // lives as long as the process
    return *instance;
}

} // namespace quillory
