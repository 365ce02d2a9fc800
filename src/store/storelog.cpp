#include "store/storelog.h"

namespace pagrion {

Q_LOGGING_CATEGORY(lcStore, "pagrion.store", QtWarningMsg)

} // namespace pagrion
