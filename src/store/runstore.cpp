#include "store/runstore.h"

namespace pagrion {

Result<QList<int>> RunStore::claimPages(int, bool)
{
    return QList<int>{};
}

} // namespace pagrion
