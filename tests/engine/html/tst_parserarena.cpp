#include <QTest>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <vector>

#include "engine/html/parserarena.h"

using pagrion::html::ParserArena;

namespace {

// No block reaches into the next, and each is aligned as the parser's
// structures need.
bool apartAndAligned(const std::map<char *, std::size_t> &blocks)
{
    const char *end = nullptr;
    for (const auto &[block, size] : blocks) {
        if (block < end || reinterpret_cast<std::uintptr_t>(block) % 8 != 0)
            return false;
        end = block + size;
    }
    return true;
}

} // namespace

class TestParserArena : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Blocks at the edges of the size classes and past them never overlap
    // and keep what is written into them, also once released blocks are
    // handed out again.
    void blocksStayApart()
    {
        ParserArena arena;
        std::map<char *, std::size_t> live; // block -> size
        std::vector<char *> order;
        unsigned char fill = 1;
        for (std::size_t size : {1, 7, 8, 9, 2047, 2048, 2049, 4096, 4097, 32767, 32768, 32769, 65536, 65537, 300000}) {
            for (int copy = 0; copy < 5; ++copy) {
                char *block = static_cast<char *>(arena.allocate(size));
                std::memset(block, fill, size);
                live[block] = size;
                order.push_back(block);
            }
            ++fill;
        }
        QVERIFY(apartAndAligned(live));
        // Every other block goes back, and the same sizes come again.
        for (std::size_t i = 0; i < order.size(); i += 2) {
            const std::size_t size = live[order[i]];
            arena.release(order[i]);
            live.erase(order[i]);
            char *block = static_cast<char *>(arena.allocate(size));
            std::memset(block, 0xEE, size);
            live[block] = size;
        }
        QVERIFY(apartAndAligned(live));
        // Each block still holds what was written into it last.
        for (const auto &[block, size] : live)
            QVERIFY(std::all_of(block, block + size, [first = block[0]](char c) { return c == first; }));
    }
};

QTEST_APPLESS_MAIN(TestParserArena)
#include "tst_parserarena.moc"
