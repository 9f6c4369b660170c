#pragma once

#include <QByteArray>
#include <QString>

namespace quillory::test {

// Folder trees far deeper than any view could show, as a hostile or damaged file holds
// them: one chain of `depth` folders, each inside the one before, named "Level 0" to
// "Level <depth - 1>".
class DeepTrees final
{
public:
    // A browser's bookmark file with the chain and one bookmark in its deepest folder.
    static QByteArray bookmarkFile(int depth);
    // An export document with the chain and one item in its deepest folder.
    static QByteArray exportDocument(int depth);
    // Adds the chain to the folders table of the store file at `storePath` (made by a store
    // and closed again), written with SQLite behind the store's back; ids are the level
    // number in the last group of an otherwise fixed UUID.
    static void addToStore(const QString &storePath, int depth);
    static QString storedId(int level);
};

} // namespace quillory::test
