#include "store/jobfile.h"

#include <cmath>
#include <limits>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

#include "store/database.h"
#include "store/fieldlist.h"
#include "store/namedsetting.h"
#include "store/programfolder.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

const QString JobFormat = u"pagrion-job"_s;
constexpr int JobVersion = 1;

// Reads the keys of a job object. The first key of a wrong type is kept as
// the error; an absent or null key reads as its default.
class JobReader final
{
public:
    explicit JobReader(const QJsonObject &json) : m_json(json) {}

    const std::optional<Error> &error() const { return m_error; }
    bool has(const QString &key) const { return !m_json.value(key).isUndefined() && !m_json.value(key).isNull(); }

    QString text(const QString &key)
    {
        const QJsonValue value = m_json.value(key);
        if (has(key) && !value.isString())
            wrong(key, u"文字"_s);
        return value.toString();
    }

    std::optional<bool> flag(const QString &key)
    {
        const QJsonValue value = m_json.value(key);
        if (!has(key))
            return std::nullopt;
        if (!value.isBool()) {
            wrong(key, u"true 或 false"_s);
            return std::nullopt;
        }
        return value.toBool();
    }

    std::optional<int> count(const QString &key)
    {
        if (!has(key))
            return std::nullopt;
        const std::optional<int> number = wholeNumber(m_json.value(key));
        if (!number)
            wrong(key, u"不小于 0 的整数"_s);
        return number;
    }

    Layout layout(const QString &key)
    {
        const QJsonValue value = m_json.value(key);
        bool ok = value.isArray();
        Layout layout;
        for (const QJsonValue &rowValue : value.toArray()) {
            ok = ok && rowValue.isArray();
            LayoutRow row;
            for (const QJsonValue &cell : rowValue.toArray()) {
                ok = ok && (cell.isString() || cell.isNull());
                row.append(cell.isString() ? std::optional<QString>(cell.toString()) : std::nullopt);
            }
            layout.append(row);
        }
        if (!ok)
            wrong(key, u"由行组成的数组，每行是单元格（文字或 null）的数组"_s);
        return layout;
    }

    QList<Field> fields(const QString &key)
    {
        const QJsonValue value = m_json.value(key);
        bool ok = value.isArray();
        QList<Field> fields;
        for (const QJsonValue &entry : value.toArray()) {
            const QJsonValue id = entry.toObject().value(u"id"_s);
            const QJsonValue name = entry.toObject().value(u"filedname"_s);
            const std::optional<int> number = wholeNumber(id);
            ok = ok && (id.isString() || number) && name.isString();
            fields.append(Field{number ? QString::number(*number) : id.toString(), name.toString()});
        }
        if (!ok)
            wrong(key, u"字段的数组，每个字段是含有“id”（文字或整数）和“filedname”（文字）的对象"_s);
        return fields;
    }

    // Keeps the problem unless an earlier one is kept.
    void fail(const QString &message)
    {
        if (!m_error)
            m_error = Error{message};
    }

private:
    static std::optional<int> wholeNumber(const QJsonValue &value)
    {
        const double number = value.toDouble(-1);
        if (!value.isDouble() || number < 0 || number > std::numeric_limits<int>::max() || number != std::floor(number))
            return std::nullopt;
        return int(number);
    }

    void wrong(const QString &key, const QString &wanted) { fail(u"采集任务文件中的“%1”应为%2。"_s.arg(key, wanted)); }

    QJsonObject m_json;
    std::optional<Error> m_error;
};

// A stored layout row has a column for every column of the table; the null
// ones after its last value say nothing.
QJsonArray layoutRowJson(const LayoutRow &row)
{
    qsizetype end = row.size();
    while (end > 0 && !row.at(end - 1))
        --end;
    QJsonArray cells;
    for (qsizetype c = 0; c < end; ++c)
        cells.append(row.at(c) ? QJsonValue(*row.at(c)) : QJsonValue(QJsonValue::Null));
    return cells;
}

} // namespace

QJsonObject jobToJson(const SiteJob &job)
{
    const SiteSettings &settings = job.settings;
    QJsonObject json{
        {u"format"_s, JobFormat},
        {u"version"_s, JobVersion},
        {u"web"_s, settings.web},
        {u"tableNames"_s, settings.tableName},
        {u"rowFilter"_s, settings.tableRow},
        {u"swap"_s, settings.rowchange},
        {u"class"_s, settings.classname},
        {u"headerRows"_s, headerRowsText(settings.everyRow.headerRows)},
        {u"columns"_s, settings.everyRow.columns},
    };
    if (settings.records)
        json.insert(u"records"_s, recordSourceName(*settings.records));
    if (settings.sourceColumns)
        json.insert(u"sourceColumns"_s, *settings.sourceColumns);
    if (job.layout) {
        QJsonArray rows;
        for (const LayoutRow &row : *job.layout)
            rows.append(layoutRowJson(row));
        json.insert(u"layout"_s, rows);
    }
    if (job.fields) {
        QJsonArray fields;
        for (const Field &field : *job.fields)
            fields.append(QJsonObject{{u"id"_s, field.id}, {u"filedname"_s, field.filedname}});
        json.insert(u"fields"_s, fields);
    }
    if (job.headLength)
        json.insert(u"headLength"_s, *job.headLength);
    return json;
}

Result<SiteJob> jobFromJson(const QJsonObject &json)
{
    JobReader in(json);
    if (json.value(u"format"_s).toString() != JobFormat)
        return Error{u"这不是采集任务文件（缺少 \"format\": \"%1\"）。"_s.arg(JobFormat)};
    if (json.value(u"version"_s).toDouble() != JobVersion)
        return Error{u"无法识别这个版本的采集任务文件，只能导入版本 %1。"_s.arg(JobVersion)};

    SiteJob job;
    SiteSettings &settings = job.settings;
    settings.web = in.text(u"web"_s);
    if (settings.web.isEmpty())
        in.fail(u"采集任务文件中没有网址（“web”）。"_s);
    settings.tableName = in.text(u"tableNames"_s);
    settings.tableRow = in.text(u"rowFilter"_s);
    settings.rowchange = in.flag(u"swap"_s).value_or(false);
    settings.classname = in.text(u"class"_s);
    if (in.has(u"records"_s)) {
        const QString name = in.text(u"records"_s);
        settings.records = recordSourceFromName(name);
        if (!settings.records)
            in.fail(u"采集任务文件中的“records”应为 layout、fields 或 rows，“%1”不符合要求。"_s.arg(name));
    }
    const QString headerRows = in.text(u"headerRows"_s);
    if (const std::optional<int> rows = headerRowsFromText(headerRows))
        settings.everyRow.headerRows = *rows;
    else
        in.fail(u"采集任务文件中的“headerRows”应为 自动、0、1 或 2，“%1”不符合要求。"_s.arg(headerRows));
    settings.everyRow.columns = in.text(u"columns"_s);
    settings.sourceColumns = in.flag(u"sourceColumns"_s);
    if (in.has(u"layout"_s))
        job.layout = in.layout(u"layout"_s);
    if (in.has(u"fields"_s))
        job.fields = in.fields(u"fields"_s);
    job.headLength = in.count(u"headLength"_s);
    if (in.error())
        return *in.error();

    const RecordSource records = settings.records.value_or(RecordSource::Layout);
    if ((job.layout && records != RecordSource::Layout) || (job.fields && records != RecordSource::Fields))
        return Error{u"采集任务文件中的排版或字段与记录方式“%1”不符。"_s.arg(recordSourceName(records))};
    return job;
}

Result<QJsonObject> readJobFile(const QString &file)
{
    if (!QFileInfo(file).isFile())
        return Error{u"找不到文件：%1"_s.arg(QDir::toNativeSeparators(file))};
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return Error{u"无法读取文件 %1：%2"_s.arg(QDir::toNativeSeparators(file), in.errorString())};
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(in.readAll(), &parseError);
    if (document.isNull())
        return Error{u"文件 %1 不是有效的 JSON（第 %2 个字节处有误）。"_s.arg(QDir::toNativeSeparators(file))
                         .arg(parseError.offset)};
    return document.object();
}

Status writeJobFile(const QString &file, const SiteJob &job)
{
    if (const QFileInfo info(file); !info.absoluteDir().exists())
        return Error{u"找不到文件夹：%1"_s.arg(QDir::toNativeSeparators(info.absolutePath()))};
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(QJsonDocument(jobToJson(job)).toJson()) < 0 || !out.commit())
        return Error{u"无法写入文件 %1：%2"_s.arg(QDir::toNativeSeparators(file), out.errorString())};
    return success();
}

Result<std::optional<SiteJob>> readSiteJob(const QString &web)
{
    const auto settings = readSiteSettings(web);
    if (!settings)
        return Error{settings.error()};
    if (!settings.value())
        return std::optional<SiteJob>();
    SiteJob job{*settings.value()};
    switch (job.settings.records.value_or(RecordSource::Layout)) {
    case RecordSource::Layout: {
        const Result<Layout> layout = readLayout();
        if (!layout)
            return Error{layout.error()};
        job.layout = layout.value();
        break;
    }
    case RecordSource::Fields: {
        const Result<QList<Field>> fields = readFields();
        if (!fields)
            return Error{fields.error()};
        job.fields = fields.value();
        const auto headLength = readHeadLength();
        if (!headLength)
            return Error{headLength.error()};
        job.headLength = headLength.value();
        break;
    }
    case RecordSource::EveryRow:
        break;
    }
    return std::optional<SiteJob>(job);
}

Status saveSiteJob(const SiteJob &job)
{
    Database db;
    if (Status opened = db.open(programFolder().configDatabasePath()); !opened)
        return opened;
    return db.inTransaction([&]() -> Status {
        if (Status written = writeSiteSettings(db, job.settings, SwapFlag::Replace); !written)
            return written;
        if (job.layout) {
            if (Status written = writeLayout(db, *job.layout); !written)
                return written;
        } else if (job.fields) {
            if (Status written = writeFields(db, *job.fields); !written)
                return written;
        }
        if (job.headLength)
            return writePubLenfiled(db, QString::number(*job.headLength));
        return success();
    });
}

} // namespace pagrion
