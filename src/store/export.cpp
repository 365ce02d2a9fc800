#include "store/export.h"

#include <algorithm>
#include <functional>

#include <QSqlError>
#include <QSqlRecord>
#include <QStringList>

#include "core/progress.h"
#include "store/database.h"
#include "store/positionaltable.h"
#include "store/programfolder.h"
#include "store/tablewriter.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

QString quotedName(const QString &name)
{
    return u'"' + QString(name).replace(u'"', u"\"\""_s) + u'"';
}

bool refusedCharacter(QChar c)
{
    const char16_t code = c.unicode();
    return code < 0x20 && code != u'\t' && code != u'\n' && code != u'\r';
}

// Removes the control characters no export format can carry; tab and line
// breaks stay. (The database already delivers non-characters and halves of
// surrogate pairs as U+FFFD.)
QString cleanedCell(const QString &text)
{
    if (std::none_of(text.cbegin(), text.cend(), refusedCharacter))
        return text;
    QString cleaned;
    cleaned.reserve(text.size());
    for (const QChar c : text) {
        if (!refusedCharacter(c))
            cleaned += c;
    }
    return cleaned;
}

struct Shape
{
    QString key;
    QStringList columns; // up to the last one holding text in some record
    int rows = 0;
};

// One pass over the table for its row count and how far its records reach.
Result<Shape> usedShape(Database &db)
{
    const auto columns = tableColumns(db, tableName(PositionalTable::Datalist));
    if (!columns)
        return Error{columns.error()};
    Shape shape;
    shape.key = columns.value().constFirst();
    const QStringList data = columns.value().mid(1);
    QStringList measures{u"count(*)"_s};
    for (const QString &column : data)
        measures << u"max(length(%1) > 0)"_s.arg(quotedName(column));
    const auto found = db.selectAll(u"select %1 from datalist"_s.arg(measures.join(u',')));
    if (!found)
        return Error{found.error()};
    const QSqlRecord &record = found.value().constFirst();
    shape.rows = record.value(0).toInt();
    qsizetype used = 0;
    for (qsizetype c = 0; c < data.size(); ++c) {
        if (record.value(int(c) + 1).toInt() == 1)
            used = c + 1;
    }
    shape.columns = data.mid(0, used);
    return shape;
}

// Hands every record to take, in id order, reading one row at a time.
Status forEachRecord(Database &db, const Shape &shape, const std::function<Status(const QStringList &)> &take)
{
    if (shape.columns.isEmpty())
        return success();
    QStringList names;
    for (const QString &column : shape.columns)
        names << quotedName(column);
    auto selected = db.run(u"select %1 from datalist order by %2"_s.arg(names.join(u','), quotedName(shape.key)));
    if (!selected)
        return Error{selected.error()};
    QSqlQuery query = std::move(selected).value();
    const int count = int(shape.columns.size());
    QStringList cells;
    while (query.next()) {
        cells.clear();
        for (int c = 0; c < count; ++c)
            cells << cleanedCell(query.value(c).toString());
        if (Status taken = take(cells); !taken)
            return taken;
    }
    if (query.lastError().isValid())
        return Error{query.lastError().text()};
    return success();
}

std::unique_ptr<TableWriter> writerFor(ExportFormat format)
{
    switch (format) {
    case ExportFormat::Spreadsheet:
        return makeSpreadsheetWriter();
    case ExportFormat::Text:
        return makeTextTableWriter();
    case ExportFormat::Html:
        return makeHtmlTableWriter();
    }
    Q_UNREACHABLE();
}

// Counts rows across the passes and always hides the bar again.
class RowCounter final
{
public:
    RowCounter(Progress *progress, int maximum) : m_progress(progress)
    {
        if (m_progress)
            m_progress->start(maximum);
    }
    ~RowCounter()
    {
        if (m_progress)
            m_progress->finish();
    }
    Q_DISABLE_COPY_MOVE(RowCounter)

    void step()
    {
        // Reporting every row would cost more than the writing.
        if (m_progress && (++m_done % 256 == 0))
            m_progress->setValue(m_done);
    }

private:
    Progress *m_progress;
    int m_done = 0;
};

} // namespace

std::optional<ExportFormat> exportFormatFor(const QString &path)
{
    const QString name = path.toLower();
    if (name.contains(u"xls"_s) || name.contains(u"csv"_s))
        return ExportFormat::Spreadsheet;
    if (name.contains(u"txt"_s))
        return ExportFormat::Text;
    if (name.contains(u"html"_s))
        return ExportFormat::Html;
    return std::nullopt;
}

QString exportFormatName(ExportFormat format)
{
    switch (format) {
    case ExportFormat::Spreadsheet:
        return u"Microsoft Excel (*.xls)"_s;
    case ExportFormat::Text:
        return u"MS-DOS Text (*.txt)"_s;
    case ExportFormat::Html:
        return u"HTML (*.html)"_s;
    }
    Q_UNREACHABLE();
}

QString unknownExportFormatMessage()
{
    return u"没有输出文件：文件名中要含有 xls 或 csv（电子表格）、txt（文本表格）或 html（网页表格），"
           u"如 data.xls、data.txt、data.html。"_s;
}

Status exportDatalist(const QString &path, ExportFormat format, Progress *progress)
{
    Database db;
    if (Status opened = db.open(programFolder().resultDatabasePath()); !opened)
        return opened;
    const auto shape = usedShape(db);
    if (!shape)
        return Error{shape.error()};

    const std::unique_ptr<TableWriter> writer = writerFor(format);
    const int passes = writer->needsMeasuring() ? 2 : 1;
    RowCounter counter(progress, shape.value().rows * passes);
    if (writer->needsMeasuring()) {
        writer->measure(shape.value().columns);
        const Status measured = forEachRecord(db, shape.value(), [&](const QStringList &cells) {
            writer->measure(cells);
            counter.step();
            return success();
        });
        if (!measured)
            return measured;
    }
    if (Status started = writer->start(path, shape.value().columns); !started)
        return started;
    const Status written = forEachRecord(db, shape.value(), [&](const QStringList &cells) {
        counter.step();
        return writer->writeRow(cells);
    });
    if (!written)
        return written;
    return writer->finish();
}

} // namespace pagrion
