#pragma once

#include <array>
#include <cstddef>
#include <unordered_map>
#include <vector>

namespace pagrion::html {

// Memory for one parse: the parser's many small blocks come from slabs of
// blocks of one size, without a header each, and are all released at once
// with the arena, so a tree of any depth is freed without walking it.
class ParserArena final
{
public:
    ParserArena() = default;
    ~ParserArena();
    ParserArena(const ParserArena &) = delete;
    ParserArena &operator=(const ParserArena &) = delete;

    void *allocate(std::size_t size);
    void release(void *block);
    // The memory the arena has taken for its blocks.
    std::size_t heldBytes() const { return m_chunks.size() * ChunkSize + m_largeBytes; }

    // The parser's allocator and deallocator, with the arena as user data.
    static void *allocateIn(void *arena, std::size_t size);
    static void releaseIn(void *arena, void *block);

private:
    static constexpr std::size_t SlabSize = std::size_t(64) << 10;
    // Slabs are cut from chunks large enough for the kernel to back with
    // huge pages: a large tree then costs a few page faults, not thousands.
    // The first chunks are left in small pages, where a small page's slabs,
    // partly filled, take only the memory they use.
    static constexpr std::size_t ChunkSize = std::size_t(2) << 20;
    static constexpr std::size_t SmallTreeChunks = 8;
    static constexpr std::size_t Granule = 8;
    static constexpr std::size_t LargestSmall = 2048;
    static constexpr std::size_t SmallClasses = LargestSmall / Granule + 1;
    // Blocks past the small ones come in powers of two up to this, as the
    // parser's growing lists and texts ask for them.
    static constexpr std::size_t LargestMedium = std::size_t(32) << 10;
    static constexpr std::size_t MediumClasses = 4; // 4 KB to 32 KB

    struct Class
    {
        char *next = nullptr; // unused room in the newest slab
        char *end = nullptr;
        void *freed = nullptr; // released blocks, linked through themselves
    };

    static std::size_t classOf(std::size_t size);
    static std::size_t blockSize(std::size_t sizeClass);
    char *newSlab();
    void *allocateLarge(std::size_t size);

    std::array<Class, SmallClasses + MediumClasses> m_classes{};
    std::vector<void *> m_chunks;
    char *m_nextSlab = nullptr; // unused slabs of the newest chunk
    char *m_chunkEnd = nullptr;
    std::unordered_map<void *, std::size_t> m_large; // each block's size
    std::size_t m_largeBytes = 0;
};

} // namespace pagrion::html
