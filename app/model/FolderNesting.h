#pragma once

#include <QtGlobal>
#include <utility>
#include <vector>

namespace quillory {

class Folder;

// How deep folders may nest. An import or a copied library may hold a tree of any depth,
// and a tree thousands of levels deep serves nobody while every view of it pays for each
// level; so a tree read in is cut at maxDepth levels (a top-level folder lies on level 1):
// a folder that would lie deeper becomes a child of its ancestor on level maxDepth - 1,
// beside the folder it lay under on that level. Its items and name stay as they were.
class FolderNesting final
{
public:
    static constexpr qsizetype maxDepth = 64;

    // `parents[i]` is the index of folder i's parent, or -1 on the top level, in any order;
    // the links must not form a cycle. Moves each folder deeper than maxDepth up and returns
    // how many moved. Linear in the number of folders, whatever their depth.
    static qsizetype cap(std::vector<qsizetype> &parents);

    // Links each folder to its parent (null: the top level), a parent's children in the
    // order given, for folders not linked yet. A link that would close a cycle (only a
    // damaged file holds one) is dropped, and folders deeper than maxDepth are moved up,
    // after their new parent's own children. Returns those moved. Linear.
    static std::vector<Folder *> link(const std::vector<std::pair<Folder *, Folder *>> &links);
};

} // namespace quillory
