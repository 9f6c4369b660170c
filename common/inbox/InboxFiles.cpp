#include <inbox/InboxFiles.h>

#include <inbox/InboxFolder.h>

#include <QFileInfo>

namespace quillory {

bool InboxFiles::writeAtomically(const QString &path, const QByteArray &bytes)
{
    const QFileInfo info(path);
    return InboxFolder::open(info.absolutePath(), InboxFolder::Links::Follow)
        .write(info.fileName(), bytes);
}

bool InboxFiles::copyAtomically(const QString &source, const QString &destination)
{
    const QFileInfo info(destination);
    return InboxFolder::open(info.absolutePath(), InboxFolder::Links::Follow)
        .copy(source, info.fileName());
}

} // namespace quillory
