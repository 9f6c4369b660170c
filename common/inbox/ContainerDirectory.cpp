#include <inbox/ContainerDirectory.h>

#include <inbox/InboxFolder.h>

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
    if (!QFileInfo(*dir).isDir()) {
        if (!QDir().mkpath(*dir))
            return std::nullopt;
        QFile::setPermissions(*dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                        QFileDevice::ExeOwner);
    }
    // A container others can read holds the library and every share; it is tightened when
    // it is a folder of this user's own (a link is left to whoever made it).
    InboxFolder::open(*dir).makePrivate();
    return dir;
}

InboxFolder ContainerDirectory::open()
{
    const auto dir = ensure();
    if (!dir)
        return {};
    InboxFolder container = InboxFolder::open(*dir);
    return container.makePrivate() ? std::move(container) : InboxFolder();
}

} // namespace quillory
