#include "batch/batchresume.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "store/resultsession.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

QString batchModeName(BatchSettings::Mode mode)
{
    switch (mode) {
    case BatchSettings::Mode::Parameter:
        return u"parameter"_s;
    case BatchSettings::Mode::Links:
        return u"links"_s;
    case BatchSettings::Mode::NextPage:
        return u"next"_s;
    }
    return {};
}

} // namespace

QString recordedSettings(const BatchSettings &settings)
{
    QJsonObject object{
        {u"mode"_s, batchModeName(settings.mode)},
        {u"address"_s, settings.address},
        {u"from"_s, settings.from},
        {u"to"_s, settings.to},
        {u"tableNames"_s, settings.tableNames},
        {u"rowFilter"_s, settings.rowFilter},
        {u"class"_s, settings.classValue},
        {u"swap"_s, settings.swap},
        {u"records"_s, recordSourceName(settings.records)},
        {u"skipEmptyFirstField"_s, settings.skipEmptyFirstField},
    };
    // Only a chain's pages depend on these.
    if (settings.mode == BatchSettings::Mode::NextPage) {
        object.insert(u"nextText"_s, settings.nextText);
        object.insert(u"maxNextPages"_s, settings.maxNextPages);
    }
    // What only some runs have is recorded only for them, so the text of
    // every other run stays as it was.
    if (settings.records == RecordSource::EveryRow) {
        object.insert(u"headerRows"_s, settings.everyRow.headerRows);
        object.insert(u"columns"_s, settings.everyRow.columns);
    }
    if (addsSourceColumns(settings.records, settings.sourceColumns))
        object.insert(u"sourceColumns"_s, true);
    if (settings.layout) {
        QJsonArray rows;
        for (const LayoutRow &row : *settings.layout) {
            QJsonArray cells;
            for (const std::optional<QString> &cell : row)
                cells.append(cell ? QJsonValue(*cell) : QJsonValue());
            rows.append(cells);
        }
        object.insert(u"layout"_s, rows);
    }
    if (settings.fields) {
        QJsonArray fields;
        for (const Field &field : *settings.fields)
            fields.append(QJsonArray{field.id, field.filedname});
        object.insert(u"fields"_s, fields);
    }
    if (settings.headLength)
        object.insert(u"headLength"_s, *settings.headLength);
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

std::optional<UnfinishedRun> unfinishedRun(const BatchSettings &settings)
{
    ResultSession results;
    const auto found = results.findUnfinishedRun(recordedSettings(settings));
    return found ? found.value() : std::nullopt;
}

} // namespace pagrion
