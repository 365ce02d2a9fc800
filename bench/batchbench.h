#pragma once

#include "engine/enginekind.h"

namespace pagrion::bench {

// A parameter batch run of 1000 generated pages through pagrion-cli into a
// fresh database with the given engine; prints pages and records per second
// and the peak memory of the child. False when the run did not do what it
// should.
bool runBatchBench(EngineKind engine);

} // namespace pagrion::bench
