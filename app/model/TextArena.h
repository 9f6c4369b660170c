#pragma once

#include <cstddef>

namespace quillory {

// Room for many items' texts read at once, laid end to end in large chunks in the order
// they were read: a library of a million items then costs no allocation per item, and a
// search can read their texts as a few long runs instead of a heap block each.
//
// A chunk stays until its last holder lets go. Each block handed out holds its chunk once;
// retain() holds it once more, for a reader that must outlast the block's owner (a search
// running on another thread while the item is edited or deleted). Holding and letting go
// may happen on any thread; filling an arena, on one at a time.
class TextArena final
{
public:
    TextArena() = default;
    TextArena(const TextArena &) = delete;
    TextArena &operator=(const TextArena &) = delete;
    ~TextArena();

    // Room for `size` bytes, held once for the caller. A block too large to share a chunk
    // gets one of its own.
    char *allocate(size_t size);

    // `block` is a start allocate() returned.
    static void retain(const char *block);
    static void release(const char *block);
    // Whether two blocks lie in one chunk: only then may what lies between them be read.
    static bool sameChunk(const char *a, const char *b) { return chunkOf(a) == chunkOf(b); }

private:
    struct Chunk;
    static Chunk *chunkOf(const char *block);
    static Chunk *newChunk(size_t bytes);

    Chunk *m_chunk = nullptr; // the one being filled, held by the arena too
    size_t m_used = 0;
};

} // namespace quillory
