#pragma once

#include "core/result.h"

namespace pagrion {

class PgConnection;

// The tables on a result server, made and brought up to date by the program
// itself: numbered steps, each applied once, in order, recorded in
// pagrion_schema. Processes starting together take turns under an advisory
// lock, so each step runs exactly once. A server brought further by a newer
// program is left alone and refused.
Status prepareServerSchema(PgConnection &connection);

// The step the tables are at once prepared.
int serverSchemaVersion();

} // namespace pagrion
