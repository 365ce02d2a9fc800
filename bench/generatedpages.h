#pragma once

#include <QByteArray>

namespace pagrion::bench {

constexpr int RowsPerTable = 50;
constexpr int CellsPerRow = 6;

// One table of RowsPerTable rows of CellsPerRow cells, filled with the mix a
// product list holds: names, prices, dates, codes; `seed` varies the text.
QByteArray generatedTable(int seed);

// A page with the given tables, each under a heading.
QByteArray generatedPage(int firstSeed, int tables);

} // namespace pagrion::bench
