#include "InboxLayout.h"

#include "ContainerDirectory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextBoundaryFinder>
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

QString InboxLayout::sharedFileName(const QString &storedName)
{
    constexpr qsizetype uuidLength = 36;
    if (storedName.size() <= uuidLength + 1 || storedName[uuidLength] != QLatin1Char('_'))
        return storedName;
    const QString uuid = storedName.first(uuidLength);
    if (uuid != uuid.toUpper() || QUuid::fromString(uuid).isNull())
        return storedName;
    return storedName.sliced(uuidLength + 1);
}

QString InboxLayout::uniqueName(const QString &suffix)
{
    const QString uuid = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    const qsizetype room = nameLimit - uuid.size(); // the UUID is ASCII
    if (QFile::encodeName(suffix).size() <= room)
        return uuid + suffix;
    // The stem gives way so that a shared file's copy still opens as what it is; an
    // "extension" longer than any real one is only more of the stem.
    constexpr qsizetype longestExtension = 32;
    const qsizetype dot = suffix.lastIndexOf(QLatin1Char('.'));
    QString extension = dot > 0 ? suffix.sliced(dot) : QString();
    if (QFile::encodeName(extension).size() > longestExtension)
        extension.clear();
    const QString stem = suffix.first(suffix.size() - extension.size());
    return uuid + leadingPart(stem, room - QFile::encodeName(extension).size()) + extension;
}

QString InboxLayout::leadingPart(const QString &text, qsizetype bytes)
{
    if (QFile::encodeName(text).size() <= bytes)
        return text;
    // Grapheme by grapheme, so that neither a character's bytes nor an accent and the letter
    // it sits on are parted.
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
    qsizetype end = 0;
    qsizetype used = 0;
    for (qsizetype next = graphemes.toNextBoundary(); next > 0; next = graphemes.toNextBoundary()) {
        used += QFile::encodeName(text.sliced(end, next - end)).size();
        if (used > bytes)
            break;
        end = next;
    }
    return text.first(end);
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
