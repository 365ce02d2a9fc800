#include "batch/batchresume.h"

#include <QJsonDocument>
#include <QJsonObject>

#include "store/resultsession.h"

using namespace Qt::StringLiterals;

namespace pagrion {

QString recordedSettings(const BatchSettings &settings)
{
    const QJsonObject object{
        {u"mode"_s, settings.mode == BatchSettings::Mode::Parameter ? u"parameter"_s : u"links"_s},
        {u"address"_s, settings.address},
        {u"from"_s, settings.from},
        {u"to"_s, settings.to},
        {u"tableNames"_s, settings.tableNames},
        {u"rowFilter"_s, settings.rowFilter},
        {u"class"_s, settings.classValue},
        {u"swap"_s, settings.swap},
        {u"records"_s, settings.records == RecordSource::Layout ? u"layout"_s : u"fields"_s},
        {u"skipEmptyFirstField"_s, settings.skipEmptyFirstField},
    };
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

std::optional<UnfinishedRun> unfinishedRun(const BatchSettings &settings)
{
    ResultSession results;
    const auto found = results.findUnfinishedRun(recordedSettings(settings));
    return found ? found.value() : std::nullopt;
}

} // namespace pagrion
