#pragma once

#include <QtGlobal>
#include <vector>

struct sqlite3;

namespace quillory {

// FTS5's bm25, to the same figures, without looking up each matching page's length in the
// index's table of lengths: a word found in most pages would make that one lookup per page,
// most of the time a query takes. The lengths are read once, all together, and kept here
// (four bytes a page) until the pages change. Registered on one connection as the
// auxiliary function page_rank(); lower is better, as with bm25().
class PageRanking final
{
public:
    PageRanking() = default;
    PageRanking(const PageRanking &) = delete;
    PageRanking &operator=(const PageRanking &) = delete;

    bool install(sqlite3 *db);
    // Before each query: reads the lengths again when another connection changed the file.
    void refresh();
    // A page was added, changed or removed through this connection.
    void forget(qint64 doc);
    void forgetAll();

    // -1 when the length must come from the index itself.
    qint64 length(qint64 doc) const
    {
        return doc >= 0 && doc < qint64(m_lengths.size()) ? m_lengths[size_t(doc)] : -1;
    }

private:
    void load();

    sqlite3 *m_db = nullptr;
    std::vector<qint32> m_lengths; // by rowid; -1 where unknown
    qint64 m_dataVersion = -1;
    bool m_loaded = false;
};

} // namespace quillory
