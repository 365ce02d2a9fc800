#pragma once

#include <QLoggingCategory>

namespace pagrion {

// Errors of the databases: which file or statement, and SQLite's own words.
Q_DECLARE_LOGGING_CATEGORY(lcStore)

} // namespace pagrion
