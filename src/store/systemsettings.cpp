#include "store/systemsettings.h"

#include "store/database.h"
#include "store/enginesetting.h"
#include "store/logsetting.h"
#include "store/namedsetting.h"
#include "store/programfolder.h"
#include "store/serversetting.h"

namespace pagrion {

Status saveSystemSettings(const QString &headLength, EngineKind engine, const LoadSettings &load,
                          const NetworkSettings &network, LogLevel logLevel, const QString &resultServer)
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
        if (Status written = writeLogLevel(db, logLevel); !written)
            return written;
        return writeResultServer(db, resultServer);
    });
}

} // namespace pagrion
