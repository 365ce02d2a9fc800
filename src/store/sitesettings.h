#pragma once

#include <optional>

#include <QString>
#include <QStringList>

#include "core/result.h"

namespace pagrion {

// How the user set up extraction for one page address.
struct SiteSettings
{
    QString web;       // the address as typed
    QString tableName; // table-name list
    QString tableRow;  // row filter list
    bool rowchange = false;
    QString classname; // text of the class list

    bool operator==(const SiteSettings &) const = default;
};

// Stores the settings of settings.web: a new row for a new address; for a
// known one the lists and the class change while the swap flag keeps the
// value of the first save. An empty address stores nothing.
Status saveSiteSettings(const SiteSettings &settings);

// The newest settings stored for this address, nullopt when there are none.
// Null columns come back as empty text.
Result<std::optional<SiteSettings>> readSiteSettings(const QString &web);

// Every saved address, newest first.
Result<QStringList> readSiteAddresses();

} // namespace pagrion
