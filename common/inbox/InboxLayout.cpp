#include <inbox/InboxLayout.h>

#include <inbox/ContainerDirectory.h>
#include <inbox/InboxFolder.h>

#include <QFile>
#include <QTextBoundaryFinder>
#include <QUuid>
#include <algorithm>

namespace quillory {

namespace {

constexpr qsizetype uuidLength = 36;

bool startsWithUuid(const QString &name)
{
    if (name.size() < uuidLength)
        return false;
    for (qsizetype i = 0; i < uuidLength; ++i) {
        const char16_t c = name.at(i).unicode();
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        const bool hex =
            (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f');
        if (dash ? c != u'-' : !hex)
            return false;
    }
    return true;
}

bool isUuidAnd(const QString &name, const QString &suffix)
{
    return name.size() == uuidLength + suffix.size() && startsWithUuid(name) &&
           name.endsWith(suffix);
}

} // namespace

std::optional<QString> InboxLayout::inboxPath()
{
    const auto container = ContainerDirectory::path();
    if (!container)
        return std::nullopt;
    return *container + QLatin1Char('/') + inboxName;
}

InboxFolder InboxLayout::openInbox()
{
    InboxFolder inbox = ContainerDirectory::open().folder(inboxName, InboxFolder::Missing::Create);
    inbox.folder(importedName, InboxFolder::Missing::Create);
    return inbox;
}

std::optional<QString> InboxLayout::ensureInbox()
{
    const InboxFolder inbox = openInbox();
    if (!inbox.isOpen())
        return std::nullopt;
    return inbox.path();
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

bool InboxLayout::isRecordName(const QString &name)
{
    return isUuidAnd(name, recordSuffix);
}

bool InboxLayout::isImportingName(const QString &name)
{
    return isUuidAnd(name, importingSuffix);
}

bool InboxLayout::isCompanionName(const QString &name)
{
    constexpr qsizetype longestExtension = 16;
    const qsizetype extension = name.size() - uuidLength - 1;
    if (!startsWithUuid(name) || extension < 1 || extension > longestExtension ||
        name.at(uuidLength) != u'.' || isRecordName(name) || isImportingName(name))
        return false;
    for (qsizetype i = uuidLength + 1; i < name.size(); ++i) {
        const char16_t c = name.at(i).unicode();
        if (!((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z')))
            return false;
    }
    return true;
}

QString InboxLayout::withSuffix(const QString &name, const QString &suffix)
{
    return name.first(std::min(name.size(), uuidLength)) + suffix;
}

} // namespace quillory
