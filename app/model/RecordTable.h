#pragma once

#include <QHash>
#include <QUuid>
#include <vector>

namespace quillory {

// The records of one kind that a store owns, unordered, with lookup by id. Removal swaps
// the last record into the gap, so every operation but clear() is O(1).
template <typename T> class RecordTable final
{
public:
    RecordTable() = default;
    RecordTable(const RecordTable &) = delete;
    RecordTable &operator=(const RecordTable &) = delete;
    ~RecordTable() { clear(); }

    const std::vector<T *> &all() const { return m_records; }
    size_t size() const { return m_records.size(); }
    bool contains(const QUuid &id) const { return m_index.contains(id); }
    T *find(const QUuid &id) const
    {
        const auto it = m_index.constFind(id);
        return it == m_index.cend() ? nullptr : m_records[*it];
    }
    void reserve(size_t n)
    {
        m_records.reserve(n);
        m_index.reserve(qsizetype(n));
    }

    // Takes ownership. The caller has checked that the id is free.
    void add(T *record)
    {
        m_index.insert(record->id(), m_records.size());
        m_records.push_back(record);
    }

    // Gives ownership back to the caller.
    void take(T *record)
    {
        const auto it = m_index.find(record->id());
        if (it == m_index.end())
            return;
        const size_t at = *it;
        m_index.erase(it);
        if (at + 1 != m_records.size()) {
            m_records[at] = m_records.back();
            m_index[m_records[at]->id()] = at;
        }
        m_records.pop_back();
    }

    void clear()
    {
        for (T *record : m_records)
            delete record;
        m_records.clear();
        m_index.clear();
    }

private:
    std::vector<T *> m_records;
    QHash<QUuid, size_t> m_index;
};

} // namespace quillory
