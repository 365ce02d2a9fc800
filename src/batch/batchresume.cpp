#include "batch/batchresume.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "store/definitions.h"
#include "store/fieldlist.h"
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

std::optional<BatchSettings::Mode> batchModeFromName(const QString &name)
{
    for (const auto mode : {BatchSettings::Mode::Parameter, BatchSettings::Mode::Links, BatchSettings::Mode::NextPage}) {
        if (batchModeName(mode) == name)
            return mode;
    }
    return std::nullopt;
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

std::optional<BatchSettings> settingsFromRecorded(const QString &recorded)
{
    const QJsonObject object = QJsonDocument::fromJson(recorded.toUtf8()).object();
    const auto mode = batchModeFromName(object.value(u"mode"_s).toString());
    const auto records = recordSourceFromName(object.value(u"records"_s).toString());
    if (!mode || !records)
        return std::nullopt;
    BatchSettings settings;
    settings.mode = *mode;
    settings.address = object.value(u"address"_s).toString();
    settings.from = object.value(u"from"_s).toString();
    settings.to = object.value(u"to"_s).toString();
    settings.tableNames = object.value(u"tableNames"_s).toString();
    settings.rowFilter = object.value(u"rowFilter"_s).toString();
    settings.classValue = object.value(u"class"_s).toString();
    settings.swap = object.value(u"swap"_s).toBool();
    settings.records = *records;
    settings.skipEmptyFirstField = object.value(u"skipEmptyFirstField"_s).toBool();
    settings.nextText = object.value(u"nextText"_s).toString(settings.nextText);
    settings.maxNextPages = object.value(u"maxNextPages"_s).toInt(settings.maxNextPages);
    settings.everyRow.headerRows = object.value(u"headerRows"_s).toInt(settings.everyRow.headerRows);
    settings.everyRow.columns = object.value(u"columns"_s).toString();
    settings.sourceColumns = object.value(u"sourceColumns"_s).toBool();
    if (object.contains(u"layout"_s)) {
        Layout layout;
        for (const QJsonValue &row : object.value(u"layout"_s).toArray()) {
            LayoutRow cells;
            for (const QJsonValue &cell : row.toArray())
                cells << (cell.isNull() ? std::nullopt : std::optional<QString>(cell.toString()));
            layout << cells;
        }
        settings.layout = layout;
    }
    if (object.contains(u"fields"_s)) {
        QList<Field> fields;
        for (const QJsonValue &field : object.value(u"fields"_s).toArray())
            fields << Field{field.toArray().at(0).toString(), field.toArray().at(1).toString()};
        settings.fields = fields;
    }
    if (object.contains(u"headLength"_s))
        settings.headLength = object.value(u"headLength"_s).toInt();
    return settings;
}

Status embedStoredJob(BatchSettings &settings, const std::function<Result<int>()> &storedHeadLength)
{
    if (settings.records == RecordSource::Layout && !settings.layout) {
        auto layout = readLayout();
        if (!layout)
            return Error{layout.error()};
        settings.layout = std::move(layout).value();
    }
    if (settings.records != RecordSource::Fields)
        return success();
    if (!settings.fields) {
        auto fields = readFields();
        if (!fields)
            return Error{fields.error()};
        settings.fields = std::move(fields).value();
    }
    if (!settings.headLength) {
        const Result<int> length = storedHeadLength();
        if (!length)
            return Error{length.error()};
        settings.headLength = length.value();
    }
    return success();
}

std::optional<UnfinishedRun> unfinishedRun(const BatchSettings &settings)
{
    ResultSession results;
    const auto found = results.findUnfinishedRun(recordedSettings(settings));
    return found ? found.value() : std::nullopt;
}

BatchStats recordedTotals(const QList<RecordedPage> &pages)
{
    BatchStats stats;
    for (const RecordedPage &page : pages) {
        switch (page.state) {
        case PageState::Pending:
            continue;
        case PageState::Stored:
            stats.records += page.records;
            break;
        case PageState::Skipped:
            ++stats.skipped;
            break;
        case PageState::Failed:
            ++stats.failed;
            ++stats.failures[page.reason];
            break;
        }
        ++stats.pages;
    }
    return stats;
}

} // namespace pagrion
