#include <bookmarks/BookmarkImportResult.h>

#include <exchange/ImportResult.h>

#include <text/CountedNoun.h>

namespace quillory {

QString BookmarkImportResult::summary() const
{
    QString text = QStringLiteral("Imported %1")
                       .arg(CountedNoun::of(bookmarksImported, QStringLiteral("bookmark"),
                                            QStringLiteral("bookmarks")));
    if (foldersCreated > 0 || foldersReused > 0) {
        QStringList folders;
        if (foldersCreated > 0)
            folders.append(CountedNoun::of(foldersCreated, QStringLiteral("new folder"),
                                           QStringLiteral("new folders")));
        if (foldersReused > 0 && foldersCreated > 0)
            folders.append(CountedNoun::of(foldersReused, QStringLiteral("existing one"),
                                           QStringLiteral("existing ones")));
        else if (foldersReused > 0)
            folders.append(CountedNoun::of(foldersReused, QStringLiteral("existing folder"),
                                           QStringLiteral("existing folders")));
        text += QStringLiteral(" into ") + folders.join(QStringLiteral(" and "));
    }
    if (tagsCreated > 0)
        text += QStringLiteral(", with ") +
                CountedNoun::of(tagsCreated, QStringLiteral("new tag"), QStringLiteral("new tags"));
    text += u'.';
    if (skipped > 0)
        text +=
            u' ' +
            QStringLiteral("Skipped %1 only a browser uses (separators, scripts, feeds).")
                .arg(CountedNoun::of(skipped, QStringLiteral("entry"), QStringLiteral("entries")));
    if (foldersMovedUp > 0)
        text += u' ' + ImportResult::foldersMovedUpText(foldersMovedUp);
    return text;
}

} // namespace quillory
