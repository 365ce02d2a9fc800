#include "store/runstore.h"

namespace pagrion {

Result<QList<int>> RunStore::claimPages(int)
{
    return QList<int>{};
}

} // namespace pagrion
