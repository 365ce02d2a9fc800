#pragma once

#include <optional>

#include <QJsonObject>
#include <QList>
#include <QString>

#include "core/result.h"
#include "store/definitions.h"
#include "store/sitesettings.h"

namespace pagrion {

// One site's job, whole enough to move to another machine: the site's saved
// settings, the definition its records are made with, and the head length a
// field list reads its names in.
struct SiteJob
{
    SiteSettings settings;
    std::optional<Layout> layout = std::nullopt;       // records made with this layout
    std::optional<QList<Field>> fields = std::nullopt; // records made with this field list
    std::optional<int> headLength = std::nullopt;      // PubLenfiled, for a field list

    bool operator==(const SiteJob &) const = default;
};

// A job file holds one JSON object: "format": "pagrion-job", "version": 1,
// the settings ("web", "tableNames", "rowFilter", "swap", "class", "records",
// "headerRows", "columns", "sourceColumns"), and "layout" (rows of cells,
// each a text or null), "fields" (objects with "id" and "filedname") and
// "headLength" when the job has them.
QJsonObject jobToJson(const SiteJob &job);
// An object of another shape is an error that names the key at fault.
Result<SiteJob> jobFromJson(const QJsonObject &json);

// The object a job file holds (an empty one when the JSON holds something
// else); a file that cannot be read or holds no JSON is an error.
Result<QJsonObject> readJobFile(const QString &file);
// Replaces the file whole, or leaves it as it was.
Status writeJobFile(const QString &file, const SiteJob &job);

// The job saved for this address: its settings, the stored layout or field
// list its record choice uses (the layout when it has none), and with a
// field list the head length. nullopt when nothing is saved for the address.
Result<std::optional<SiteJob>> readSiteJob(const QString &web);
// Saves a job in one transaction: its settings, swap flag included, its
// layout or field list in place of the stored definitions, and its head
// length as PubLenfiled. A failure changes nothing.
Status saveSiteJob(const SiteJob &job);

} // namespace pagrion
