#include <model/FolderNesting.h>

#include <model/Folder.h>

#include <QHash>

namespace quillory {

qsizetype FolderNesting::cap(std::vector<qsizetype> &parents)
{
    const size_t count = parents.size();
    // Each folder's level and its ancestor on level maxDepth - 1 (itself on that level, -1
    // above it), found by walking up to a folder already known and then back down: every
    // folder is visited a bounded number of times, and nothing recurses.
    std::vector<qsizetype> depth(count, 0);
    std::vector<qsizetype> anchor(count, -1);
    std::vector<qsizetype> walk;
    for (size_t start = 0; start < count; ++start) {
        qsizetype f = qsizetype(start);
        while (f >= 0 && depth[size_t(f)] == 0) {
            walk.push_back(f);
            f = parents[size_t(f)];
        }
        qsizetype level = f >= 0 ? depth[size_t(f)] : 0;
        qsizetype above = f >= 0 ? anchor[size_t(f)] : -1;
        for (auto it = walk.crbegin(); it != walk.crend(); ++it) {
            ++level;
            depth[size_t(*it)] = level;
            if (level == maxDepth - 1)
                above = *it;
            anchor[size_t(*it)] = above;
        }
        walk.clear();
    }
    qsizetype moved = 0;
    for (size_t f = 0; f < count; ++f) {
        if (depth[f] > maxDepth) {
            parents[f] = anchor[f];
            ++moved;
        }
    }
    return moved;
}

std::vector<Folder *> FolderNesting::link(const std::vector<std::pair<Folder *, Folder *>> &links)
{
    QHash<const Folder *, qsizetype> indexOf;
    std::vector<Folder *> folders;
    const auto index = [&](Folder *folder) -> qsizetype {
        if (folder == nullptr)
            return -1;
        auto at = indexOf.constFind(folder);
        if (at == indexOf.cend()) {
            at = indexOf.insert(folder, qsizetype(folders.size()));
            folders.push_back(folder);
        }
        return *at;
    };
    indexOf.reserve(qsizetype(links.size()));
    folders.reserve(links.size());
    // A folder given twice takes the parent given last, in the place it was first given.
    std::vector<qsizetype> children;
    std::vector<qsizetype> parents;
    std::vector<bool> given;
    children.reserve(links.size());
    for (const auto &[child, parent] : links) {
        const qsizetype c = index(child);
        const qsizetype p = index(parent);
        parents.resize(folders.size(), -1);
        given.resize(folders.size(), false);
        if (!given[size_t(c)])
            children.push_back(c);
        given[size_t(c)] = true;
        parents[size_t(c)] = p;
    }

    // Colour each chain: 1 = on the walk now, 2 = known to reach the top. A walk that meets
    // itself has found a cycle, which is cut at the folder where it closed.
    std::vector<quint8> state(folders.size(), 0);
    std::vector<qsizetype> walk;
    for (size_t start = 0; start < folders.size(); ++start) {
        qsizetype f = qsizetype(start);
        while (f >= 0 && state[size_t(f)] == 0) {
            state[size_t(f)] = 1;
            walk.push_back(f);
            f = parents[size_t(f)];
        }
        if (f >= 0 && state[size_t(f)] == 1)
            parents[size_t(f)] = -1;
        for (const qsizetype w : walk)
            state[size_t(w)] = 2;
        walk.clear();
    }

    std::vector<qsizetype> capped = parents;
    cap(capped);
    std::vector<Folder *> moved;
    for (const qsizetype c : children) {
        Folder *child = folders[size_t(c)];
        const qsizetype p = capped[size_t(c)];
        if (p != parents[size_t(c)]) {
            moved.push_back(child);
        } else if (p >= 0) {
            child->m_parent = folders[size_t(p)];
            child->m_parent->m_children.append(child);
        }
    }
    for (Folder *child : moved) {
        Folder *to = folders[size_t(capped[size_t(indexOf.value(child))])];
        child->m_childRank = to->m_children.isEmpty() ? 0 : to->m_children.last()->m_childRank + 1;
        child->m_parent = to;
        to->m_children.append(child);
    }
    return moved;
}

} // namespace quillory
