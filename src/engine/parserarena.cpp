#include "engine/parserarena.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <new>

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

} // namespace

ParserArena::~ParserArena()
{
    for (void *slab : m_slabs)
        std::free(slab);
    for (void *block : m_large)
        std::free(block);
}

void *ParserArena::allocate(std::size_t size)
{
    const std::size_t sizeClass = roundUp(std::max<std::size_t>(size, 1), Granule) / Granule;
    if (sizeClass * Granule > LargestSmall)
        return allocateLarge(size);
    Class &blocks = m_classes[sizeClass];
    if (blocks.freed) {
        void *block = blocks.freed;
        blocks.freed = *static_cast<void **>(block);
        return block;
    }
    const std::size_t blockSize = sizeClass * Granule;
    if (blocks.next == nullptr || blocks.next + blockSize > blocks.end) {
        void *slab = std::aligned_alloc(SlabSize, SlabSize);
        if (!slab)
            throw std::bad_alloc();
        m_slabs.push_back(slab);
        static_cast<SlabHeader *>(slab)->sizeClass = sizeClass;
        blocks.next = static_cast<char *>(slab) + sizeof(SlabHeader);
        blocks.end = static_cast<char *>(slab) + SlabSize;
    }
    void *block = blocks.next;
    blocks.next += blockSize;
    return block;
}

void *ParserArena::allocateLarge(std::size_t size)
{
    void *block = std::aligned_alloc(SlabSize, roundUp(size + sizeof(SlabHeader), SlabSize));
    if (!block)
        throw std::bad_alloc();
    m_large.insert(block);
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
        m_large.erase(slab);
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
