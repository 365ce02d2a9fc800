#include "batch/pagerecords.h"

#include <algorithm>

#include "extract/rowtext.h"
#include "layout/definitionreader.h"
#include "layout/everyrow.h"
#include "extract/extraction.h"
#include "store/datalisttable.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

const QString NoLayout = u"无排版信息系统不能识别！"_s;
const QString NoFields = u"无字段信息系统不能识别！"_s;

// Rows 1 to rows - 2 of a record grid hold its records.
int recordCount(const Grid &recordGrid)
{
    return std::max(recordGrid.rows() - 2, 0);
}

// The records as row text, for the window to show.
QString recordsText(const QList<QStringList> &records, const WorkBudget &budget)
{
    QString text;
    for (const QStringList &record : records) {
        budget.check();
        text += record.join(CellSeparator) + RowEnd;
    }
    return text;
}

} // namespace

void prepareRecordGrid(RecordSource source, Grid &recordGrid)
{
    recordGrid.setRows(1);
    recordGrid.setRows(2);
    recordGrid.setCols(1);
    switch (source) {
    case RecordSource::Layout:
        recordGrid.setCols(2);
        return;
    case RecordSource::Fields:
    case RecordSource::EveryRow:
        recordGrid.setCols(50);
        return;
    }
}

PageRecords::PageRecords(const RecordDefinition &definition, DefinitionReader &stored,
                         std::function<Result<int>()> storedHeadLength)
    : m_definition(definition)
    , m_stored(stored)
    , m_storedHeadLength(std::move(storedHeadLength))
{
    if (m_definition.layout)
        m_givenLayout = planLayout(*m_definition.layout);
}

Result<LayoutPlan> PageRecords::layout()
{
    if (m_givenLayout)
        return *m_givenLayout;
    return m_stored.layout();
}

Result<QList<Field>> PageRecords::fields()
{
    if (m_definition.fields)
        return *m_definition.fields;
    return m_stored.fields();
}

Result<int> PageRecords::headLength()
{
    if (m_definition.headLength)
        return *m_definition.headLength;
    return m_storedHeadLength();
}

Result<PageRecords::Definition> PageRecords::read(bool &settingUnreadable)
{
    settingUnreadable = false;
    Definition read;
    switch (m_definition.source) {
    case RecordSource::Layout: {
        auto plan = layout();
        if (!plan)
            return Error{plan.error()};
        if (plan.value().rows.isEmpty())
            return Error{NoLayout};
        read.layout = std::move(plan).value();
        for (const QList<LayoutPlan::Cell> &row : std::as_const(read.layout.rows)) {
            for (const LayoutPlan::Cell &cell : row)
                read.width = std::max(read.width, cell.col + 1);
        }
        return read;
    }
    case RecordSource::Fields: {
        auto list = fields();
        if (!list)
            return Error{list.error()};
        // The head length is read before the field count is looked at, so a
        // missing setting is noticed even with an empty field list.
        const Result<int> length = headLength();
        if (!length) {
            settingUnreadable = true;
            return Error{length.error()};
        }
        if (list.value().isEmpty())
            return Error{NoFields};
        read.fields = std::move(list).value();
        read.headLength = length.value();
        read.width = std::max(fieldListWidth(read.fields), 1);
        return read;
    }
    case RecordSource::EveryRow:
        return read;
    }
    return read;
}

Status PageRecords::check(bool &settingUnreadable)
{
    const Result<Definition> definition = read(settingUnreadable);
    return definition ? success() : Status(Error{definition.error()});
}

Result<int> PageRecords::apply(const Grid &mainGrid, Grid &recordGrid, const WorkBudget *budget)
{
    bool settingUnreadable = false;
    const Result<Definition> definition = read(settingUnreadable);
    if (!definition)
        return Error{definition.error()};
    const Definition &read = definition.value();
    Status applied = success();
    switch (m_definition.source) {
    case RecordSource::Layout:
        applied = applyLayout(read.layout, mainGrid, recordGrid);
        break;
    case RecordSource::Fields:
        applied = applyFields(read.fields, read.headLength, mainGrid, recordGrid, budget);
        break;
    case RecordSource::EveryRow:
        break;
    }
    if (!applied)
        return Error{applied.error()};
    return read.width;
}

Status PageRecords::applyDefinition(const Grid &mainGrid, Grid &recordGrid)
{
    const Result<int> applied = apply(mainGrid, recordGrid);
    return applied ? success() : Status(Error{applied.error()});
}

Result<PageRecords::Page> PageRecords::fill(const Document &document, const ExtractionSettings &extraction,
                                            const QString &extractedText, const QString &address,
                                            const Grid &mainGrid, Grid &recordGrid, const WorkBudget &budget)
{
    Page page;
    int width = 1; // the records' columns before the source columns
    prepareRecordGrid(m_definition.source, recordGrid);
    if (m_definition.source == RecordSource::EveryRow) {
        auto rows = everyRowRecords(document, extraction, m_definition.everyRow, &budget);
        if (!rows)
            return Error{rows.error()};
        const QList<QStringList> &records = rows.value().records;
        for (const QStringList &record : records)
            width = std::max(width, int(record.size()));
        recordGrid.setCols(std::max(width + 1, recordGrid.cols()));
        recordGrid.setRows(int(records.size()) + 2);
        for (qsizetype r = 0; r < records.size(); ++r) {
            budget.check();
            for (qsizetype c = 0; c < records[r].size(); ++c)
                recordGrid.setText(int(r) + 1, int(c), records[r][c]);
        }
        page.columnNames = rows.value().names;
        page.emptyReason = rows.value().emptyReason;
        page.rowText = recordsText(records, budget);
    } else {
        const Result<int> applied = apply(mainGrid, recordGrid, &budget);
        if (!applied)
            return Error{applied.error()};
        page.rowText = extractedText;
        width = applied.value();
        if (extractedText.isEmpty())
            page.emptyReason = noRowsReason(document, extraction);
        else
            page.emptyReason = m_definition.source == RecordSource::Layout ? u"按排版取到的记录都是空的"_s
                                                                            : u"网页中没有与字段名相符的行"_s;
    }

    if (m_definition.sourceColumns && recordCount(recordGrid) > 0) {
        if (recordGrid.cols() < width + 2)
            recordGrid.setCols(width + 2);
        for (int r = 1; r <= recordCount(recordGrid); ++r) {
            budget.check();
            recordGrid.setText(r, width, address);
            recordGrid.setText(r, width + 1, QString::number(r));
        }
        page.columnNames.resize(width);
        page.columnNames << u"来源网址"_s << u"行号"_s;
    }
    return page;
}

} // namespace pagrion
