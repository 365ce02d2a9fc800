#pragma once

#include <optional>

#include <QString>

namespace pagrion {

// How a batch run turns a page into records: the stored layout (调用排版),
// the stored field list (调用字段), or every row of the extracted tables, or
// every element of an element list, as a record of its own (逐行记录).
enum class RecordSource { Layout, Fields, EveryRow };

// The name a record choice is saved and recorded under: "layout", "fields",
// "rows".
QString recordSourceName(RecordSource source);
std::optional<RecordSource> recordSourceFromName(const QString &name);
// The choice as the user reads it: "调用排版", "调用字段", "逐行记录".
QString recordSourceCaption(RecordSource source);

// How 逐行记录 reads a table.
struct EveryRowOptions
{
    static constexpr int AutoHeaderRows = -1;

    // Header rows are not stored; their texts name the columns. Automatic:
    // every row whose cells are all <th>; otherwise the first N rows.
    int headerRows = AutoHeaderRows;
    // The columns kept, in this order, separated by "|": a header text or a
    // column number from 1 ("名称|价格|3"). Empty keeps every column.
    QString columns;

    bool operator==(const EveryRowOptions &) const = default;
};

// The header-row setting as the user gives it: "自动" (or "auto"), "0", "1",
// "2"; nullopt for anything else.
std::optional<int> headerRowsFromText(const QString &text);
QString headerRowsText(int headerRows);

// Records carry their page's address and their row number on the page as
// two last columns ("来源网址", "行号"): unless the user says otherwise, with
// 逐行记录 only.
inline bool addsSourceColumns(RecordSource source, std::optional<bool> chosen)
{
    return chosen.value_or(source == RecordSource::EveryRow);
}

} // namespace pagrion
