#include <model/TextArena.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace quillory {

namespace {

// Chunks start on a multiple of their size, so that the chunk of a block is found from the
// block's address alone: an item keeps no pointer besides the one to its block.
constexpr size_t chunkBytes = size_t(1) << 20;
constexpr size_t headerBytes = 64; // the count, alone on its cache line

} // namespace

struct TextArena::Chunk
{
    std::atomic<size_t> holders;
};

static_assert(sizeof(std::atomic<size_t>) <= headerBytes);

TextArena::~TextArena()
{
    if (m_chunk != nullptr)
        release(reinterpret_cast<const char *>(m_chunk) + headerBytes);
}

TextArena::Chunk *TextArena::newChunk(size_t bytes)
{
    void *memory = std::aligned_alloc(chunkBytes, bytes);
    if (memory == nullptr)
        throw std::bad_alloc();
    return new (memory) Chunk{1};
}

char *TextArena::allocate(size_t size)
{
    constexpr size_t room = chunkBytes - headerBytes;
    size = std::max<size_t>(size, 1); // a block always starts inside its chunk
    if (size > room / 4) {
        // Its own chunk, rounded up to whole chunks so that its start stays aligned.
        const size_t bytes = (headerBytes + size + chunkBytes - 1) / chunkBytes * chunkBytes;
        return reinterpret_cast<char *>(newChunk(bytes)) + headerBytes;
    }
    if (m_chunk == nullptr || m_used + size > room) {
        if (m_chunk != nullptr)
            release(reinterpret_cast<const char *>(m_chunk) + headerBytes);
        m_chunk = newChunk(chunkBytes);
        m_used = 0;
    }
    m_chunk->holders.fetch_add(1, std::memory_order_relaxed);
    char *block = reinterpret_cast<char *>(m_chunk) + headerBytes + m_used;
    m_used += size;
    return block;
}

TextArena::Chunk *TextArena::chunkOf(const char *block)
{
    return reinterpret_cast<Chunk *>(reinterpret_cast<uintptr_t>(block) & ~(chunkBytes - 1));
}

void TextArena::retain(const char *block)
{
    chunkOf(block)->holders.fetch_add(1, std::memory_order_relaxed);
}

void TextArena::release(const char *block)
{
    Chunk *chunk = chunkOf(block);
    if (chunk->holders.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        chunk->~Chunk();
        std::free(chunk);
    }
}

} // namespace quillory
