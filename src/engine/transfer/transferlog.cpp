#include "engine/transfer/transferlog.h"

namespace pagrion {

Q_LOGGING_CATEGORY(lcTransfer, "pagrion.transfer", QtWarningMsg)

} // namespace pagrion
