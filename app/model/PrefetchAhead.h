#pragma once

#include <cstddef>
#include <vector>

namespace quillory {

// The walks over a whole library wait on memory, one record at a time: asking for the record
// a few places ahead of `i` overlaps those waits.
template <typename Pointer> void prefetchAhead(const std::vector<Pointer> &records, size_t i)
{
    constexpr size_t ahead = 8;
    if (i + ahead < records.size())
        __builtin_prefetch(records[i + ahead]);
}

} // namespace quillory
