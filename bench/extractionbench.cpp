#include "bench/extractionbench.h"

#include <cstdio>
#include <limits>

#include <QElapsedTimer>
#include <QStringList>

#include "bench/generatedpages.h"
#include "engine/html/htmldocument.h"
#include "extract/rowtext.h"
#include "extract/tablemode.h"

namespace pagrion::bench {

namespace {

constexpr qsizetype PageBytes = 5'000'000;
constexpr int Rounds = 3;

} // namespace

bool runExtractionBench()
{
    const int tableBytes = int(generatedTable(0).size());
    const int tables = int(PageBytes / tableBytes) + 1;
    const QString html = QString::fromUtf8(generatedPage(0, tables));
    const double megabytes = double(html.toUtf8().size()) / 1e6;
    QStringList names;
    for (int t = 0; t < tables; ++t)
        names << elementName(t);
    const QString tableNames = names.join(u'|');

    // The best of a few rounds: the figure of the code, not of the machine's other load.
    double parseSeconds = std::numeric_limits<double>::max();
    double extractSeconds = std::numeric_limits<double>::max();
    double rowTextMegabytes = 0;
    for (int round = 0; round < Rounds; ++round) {
        QElapsedTimer clock;
        clock.start();
        const auto document = parseHtmlDocument(html);
        parseSeconds = std::min(parseSeconds, double(clock.nsecsElapsed()) / 1e9);
        clock.restart();
        const QString rowText = tableExtractionText(*document, tableNames, {});
        extractSeconds = std::min(extractSeconds, double(clock.nsecsElapsed()) / 1e9);
        rowTextMegabytes = double(rowText.toUtf8().size()) / 1e6;
    }
    if (rowTextMegabytes == 0) {
        std::fprintf(stderr, "bench: the extraction produced no row text\n");
        return false;
    }
    std::printf("extraction: %.1f MB page of %d tables (%d rows each), row text %.1f MB\n"
                "            parse %.1f MB/s, table extraction (GetTable) %.1f MB/s, both %.1f MB/s\n",
                megabytes, tables, RowsPerTable, rowTextMegabytes, megabytes / parseSeconds,
                megabytes / extractSeconds, megabytes / (parseSeconds + extractSeconds));
    return true;
}

} // namespace pagrion::bench
