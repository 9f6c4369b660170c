#include "InboxLayout.h"

#include "ContainerDirectory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

namespace quillory {

namespace {

bool ensureFolder(const QString &path)
{
    if (QFileInfo(path).isDir())
        return true;
    if (!QDir().mkpath(path))
        return false;
    QFile::setPermissions(path,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return true;
}

} // namespace

std::optional<QString> InboxLayout::inboxPath()
{
    const auto container = ContainerDirectory::path();
    if (!container)
        return std::nullopt;
    return *container + QLatin1Char('/') + inboxName;
}

std::optional<QString> InboxLayout::ensureInbox()
{
    const auto inbox = inboxPath();
    if (!inbox || !ensureFolder(*inbox) || !ensureFolder(*inbox + QLatin1Char('/') + importedName))
        return std::nullopt;
    return inbox;
}

QString InboxLayout::uniqueName(const QString &suffix)
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() + suffix;
}

bool InboxLayout::isBareName(const QString &name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

std::optional<QString> InboxLayout::importedFileName(const QString &relativePath)
{
    const QString prefix = importedName + QLatin1Char('/');
    if (!relativePath.startsWith(prefix))
        return std::nullopt;
    const QString name = relativePath.mid(prefix.size());
    if (!isBareName(name))
        return std::nullopt;
    return name;
}

} // namespace quillory
