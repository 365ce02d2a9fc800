#pragma once

#include <array>
#include <cstddef>
#include <unordered_set>
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

    // The parser's allocator and deallocator, with the arena as user data.
    static void *allocateIn(void *arena, std::size_t size);
    static void releaseIn(void *arena, void *block);

private:
    static constexpr std::size_t SlabSize = std::size_t(256) << 10;
    static constexpr std::size_t Granule = 8;
    static constexpr std::size_t LargestSmall = 2048;
    static constexpr std::size_t Classes = LargestSmall / Granule + 1;

    struct Class
    {
        char *next = nullptr; // unused room in the newest slab
        char *end = nullptr;
        void *freed = nullptr; // released blocks, linked through themselves
    };

    void *allocateLarge(std::size_t size);

    std::array<Class, Classes> m_classes{};
    std::vector<void *> m_slabs;
    std::unordered_set<void *> m_large;
};

} // namespace pagrion::html
