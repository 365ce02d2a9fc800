#pragma once

#include <functional>

#include "core/grid.h"
#include "core/result.h"
#include "store/recordchoice.h"

namespace pagrion {

class DefinitionReader;

// Empties the record grid before a page: a header row and the blank row, two
// columns for a layout, fifty for a field list.
void prepareRecordGrid(RecordSource source, Grid &recordGrid);

// Fills the record grid from the main grid with the stored layout or field
// list, as the reader has it. Fails with the message the user is shown: no
// definition stored, or the definition's own failure. The head length is
// asked for only when the field list is used; its error is passed on as it
// stands.
Status applyStoredDefinition(DefinitionReader &definitions, RecordSource source, const Grid &mainGrid,
                             Grid &recordGrid, const std::function<Result<int>()> &headLength);

} // namespace pagrion
