#include "batch/pagerecords.h"

#include "layout/definitionreader.h"

using namespace Qt::StringLiterals;

namespace pagrion {

void prepareRecordGrid(RecordSource source, Grid &recordGrid)
{
    recordGrid.setRows(1);
    recordGrid.setRows(2);
    recordGrid.setCols(1);
    recordGrid.setCols(source == RecordSource::Layout ? 2 : 50);
}

Status applyStoredDefinition(DefinitionReader &definitions, RecordSource source, const Grid &mainGrid,
                             Grid &recordGrid, const std::function<Result<int>()> &headLength)
{
    if (source == RecordSource::Layout) {
        auto layout = definitions.layout();
        if (!layout)
            return Error{layout.error()};
        if (layout.value().rows.isEmpty())
            return Error{u"无排版信息系统不能识别！"_s};
        return applyLayout(layout.value(), mainGrid, recordGrid);
    }

    auto fields = definitions.fields();
    if (!fields)
        return Error{fields.error()};
    // The head length is read before the field count is looked at, so a
    // missing setting is noticed even with an empty field list.
    const Result<int> length = headLength();
    if (!length)
        return Error{length.error()};
    if (fields.value().isEmpty())
        return Error{u"无字段信息系统不能识别！"_s};
    return applyFields(fields.value(), length.value(), mainGrid, recordGrid);
}

} // namespace pagrion
