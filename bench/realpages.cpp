// pagrion-agreement: loads saved pages that nobody here wrote with both
// engines and counts how much of what the program reads from them comes out
// the same: the tables, their cells, and the texts of the elements of common
// tags. The full browser is the reference. Prints a table per folder and in
// all, then the first items that differ, for finding their causes.
//
//   pagrion-agreement [--per-folder N] [--no-scripts] [--show N] FOLDER...
//
// Each folder gives up to N pages (*.html, *.htm, below it), taken evenly
// through its sorted list so that one large manual does not crowd out the
// rest. A page that sends a browser on to another (a refresh) is counted
// apart and not compared. Texts are compared as the program keeps them, without the spaces at
// their ends. --no-scripts turns the full browser's scripts off, which
// leaves the differences scripts do not explain (but shows what <noscript>
// holds, which the static engine, reading as a browser with scripts, does
// not).

#include <cstdio>

#include <QApplication>
#include <QDirIterator>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include "core/textrules.h"
#include "engine/staticbrowser.h"
#include "engine/webengine/webenginebrowser.h"
#include "engine/webengine/webenginesetup.h"

using namespace Qt::StringLiterals;
using namespace pagrion;

namespace {

constexpr int LoadDeadlineMs = 60'000;
const QStringList Tags{u"p"_s,  u"li"_s, u"h1"_s, u"h2"_s, u"h3"_s,   u"a"_s,  u"td"_s,
                       u"th"_s, u"dt"_s, u"dd"_s, u"pre"_s, u"span"_s, u"div"_s, u"blockquote"_s};

struct Count
{
    qint64 same = 0;
    qint64 all = 0;
    void add(bool agrees)
    {
        ++all;
        same += agrees ? 1 : 0;
    }
    void add(const Count &other)
    {
        same += other.same;
        all += other.all;
    }
    QString percent() const { return all ? QString::number(100.0 * double(same) / double(all), 'f', 2) : u"-"_s; }
};

struct Tally
{
    int pages = 0;
    int agreeing = 0; // pages where every item agrees
    int unread = 0;   // pages one engine could not load or read
    int moved = 0;    // pages that sent an engine on to another page
    int shifted = 0;  // pages whose engines count their tables or the elements of a tag differently
    Count tables;
    Count cells;
    Count elements;
    QMap<QString, Count> byTag;
    void add(const Tally &other)
    {
        pages += other.pages;
        agreeing += other.agreeing;
        unread += other.unread;
        moved += other.moved;
        shifted += other.shifted;
        tables.add(other.tables);
        cells.add(other.cells);
        elements.add(other.elements);
        for (auto tag = other.byTag.cbegin(); tag != other.byTag.cend(); ++tag)
            byTag[tag.key()].add(tag.value());
    }
};

struct Difference
{
    QString page;
    QString item;
    QString fast;
    QString full;
};

bool load(Browser &browser, const QUrl &url)
{
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&browser, &Browser::DownloadComplete, &loop, &QEventLoop::quit);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    browser.Navigate(url.toString());
    deadline.start(LoadDeadlineMs);
    loop.exec();
    return !browser.Busy() && !browser.failure();
}

QStringList pagesOf(const QString &folder, int perFolder)
{
    QStringList all;
    QDirIterator files(folder, {u"*.html"_s, u"*.htm"_s}, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext())
        all.append(files.next());
    all.sort();
    if (all.size() <= perFolder)
        return all;
    QStringList taken;
    for (int i = 0; i < perFolder; ++i)
        taken.append(all.at(qsizetype(double(i) * double(all.size()) / perFolder)));
    return taken;
}

// Compares two lists of texts item by item, as the program keeps them
// (without the spaces at their ends); an item only one side has differs.
template <typename Note>
bool compareItems(const QStringList &fast, const QStringList &full, Count &count, const Note &note)
{
    bool agrees = true;
    for (qsizetype i = 0; i < std::max(fast.size(), full.size()); ++i) {
        const QString a = i < fast.size() ? trimSpaces(fast.at(i)) : QString();
        const QString b = i < full.size() ? trimSpaces(full.at(i)) : QString();
        const bool same = i < fast.size() && i < full.size() && a == b;
        count.add(same);
        if (!same) {
            agrees = false;
            note(i, a, b);
        }
    }
    return agrees;
}

Tally comparePage(const QString &path, const Document &fast, const Document &full, QList<Difference> &differences)
{
    Tally tally;
    tally.pages = 1;
    bool agrees = true;
    const auto noteText = [&](const QString &item) {
        return [&, item](qsizetype i, const QString &a, const QString &b) {
            differences.append({path, u"%1 %2"_s.arg(item).arg(i), a, b});
        };
    };
    const QList<HtmlTable> fastTables = fast.tables();
    const QList<HtmlTable> fullTables = full.tables();
    bool shifted = fastTables.size() != fullTables.size();
    for (qsizetype t = 0; t < std::max(fastTables.size(), fullTables.size()); ++t) {
        const QList<QStringList> a = t < fastTables.size() ? fastTables.at(t).rows : QList<QStringList>();
        const QList<QStringList> b = t < fullTables.size() ? fullTables.at(t).rows : QList<QStringList>();
        Count cells;
        for (qsizetype r = 0; r < std::max(a.size(), b.size()); ++r) {
            const QStringList rowA = r < a.size() ? a.at(r) : QStringList();
            const QStringList rowB = r < b.size() ? b.at(r) : QStringList();
            agrees = compareItems(rowA, rowB, cells, noteText(u"table %1 row %2 cell"_s.arg(t).arg(r))) && agrees;
        }
        tally.tables.add(cells.same == cells.all && a.size() == b.size());
        tally.cells.add(cells);
    }
    for (const QString &tag : Tags) {
        Count &count = tally.byTag[tag];
        const QStringList fastTexts = fast.elementTexts(tag);
        const QStringList fullTexts = full.elementTexts(tag);
        shifted = shifted || fastTexts.size() != fullTexts.size();
        agrees = compareItems(fastTexts, fullTexts, count, noteText(tag)) && agrees;
        tally.elements.add(count);
    }
    tally.agreeing = agrees ? 1 : 0;
    tally.shifted = shifted ? 1 : 0;
    return tally;
}

void printRow(const QString &name, const Tally &tally)
{
    std::printf("%-40s %5d %5d %6d %5d %7d  %5lld/%-5lld %8s%%  %8s%%\n", qPrintable(name.right(40)), tally.pages,
                tally.agreeing, tally.unread, tally.moved, tally.shifted, tally.tables.same, tally.tables.all,
                qPrintable(tally.cells.percent()), qPrintable(tally.elements.percent()));
}

// The part of a text around where it first differs from the other.
QString around(const QString &text, const QString &other)
{
    qsizetype first = 0;
    while (first < text.size() && first < other.size() && text.at(first) == other.at(first))
        ++first;
    const qsizetype from = std::max<qsizetype>(0, first - 40);
    QString part = text.mid(from, 110);
    part.replace(u'\n', u"⏎"_s).replace(u'\t', u"⇥"_s).replace(QChar(0xa0), u"⍽"_s);
    return (from > 0 ? u"…"_s : QString()) + part + (from + 110 < text.size() ? u"…"_s : QString());
}

} // namespace

int main(int argc, char *argv[])
{
    prepareWebEngine();
    QApplication app(argc, argv);
    QStringList folders = app.arguments().mid(1);
    int perFolder = 25;
    int show = 40;
    bool scripts = true;
    for (qsizetype i = 0; i < folders.size();) {
        const QString option = folders.at(i);
        if (option == u"--no-scripts"_s) {
            scripts = false;
            folders.removeAt(i);
        } else if ((option == u"--per-folder"_s || option == u"--show"_s) && i + 1 < folders.size()) {
            (option == u"--show"_s ? show : perFolder) = folders.at(i + 1).toInt();
            folders.remove(i, 2);
        } else {
            ++i;
        }
    }
    if (folders.isEmpty()) {
        std::fprintf(stderr, "usage: pagrion-agreement [--per-folder N] [--no-scripts] [--show N] FOLDER...\n");
        return 2;
    }

    StaticBrowser fast;
    WebEngineBrowser full;
    full.view()->page()->settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, scripts);
    std::printf("full browser scripts: %s\n", scripts ? "on" : "off");
    std::printf("%-40s %5s %5s %6s %5s %7s  %11s %9s  %9s\n", "folder", "pages", "agree", "unread", "moved",
                "shifted", "tables", "cells", "elements");
    Tally total;
    QList<Difference> differences;
    for (const QString &folder : std::as_const(folders)) {
        Tally tally;
        for (const QString &path : pagesOf(folder, perFolder)) {
            const QUrl url = QUrl::fromLocalFile(path);
            if (!load(fast, url) || !load(full, url)) {
                ++tally.unread;
                continue;
            }
            // A page that refreshes to another is read by the static engine
            // where it leads, and by the full browser before it moves on.
            if (fast.url() != url || full.url() != url) {
                ++tally.moved;
                continue;
            }
            try {
                tally.add(comparePage(path, *fast.document(), *full.document(), differences));
            } catch (const DocumentError &error) {
                ++tally.unread;
                std::fprintf(stderr, "%s: %s\n", qPrintable(path), error.what());
            }
        }
        printRow(folder, tally);
        total.add(tally);
    }
    printRow(u"all"_s, total);
    std::printf("\nelements by tag:");
    for (auto tag = total.byTag.cbegin(); tag != total.byTag.cend(); ++tag)
        std::printf(" %s %s%% (%lld)", qPrintable(tag.key()), qPrintable(tag.value().percent()), tag.value().all);
    std::printf("\n\n%lld items differ; the first %d:\n", qint64(differences.size()), show);
    for (const Difference &difference : differences.mid(0, show))
        std::printf("%s %s\n  fast: %s\n  full: %s\n", qPrintable(QFileInfo(difference.page).fileName()),
                    qPrintable(difference.item), qPrintable(around(difference.fast, difference.full)),
                    qPrintable(around(difference.full, difference.fast)));
    return 0;
}
