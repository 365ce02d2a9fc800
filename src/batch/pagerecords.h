#pragma once

#include <functional>
#include <optional>

#include <QString>
#include <QStringList>

#include "core/grid.h"
#include "core/result.h"
#include "core/workbudget.h"
#include "layout/layouts.h"
#include "store/recordchoice.h"

namespace pagrion {

class DefinitionReader;
class Document;
struct ExtractionSettings;

// What a run turns its pages into records with.
struct RecordDefinition
{
    RecordSource source = RecordSource::Layout;
    EveryRowOptions everyRow;
    bool sourceColumns = false;
    // Given with the job; otherwise the stored ones are read.
    std::optional<Layout> layout;
    std::optional<QList<Field>> fields;
    std::optional<int> headLength;
};

// Empties the record grid before a page: a header row and the blank row, two
// columns for a layout, fifty otherwise.
void prepareRecordGrid(RecordSource source, Grid &recordGrid);

// Turns each page of a run into rows of the record grid. The stored layout
// and field list are read through the reader, so one saved during the run
// applies from the next page on.
class PageRecords final
{
public:
    // storedHeadLength is asked for only when a stored field list is used
    // without a head length of the job's own.
    PageRecords(const RecordDefinition &definition, DefinitionReader &stored,
                std::function<Result<int>()> storedHeadLength);

    // Before the first page: fails with the message the user is shown when
    // there is nothing to apply. settingUnreadable tells a head length that
    // cannot be read apart from a missing definition.
    Status check(bool &settingUnreadable);

    struct Page
    {
        QStringList columnNames; // names for datalist's columns, empty where none
        QString emptyReason;     // why the page may give no records
        QString rowText;         // what the window shows of the page
    };
    // The page's records in the record grid; extractedText is the page's row
    // text (read only for a layout or a field list). Fails with the message
    // that makes the page a failed one: the definition does not fit it.
    // The budget ends a long page with WorkEnded.
    Result<Page> fill(const Document &document, const ExtractionSettings &extraction, const QString &extractedText,
                      const QString &address, const Grid &mainGrid, Grid &recordGrid, const WorkBudget &budget);

    // The layout or field list applied to the main grid, as one page's
    // records are made (nothing for 逐行记录, which reads the page itself).
    Status applyDefinition(const Grid &mainGrid, Grid &recordGrid);

private:
    // What the record choice needs, read once for a page, and how many
    // columns it fills (the source columns come after them).
    struct Definition
    {
        LayoutPlan layout;
        QList<Field> fields;
        int headLength = 0;
        int width = 1;
    };
    Result<Definition> read(bool &settingUnreadable);
    // Applies the layout or field list; the columns it fills.
    Result<int> apply(const Grid &mainGrid, Grid &recordGrid, const WorkBudget *budget = nullptr);
    Result<LayoutPlan> layout();
    Result<QList<Field>> fields();
    Result<int> headLength();

    RecordDefinition m_definition;
    DefinitionReader &m_stored;
    std::function<Result<int>()> m_storedHeadLength;
    std::optional<LayoutPlan> m_givenLayout;
};

} // namespace pagrion
