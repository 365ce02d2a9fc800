#pragma once

#include <QString>

#include "batch/batchrun.h"
#include "core/ratemeter.h"

// How far a batch run is, in the words both front ends show: the window in
// its progress bar and status line, the command line in its progress line.
namespace pagrion {

// "0:09", "12:34", "1:02:03"
QString durationText(qint64 ms);

// The progress bar's text while page position of total is handled:
// "37/200  4.2 页/秒  剩余 0:39".
QString progressBarText(int position, int total, const RunRate &rate);

// Every figure of the run on one line, done pages of total, the figures
// apart by separator (two spaces here):
// "37/200 页  记录 1850  跳过 2  失败 1  4.2 页/秒  已用 0:09  剩余 0:39".
QString progressFigures(int done, int total, const BatchStats &stats, const RunRate &rate,
                        const QString &separator = QStringLiteral("  "));

// The totals the status line adds to the end status:
// "共 200 页，9950 条记录，跳过 3 页，失败 1 页".
QString runTotals(const BatchStats &stats);

// Why pages failed, one line a reason, the most frequent first, at most
// `lines` of them: "12 页：HTTP 404". Empty when none failed.
QString failureReasons(const BatchStats &stats, int lines = 10);

} // namespace pagrion
