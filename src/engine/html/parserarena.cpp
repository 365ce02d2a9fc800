#include "engine/html/parserarena.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <new>
#include <vector>

#include <sys/mman.h>

namespace pagrion::html {

namespace {

// Every slab and large block starts with this, at an address aligned to the
// slab size, so a block's slab is found from its own address.
struct SlabHeader
{
    std::size_t sizeClass; // 0: a large block of its own
    std::size_t padding;
};

constexpr std::size_t roundUp(std::size_t size, std::size_t to)
{
    return (size + to - 1) / to * to;
}

// A batch parses one page after another, each in a fresh arena: chunks
// handed back to the system and asked for again cost more kernel time than
// the parse itself, so the first chunks of a finished parse are kept for the
// next one. A small page takes one chunk, and a batch holds a page parsed
// for each request in flight and as many again waiting their turn.
class SpareChunks
{
public:
    static constexpr std::size_t Kept = 16;

    void *take()
    {
        const std::lock_guard lock(m_mutex);
        if (m_chunks.empty())
            return nullptr;
        void *chunk = m_chunks.back();
        m_chunks.pop_back();
        return chunk;
    }

    // False when enough are kept already: the caller frees the chunk.
    bool keep(void *chunk)
    {
        const std::lock_guard lock(m_mutex);
        if (m_chunks.size() >= Kept)
            return false;
        m_chunks.push_back(chunk);
        return true;
    }

private:
    std::mutex m_mutex;
    std::vector<void *> m_chunks;
};

// Never destroyed: a parse thread still running while the program exits
// may hand its chunks back after static objects are gone.
SpareChunks &spareChunks()
{
    static auto *spare = new SpareChunks;
    return *spare;
}

} // namespace

ParserArena::~ParserArena()
{
    for (std::size_t i = 0; i < m_chunks.size(); ++i) {
        // Chunks past the first few may be in huge pages: not for keeping.
        if (i >= SmallTreeChunks || !spareChunks().keep(m_chunks[i]))
            std::free(m_chunks[i]);
    }
    for (const auto &large : m_large)
        std::free(large.first);
}

std::size_t ParserArena::classOf(std::size_t size)
{
    if (size <= LargestSmall)
        return roundUp(std::max<std::size_t>(size, 1), Granule) / Granule;
    if (size <= LargestMedium)
        return SmallClasses + std::size_t(std::bit_width(size - 1)) - std::bit_width(LargestSmall);
    return 0;
}

std::size_t ParserArena::blockSize(std::size_t sizeClass)
{
    return sizeClass < SmallClasses ? sizeClass * Granule : LargestSmall << (sizeClass - SmallClasses + 1);
}

char *ParserArena::newSlab()
{
    if (m_nextSlab == m_chunkEnd) {
        void *chunk = m_chunks.size() < SmallTreeChunks ? spareChunks().take() : nullptr;
        if (!chunk)
            chunk = std::aligned_alloc(ChunkSize, ChunkSize);
        if (!chunk)
            throw std::bad_alloc();
        m_chunks.push_back(chunk);
        if (m_chunks.size() > SmallTreeChunks)
            madvise(chunk, ChunkSize, MADV_HUGEPAGE);
        m_nextSlab = static_cast<char *>(chunk);
        m_chunkEnd = m_nextSlab + ChunkSize;
    }
    char *slab = m_nextSlab;
    m_nextSlab += SlabSize;
    return slab;
}

void *ParserArena::allocate(std::size_t size)
{
    const std::size_t sizeClass = classOf(size);
    if (sizeClass == 0)
        return allocateLarge(size);
    Class &blocks = m_classes[sizeClass];
    if (blocks.freed) {
        void *block = blocks.freed;
        blocks.freed = *static_cast<void **>(block);
        return block;
    }
    const std::size_t bytes = blockSize(sizeClass);
    if (blocks.next == nullptr || blocks.next + bytes > blocks.end) {
        char *slab = newSlab();
        reinterpret_cast<SlabHeader *>(slab)->sizeClass = sizeClass;
        blocks.next = slab + sizeof(SlabHeader);
        blocks.end = slab + SlabSize;
    }
    void *block = blocks.next;
    blocks.next += bytes;
    return block;
}

void *ParserArena::allocateLarge(std::size_t size)
{
    const std::size_t bytes = roundUp(size + sizeof(SlabHeader), SlabSize);
    void *block = std::aligned_alloc(SlabSize, bytes);
    if (!block)
        throw std::bad_alloc();
    m_large.emplace(block, bytes);
    m_largeBytes += bytes;
    static_cast<SlabHeader *>(block)->sizeClass = 0;
    return static_cast<char *>(block) + sizeof(SlabHeader);
}

void ParserArena::release(void *block)
{
    if (!block)
        return;
    void *slab = reinterpret_cast<void *>(reinterpret_cast<std::uintptr_t>(block) & ~(SlabSize - 1));
    const std::size_t sizeClass = static_cast<SlabHeader *>(slab)->sizeClass;
    if (sizeClass == 0) {
        if (const auto found = m_large.find(slab); found != m_large.end()) {
            m_largeBytes -= found->second;
            m_large.erase(found);
        }
        std::free(slab);
        return;
    }
    Class &blocks = m_classes[sizeClass];
    *static_cast<void **>(block) = blocks.freed;
    blocks.freed = block;
}

void *ParserArena::allocateIn(void *arena, std::size_t size)
{
    return static_cast<ParserArena *>(arena)->allocate(size);
}

void ParserArena::releaseIn(void *arena, void *block)
{
    static_cast<ParserArena *>(arena)->release(block);
}

} // namespace pagrion::html
