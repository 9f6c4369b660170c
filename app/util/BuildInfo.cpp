#include <util/BuildInfo.h>

namespace quillory {

QString BuildInfo::appVersion()
{
    static const QString version = [] {
        const QString v = QStringLiteral(QUILLORY_VERSION);
        return v.isEmpty() ? QStringLiteral("1.0") : v;
    }();
    return version;
}

} // namespace quillory
