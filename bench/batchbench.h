#pragma once

namespace pagrion::bench {

// Batch runs side by side on the same generated pages: Pagrion's two engines
// through pagrion-cli and two peer scrapers (bench/peers), first against
// nginx on loopback, then against a server that answers after 100 ms. Prints
// one row per run: pages and records per second, CPU time per page, peak
// memory. A peer that is not installed gets a line saying so. False when a
// run that did start did not do what it should.
bool runBatchTable();

// A static run of 10,000 pages: its peak memory after 1,000 pages and at the
// end, which should be about the same.
bool runMemoryBench();

} // namespace pagrion::bench
