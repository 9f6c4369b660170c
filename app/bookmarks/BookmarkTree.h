#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace quillory {

// What a bookmark file holds, as plain values any thread may read: folders in the order
// they open, each after its parent, and bookmarks in file order. Times are milliseconds
// since the epoch, 0 when the file gives none; a parent or folder of -1 is the top level.
struct BookmarkFolderEntry
{
    QString name;
    qint64 addedAt = 0;
    qsizetype parent = -1;
};

struct BookmarkEntry
{
    QString url;
    QString title;
    QString note;
    QStringList tags;
    qint64 addedAt = 0;
    qint64 modifiedAt = 0;
    qsizetype folder = -1;
};

struct BookmarkTree
{
    std::vector<BookmarkFolderEntry> folders;
    std::vector<BookmarkEntry> bookmarks;
    // Entries only a browser has a use for: separators, "place:" and "javascript:" links,
    // feeds and links without an address.
    int skipped = 0;
};

} // namespace quillory
