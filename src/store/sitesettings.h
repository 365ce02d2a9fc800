#pragma once

#include <optional>

#include <QString>
#include <QStringList>

#include "core/result.h"
#include "store/recordchoice.h"

namespace pagrion {

class Database;

// How the user set up extraction for one page address.
struct SiteSettings
{
    QString web;       // the address as typed
    QString tableName; // table-name list
    QString tableRow;  // row filter list
    bool rowchange = false;
    QString classname; // text of the class list
    // How a batch run makes records for this site; nullopt when no choice
    // was saved, and the run's own choice stands.
    std::optional<RecordSource> records = std::nullopt;
    EveryRowOptions everyRow = {};                    // how 逐行记录 reads the tables
    std::optional<bool> sourceColumns = std::nullopt; // nullopt: as addsSourceColumns() decides

    bool operator==(const SiteSettings &) const = default;
};

// What a save does to the swap flag of an address saved before: the window
// keeps the value of the first save, a job saved whole replaces it.
enum class SwapFlag { KeepFirst, Replace };

// Stores the settings of settings.web: a new row for a new address; for a
// known one every setting changes except the swap flag, which keeps the
// value of the first save. An empty address stores nothing. A table from
// before the record choice gets its columns first.
Status saveSiteSettings(const SiteSettings &settings);
// The same on an open connection to the configuration database, within the
// caller's transaction when it holds one.
Status writeSiteSettings(Database &db, const SiteSettings &settings, SwapFlag swap);

// The newest settings stored for this address, nullopt when there are none.
// Null columns, and columns a table from before them lacks, come back as
// empty text or as the defaults.
Result<std::optional<SiteSettings>> readSiteSettings(const QString &web);

// Whether saving these settings would put an empty table-name list over a
// site's saved one: choosing a class empties 表名称, and an extract right
// after it must not lose what the site had. False when nothing is saved or
// the database cannot be read (the save then tells why).
bool wouldLoseTableNames(const SiteSettings &settings);

// Every saved address, newest first.
Result<QStringList> readSiteAddresses();

} // namespace pagrion
