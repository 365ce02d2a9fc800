#include "layout/everyrow.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "core/textrules.h"
#include "engine/document.h"
#include "extract/classlist.h"
#include "extract/extraction.h"
#include "extract/rowtext.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

bool isHeaderRow(const QList<CellSpan> &spans)
{
    return !spans.isEmpty() && std::all_of(spans.begin(), spans.end(), [](const CellSpan &span) { return span.header; });
}

bool isBlank(const QStringList &cells)
{
    return std::all_of(cells.begin(), cells.end(), [](const QString &cell) { return cell.isEmpty(); });
}

// A column the user chose: its header text, or its number from 1.
struct ChosenColumn
{
    QString name;
    int number = 0;
};

QList<ChosenColumn> chosenColumns(const QString &columns)
{
    QList<ChosenColumn> chosen;
    for (const QString &piece : columns.split(CellSeparator)) {
        const QString text = piece.trimmed();
        if (text.isEmpty())
            continue;
        bool isNumber = false;
        const int number = text.toInt(&isNumber);
        chosen.append(isNumber && number > 0 ? ChosenColumn{{}, number} : ChosenColumn{text, 0});
    }
    return chosen;
}

// Each header row's text per column, top to bottom, a text repeated by a
// spanning cell said once.
QStringList headerNames(const AlignedTable &table, const QList<int> &headerRows)
{
    QStringList names;
    for (int c = 0; c < table.width; ++c) {
        QStringList parts;
        for (const int r : headerRows) {
            const QString text = table.rows[r].value(c);
            if (!text.isEmpty() && !parts.contains(text))
                parts << text;
        }
        names << parts.join(u' ');
    }
    return names;
}

// The positions of the chosen columns in a table with these names; -1 for a
// number past the table's last column, which stays empty.
Result<QList<int>> columnPositions(const QList<ChosenColumn> &chosen, const QStringList &names, int width,
                                   const QString &table)
{
    QList<int> positions;
    for (const ChosenColumn &column : chosen) {
        if (column.number > 0) {
            positions << (column.number <= width ? column.number - 1 : -1);
            continue;
        }
        const auto found = std::find_if(names.begin(), names.end(),
                                        [&](const QString &name) { return sameName(name, column.name); });
        if (found == names.end())
            return Error{u"表格 %1 中没有名为“%2”的列"_s.arg(table, column.name)};
        positions << int(found - names.begin());
    }
    return positions;
}

QStringList pick(const QStringList &cells, const QList<int> &positions)
{
    QStringList picked;
    picked.reserve(positions.size());
    for (const int position : positions)
        picked << (position >= 0 ? cells.value(position) : QString());
    return picked;
}

Status addTableRecords(const HtmlTable &html, const QString &element, const NameList &filter,
                       const EveryRowOptions &options, const QList<ChosenColumn> &chosen, RowRecords &records,
                       const WorkBudget *budget)
{
    const AlignedTable table = alignTable(html, budget);
    QList<bool> isHeader(table.rows.size(), false);
    QList<int> headerRows;
    for (int r = 0; r < table.rows.size(); ++r) {
        isHeader[r] = options.headerRows == EveryRowOptions::AutoHeaderRows ? table.headerRows[r]
                                                                            : r < options.headerRows;
        if (isHeader[r] && GetTableRows(rowName(element, r), filter))
            headerRows << r;
    }
    // The first block of header rows names the columns; headers repeated
    // further down are left out all the same.
    QList<int> naming;
    for (const int r : std::as_const(headerRows)) {
        if (!naming.isEmpty() && r != naming.constLast() + 1)
            break;
        naming << r;
    }
    const QStringList names = headerNames(table, naming);

    QList<int> positions;
    if (chosen.isEmpty()) {
        for (int c = 0; c < table.width; ++c)
            positions << c;
    } else {
        auto found = columnPositions(chosen, names, table.width, element);
        if (!found)
            return Error{found.error()};
        positions = std::move(found).value();
    }
    if (records.names.isEmpty() && !naming.isEmpty())
        records.names = pick(names, positions);

    for (int r = 0; r < table.rows.size(); ++r) {
        checkWork(budget);
        if (isHeader[r] || isBlank(table.rows[r]) || !GetTableRows(rowName(element, r), filter))
            continue;
        records.records << pick(table.rows[r], positions);
    }
    return success();
}

RowRecords elementRecords(const Document &document, const ExtractionSettings &extraction, const WorkBudget *budget)
{
    RowRecords records;
    const QStringList texts = document.elementTexts(extraction.classValue);
    if (texts.isEmpty()) {
        records.emptyReason = noRowsReason(document, extraction);
        return records;
    }
    const bool links = sameName(extraction.classValue, u"a"_s);
    const QStringList addresses = links ? document.anchorAddresses() : QStringList();
    const NameList filter(extraction.rowFilter);
    const QString element = elementName(1);
    for (qsizetype i = 0; i < texts.size(); ++i) {
        checkWork(budget);
        if (!GetTableRows(rowName(element, int(i)), filter))
            continue;
        QStringList record{trimSpaces(texts[i])};
        if (links)
            record << addresses.value(i);
        if (!isBlank(record))
            records.records << record;
    }
    if (records.records.isEmpty())
        records.emptyReason = u"过滤后没有行"_s;
    return records;
}

} // namespace

AlignedTable alignTable(const HtmlTable &table, const WorkBudget *budget)
{
    AlignedTable aligned;
    const qsizetype rowCount = table.rows.size();
    aligned.rows.resize(rowCount);
    aligned.headerRows.resize(rowCount);
    // Spans may fill this many positions beyond one per cell: a hostile
    // table of huge spans stays within a few times its own size.
    qsizetype cellCount = 0;
    for (const QStringList &cells : table.rows)
        cellCount += cells.size();
    qsizetype spanBudget = 16 * cellCount + 1'000'000;
    // Which positions a cell from a row above already covers.
    std::vector<std::vector<bool>> taken(static_cast<size_t>(rowCount));
    const auto take = [&](qsizetype r, int c, const QString &text) {
        QStringList &row = aligned.rows[r];
        if (row.size() <= c)
            row.resize(c + 1);
        row[c] = text;
        std::vector<bool> &covered = taken[size_t(r)];
        if (covered.size() <= size_t(c))
            covered.resize(size_t(c) + 1, false);
        covered[size_t(c)] = true;
    };
    const auto isTaken = [&](qsizetype r, int c) {
        const std::vector<bool> &covered = taken[size_t(r)];
        return size_t(c) < covered.size() && covered[size_t(c)];
    };
    for (qsizetype r = 0; r < rowCount; ++r) {
        checkWork(budget);
        const QStringList &cells = table.rows[r];
        const QList<CellSpan> spans = table.spans.value(r);
        aligned.headerRows[r] = isHeaderRow(spans);
        int c = 0;
        for (qsizetype i = 0; i < cells.size(); ++i) {
            while (c < MaxAlignedColumns && isTaken(r, c))
                ++c;
            if (c >= MaxAlignedColumns)
                break;
            const CellSpan span = spans.value(i);
            qsizetype down = span.rowSpan == 0 ? rowCount - r : std::clamp<qsizetype>(span.rowSpan, 1, rowCount - r);
            int across = std::clamp(span.colSpan, 1, MaxAlignedColumns - c);
            if (down * across - 1 > spanBudget)
                down = across = 1;
            spanBudget -= down * across - 1;
            const QString text = trimSpaces(cells[i]);
            for (qsizetype dr = 0; dr < down; ++dr) {
                for (int dc = 0; dc < across; ++dc)
                    take(r + dr, c + dc, text);
            }
            c += across;
        }
    }
    for (const QStringList &row : std::as_const(aligned.rows))
        aligned.width = std::max(aligned.width, int(row.size()));
    return aligned;
}

Result<RowRecords> everyRowRecords(const Document &document, const ExtractionSettings &extraction,
                                   const EveryRowOptions &options, const WorkBudget *budget)
{
    if (extraction.classValue != TableClass)
        return elementRecords(document, extraction, budget);

    RowRecords records;
    const NameList names(extraction.tableNames);
    const NameList filter(extraction.rowFilter);
    const QList<ChosenColumn> chosen = chosenColumns(options.columns);
    const QList<HtmlTable> tables = document.tables();
    for (qsizetype t = 0; t < tables.size(); ++t) {
        const QString element = elementName(int(t));
        if (!GetTableName(element, names))
            continue;
        if (Status added = addTableRecords(tables[t], element, filter, options, chosen, records, budget); !added)
            return Error{added.error()};
    }
    if (records.records.isEmpty())
        records.emptyReason = noTableRowsReason(extraction.tableNames, tables.size());
    return records;
}

} // namespace pagrion
