#include "bench/enginetargets.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

#include "bench/childrun.h"

using namespace Qt::StringLiterals;

namespace pagrion::bench {

namespace {

constexpr int Runs = 3;
constexpr double TargetSeconds = 3;
constexpr double MemoryPerPageByte = 20;
constexpr double MemoryAllowanceMegabytes = 100;
constexpr int StartUpRuns = 9;
constexpr double StartUpAllowanceMegabytes = 20;
constexpr char SmallPage[] = "<html><body><table><tr><td>a</td><td>b</td></tr></table></body></html>";
// The parser alone never returns from some of these pages.
constexpr qint64 PeerLimitMs = 60'000;

struct Target
{
    const char *name;
    std::function<QByteArray()> page;
    QStringList extract; // the extract command's options for this page
};

QByteArray repeated(const QByteArray &piece, int times)
{
    QByteArray text;
    text.reserve(piece.size() * times);
    for (int i = 0; i < times; ++i)
        text += piece;
    return text;
}

QByteArray nested(const QByteArray &open, const QByteArray &close, int depth)
{
    return "<html><body>" + repeated(open, depth) + repeated(close, depth) + "</body></html>";
}

QByteArray manyParagraphs()
{
    QByteArray page = "<html><body>";
    for (int i = 0; i < 100'000; ++i)
        page += "<p>paragraph " + QByteArray::number(i) + " with some text</p>\n";
    return page + "</body></html>";
}

QByteArray details()
{
    QByteArray page = "<html><body><details><summary>s</summary>";
    for (int i = 0; i < 100'000; ++i)
        page += "<p>x" + QByteArray::number(i) + "</p>";
    return page + "</details></body></html>";
}

QByteArray millionCells()
{
    QByteArray page = "<html><body><table>";
    page.reserve(15'000'000);
    for (int row = 0; row < 1000; ++row) {
        page += "<tr>";
        for (int cell = row * 1000; cell < (row + 1) * 1000; ++cell)
            page += "<td>" + QByteArray::number(cell) + "</td>";
        page += "</tr>\n";
    }
    return page + "</table></body></html>";
}

// A news page's blocks (heading, paragraph, small table, list) up to 50 MB.
QByteArray fiftyMegabytes()
{
    constexpr qsizetype Size = qsizetype(50) << 20;
    QByteArray page = "<html><head><meta charset=\"utf-8\"><title>big</title></head><body>";
    page.reserve(Size + 1024);
    for (int n = 0; page.size() < Size; ++n) {
        const QByteArray i = QByteArray::number(n);
        page += u"<div class=\"item\"><h2><a href=\"/news/%1.html\">新闻标题 %1</a></h2><p>这是一段新闻摘要，包含一些文字 "
                u"<b>重点</b> 和 <a href=\"/t/%1\">链接</a>。</p><table class=\"data\"><tr><td>名称</td><td>%1</td>"
                u"<td><img src=\"i.png\"> 图</td></tr><tr><td>数值</td><td>%1.%1</td><td><span>备注</span></td></tr>"
                u"</table><ul><li>一</li><li>二</li><li>三</li></ul></div>\n"_s.arg(QString::fromLatin1(i))
                    .toUtf8();
    }
    return page + "</body></html>";
}

const std::vector<Target> &targets()
{
    static const std::vector<Target> list{
        {"1,000,000 nested div", [] { return nested("<div>", "</div>", 1'000'000); }, {u"--tag"_s, u"div"_s}},
        {"100,000 nested tables", [] { return nested("<table><tr><td>", "</td></tr></table>", 100'000); },
         {u"--tables"_s, u"TableName0"_s}},
        {"100,000 nested b", [] { return nested("<b>", "</b>", 100'000); }, {u"--tag"_s, u"b"_s}},
        {"details, 100,000 children", details, {u"--tag"_s, u"p"_s}},
        {"50 MB news page", fiftyMegabytes, {u"--tag"_s, u"p"_s}},
        {"table of 1,000,000 cells", millionCells, {u"--tables"_s, u"TableName0"_s}},
        {"100,000 paragraphs", manyParagraphs, {u"--tag"_s, u"p"_s}},
    };
    return list;
}

struct Figure
{
    bool ran = false;
    QString failure;
    double seconds = 0; // the median of the runs
    double peakMegabytes = 0; // the largest of the runs
};

Figure measure(const QString &program, const QStringList &arguments, int runs, qint64 limitMs = LongestRunMs)
{
    Figure figure;
    std::vector<double> seconds;
    for (int run = 0; run < runs; ++run) {
        const ChildRun child = runChild(program, arguments, {}, limitMs);
        if (child.exitCode != 0) {
            figure.failure = child.exitCode < 0 && child.seconds * 1000 >= double(limitMs)
                ? u"> %1 s"_s.arg(limitMs / 1000)
                : u"exit %1"_s.arg(child.exitCode);
            return figure;
        }
        seconds.push_back(child.cpuSeconds);
        figure.peakMegabytes = std::max(figure.peakMegabytes, child.peakMegabytes);
    }
    std::sort(seconds.begin(), seconds.end());
    figure.seconds = seconds[seconds.size() / 2];
    figure.ran = true;
    return figure;
}

// pagrion-cli's own cost, apart from any page: a small page's extract beside
// the parser alone on it, peak memory and wall time from start to end.
bool runStartUpTarget(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(SmallPage) != qsizetype(sizeof SmallPage - 1)) {
        std::fprintf(stderr, "bench: cannot write %s\n", qPrintable(path));
        return false;
    }
    file.close();
    const QStringList extract{u"extract"_s, QUrl::fromLocalFile(path).toString(), u"--engine"_s, u"static"_s,
                              u"--tables"_s, u"TableName0"_s};
    std::vector<double> seconds;
    double peak = 0;
    for (int run = 0; run < StartUpRuns; ++run) {
        const ChildRun child = runChild(QStringLiteral(PAGRION_CLI), extract);
        if (child.exitCode != 0) {
            std::printf("start-up: static extract of a small page failed (exit %d)\n", child.exitCode);
            return false;
        }
        seconds.push_back(child.seconds);
        peak = std::max(peak, child.peakMegabytes);
    }
    std::sort(seconds.begin(), seconds.end());
    const double parser = runChild(QStringLiteral(GUMBO_ALONE), {path}).peakMegabytes;
    const bool ok = peak - parser <= StartUpAllowanceMegabytes;
    std::printf("start-up: static extract of a small page %.0f ms (median of %d), peak %.1f MB, parser alone "
                "%.1f MB: %.1f MB above it, target %.0f MB  %s\n",
                seconds[seconds.size() / 2] * 1000, StartUpRuns, peak, parser, peak - parser,
                StartUpAllowanceMegabytes, ok ? "ok" : "OVER");
    return true;
}

QByteArray cell(const Figure &figure, double budgetMegabytes, bool judged)
{
    if (!figure.ran)
        return figure.failure.toUtf8();
    QByteArray text = QString::asprintf("%5.2f s %5.0f MB", figure.seconds, figure.peakMegabytes).toUtf8();
    if (judged)
        text += figure.seconds <= TargetSeconds && figure.peakMegabytes <= budgetMegabytes ? "  ok" : "  OVER";
    return text;
}

} // namespace

bool runEngineTargets()
{
    QTemporaryDir folder;
    if (!folder.isValid()) {
        std::fprintf(stderr, "bench: no temporary folder for the engine targets\n");
        return false;
    }
    if (!runStartUpTarget(folder.filePath(u"small.html"_s)))
        return false;
    std::printf("engine targets: static engine, user + system time (median of %d) and peak memory;\n"
                "                target %.0f s and %.0f x page + %.0f MB\n",
                Runs, TargetSeconds, MemoryPerPageByte, MemoryAllowanceMegabytes);
    std::printf("  %-27s %8s %8s | %-22s | %-22s | %s\n", "page", "size", "budget", "analyse", "extract",
                "parser alone (gumbo)");
    std::fflush(stdout);
    bool ok = true;
    for (const Target &target : targets()) {
        const QString path = folder.filePath(u"page.html"_s);
        const QByteArray page = target.page();
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(page) != page.size()) {
            std::fprintf(stderr, "bench: cannot write %s\n", qPrintable(path));
            return false;
        }
        file.close();
        const double megabytes = double(page.size()) / (1 << 20);
        const double budget = MemoryPerPageByte * megabytes + MemoryAllowanceMegabytes;
        const QString address = QUrl::fromLocalFile(path).toString();
        const Figure analyse =
            measure(QStringLiteral(PAGRION_CLI), {u"analyse"_s, address, u"--engine"_s, u"static"_s}, Runs);
        const Figure extract = measure(QStringLiteral(PAGRION_CLI),
                                       QStringList{u"extract"_s, address, u"--engine"_s, u"static"_s} + target.extract,
                                       Runs);
        const Figure peer = measure(QStringLiteral(GUMBO_ALONE), {path}, 1, PeerLimitMs);
        ok = ok && analyse.ran && extract.ran;
        std::printf("  %-27s %5.1f MB %5.0f MB | %-22s | %-22s | %s\n", target.name, megabytes, budget,
                    cell(analyse, budget, true).constData(), cell(extract, budget, true).constData(),
                    cell(peer, budget, false).constData());
        std::fflush(stdout);
    }
    return ok;
}

} // namespace pagrion::bench
