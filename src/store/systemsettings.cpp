#include "store/systemsettings.h"

#include "store/database.h"
#include "store/enginesetting.h"
#include "store/logsetting.h"
#include "store/namedsetting.h"
#include "store/programfolder.h"

namespace pagrion {

Status saveSystemSettings(const QString &headLength, EngineKind engine, const LoadSettings &load,
                          const NetworkSettings &network, LogLevel logLevel)
{
    Database db;
    if (Status opened = db.open(programFolder().configDatabasePath()); !opened)
        return opened;
    return db.inTransaction([&]() -> Status {
        if (Status written = writePubLenfiled(db, headLength); !written)
            return written;
        if (Status written = writeEngineSetting(db, engine); !written)
            return written;
        if (Status written = writeLoadSettings(db, load); !written)
            return written;
        if (Status written = writeNetworkSettings(db, network); !written)
            return written;
        return writeLogLevel(db, logLevel);
    });
}

} // namespace pagrion
