#include <pages/PageRanking.h>

#include <array>
#include <cmath>
#include <memory>
#include <sqlite3.h>

namespace quillory {

namespace {

// Beyond this number (pages are numbered anew each time one is kept) the lengths are looked
// up one by one, so that a file with huge numbers cannot make the table larger than 16 MB.
constexpr qint64 maxCachedDoc = 4 * 1024 * 1024;
// PageQuery makes at most 16 phrases.
constexpr size_t maxPhrases = 64;

struct QueryData
{
    std::vector<double> idf;
    double averageLength = 1;
};

int countRow(const Fts5ExtensionApi *, Fts5Context *, void *count)
{
    ++*static_cast<qint64 *>(count);
    return SQLITE_OK;
}

// The figures bm25() computes once per query: each phrase's inverse document frequency and
// the average length.
QueryData *queryData(const Fts5ExtensionApi *api, Fts5Context *fts)
{
    if (auto *data = static_cast<QueryData *>(api->xGetAuxdata(fts, 0)))
        return data;
    auto data = std::make_unique<QueryData>();
    sqlite3_int64 rows = 0;
    sqlite3_int64 tokens = 0;
    if (api->xRowCount(fts, &rows) != SQLITE_OK ||
        api->xColumnTotalSize(fts, -1, &tokens) != SQLITE_OK)
        return nullptr;
    data->averageLength = rows > 0 ? double(tokens) / double(rows) : 1.0;
    if (api->xPhraseCount(fts) > int(maxPhrases))
        return nullptr;
    for (int phrase = 0; phrase < api->xPhraseCount(fts); ++phrase) {
        qint64 hits = 0;
        if (api->xQueryPhrase(fts, phrase, &hits, &countRow) != SQLITE_OK)
            return nullptr;
        const double idf = std::log((double(rows) - double(hits) + 0.5) / (double(hits) + 0.5));
        data->idf.push_back(idf <= 0.0 ? 1e-6 : idf);
    }
    QueryData *kept = data.get();
    if (api->xSetAuxdata(fts, data.release(),
                         [](void *p) { delete static_cast<QueryData *>(p); }) != SQLITE_OK)
        return nullptr; // xSetAuxdata frees it on failure
    return kept;
}

void pageRank(const Fts5ExtensionApi *api, Fts5Context *fts, sqlite3_context *context, int,
              sqlite3_value **)
{
    constexpr double k1 = 1.2;
    constexpr double b = 0.75;
    QueryData *data = queryData(api, fts);
    if (data == nullptr) {
        sqlite3_result_error(context, "page_rank could not read the index", -1);
        return;
    }
    // Counted phrase by phrase, straight from the position lists; no allocation per page.
    std::array<double, maxPhrases> frequency{};
    for (size_t phrase = 0; phrase < data->idf.size(); ++phrase) {
        Fts5PhraseIter at;
        int column = 0;
        int offset = 0;
        if (api->xPhraseFirst(fts, int(phrase), &at, &column, &offset) != SQLITE_OK) {
            sqlite3_result_error(context, "page_rank could not read the index", -1);
            return;
        }
        for (; column >= 0; api->xPhraseNext(fts, &at, &column, &offset))
            frequency[phrase] += 1.0;
    }
    const auto *ranking = static_cast<const PageRanking *>(api->xUserData(fts));
    qint64 length = ranking->length(api->xRowid(fts));
    if (length < 0) {
        int tokens = 0;
        api->xColumnSize(fts, -1, &tokens);
        length = tokens;
    }
    double score = 0;
    for (size_t i = 0; i < data->idf.size(); ++i)
        score += data->idf[i] * (frequency[i] * (k1 + 1.0)) /
                 (frequency[i] + k1 * (1.0 - b + b * double(length) / data->averageLength));
    sqlite3_result_double(context, -score);
}

fts5_api *fts5Of(sqlite3 *db)
{
    fts5_api *api = nullptr;
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT fts5(?1)", -1, &statement, nullptr) == SQLITE_OK) {
        sqlite3_bind_pointer(statement, 1, static_cast<void *>(&api), "fts5_api_ptr", nullptr);
        sqlite3_step(statement);
    }
    sqlite3_finalize(statement);
    return api;
}

// The token count docsize stores for the one column: an SQLite varint.
qint64 varint(const unsigned char *bytes, int size)
{
    quint64 value = 0;
    for (int i = 0; i < size && i < 9; ++i) {
        if (i == 8)
            return qint64((value << 8) | bytes[i]);
        value = (value << 7) | (bytes[i] & 0x7f);
        if ((bytes[i] & 0x80) == 0)
            return qint64(value);
    }
    return -1;
}

} // namespace

bool PageRanking::install(sqlite3 *db)
{
    m_db = db;
    fts5_api *api = fts5Of(db);
    return api != nullptr &&
           api->xCreateFunction(api, "page_rank", this, &pageRank, nullptr) == SQLITE_OK;
}

void PageRanking::forget(qint64 doc)
{
    if (doc >= 0 && doc < qint64(m_lengths.size()))
        m_lengths[size_t(doc)] = -1;
}

void PageRanking::forgetAll()
{
    m_lengths.clear();
    m_loaded = false;
}

void PageRanking::refresh()
{
    // Unlike the file's own counter, this changes only with other connections' commits.
    sqlite3_stmt *s = nullptr;
    qint64 version = -1;
    if (sqlite3_prepare_v2(m_db, "PRAGMA data_version", -1, &s, nullptr) == SQLITE_OK &&
        sqlite3_step(s) == SQLITE_ROW)
        version = sqlite3_column_int64(s, 0);
    sqlite3_finalize(s);
    if (m_loaded && version == m_dataVersion)
        return;
    m_dataVersion = version;
    load();
}

void PageRanking::load()
{
    m_lengths.clear();
    m_loaded = true;
    sqlite3_stmt *s = nullptr;
    if (sqlite3_prepare_v2(m_db, "SELECT id, sz FROM page_text_docsize", -1, &s, nullptr) !=
        SQLITE_OK)
        return;
    while (sqlite3_step(s) == SQLITE_ROW) {
        const qint64 doc = sqlite3_column_int64(s, 0);
        const auto *bytes = static_cast<const unsigned char *>(sqlite3_column_blob(s, 1));
        const qint64 tokens = varint(bytes, sqlite3_column_bytes(s, 1));
        if (doc < 0 || doc >= maxCachedDoc || tokens < 0 || tokens > INT32_MAX)
            continue;
        if (qint64(m_lengths.size()) <= doc)
            m_lengths.resize(size_t(doc) + 1, -1);
        m_lengths[size_t(doc)] = qint32(tokens);
    }
    sqlite3_finalize(s);
}

} // namespace quillory
