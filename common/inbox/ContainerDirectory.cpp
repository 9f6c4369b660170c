#include "ContainerDirectory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace quillory {

std::optional<QString> ContainerDirectory::path()
{
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    // The XDG base-directory rules say relative values are invalid and must be ignored.
    if (base.isEmpty() || QDir::isRelativePath(base)) {
        const QString home = qEnvironmentVariable("HOME");
        if (home.isEmpty())
            return std::nullopt;
        base = home + QStringLiteral("/.local/share");
    }
    return QDir::cleanPath(base + QLatin1Char('/') + groupIdentifier);
}

std::optional<QString> ContainerDirectory::ensure()
{
    const auto dir = path();
    if (!dir)
        return std::nullopt;
    if (QFileInfo(*dir).isDir())
        return dir;
    if (!QDir().mkpath(*dir))
        return std::nullopt;
    QFile::setPermissions(*dir,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return dir;
}

} // namespace quillory
