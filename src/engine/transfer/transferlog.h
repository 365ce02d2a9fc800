#pragma once

#include <QLoggingCategory>

namespace pagrion {

// Each page's transfer: address, status, bytes, time, attempts and why it failed.
Q_DECLARE_LOGGING_CATEGORY(lcTransfer)

} // namespace pagrion
