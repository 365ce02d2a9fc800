#include "store/loadsettings.h"

#include <cmath>

#include <QLocale>
#include <QRegularExpression>

#include "store/settingrows.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

enum class Kind { Count, Seconds, Megabytes, Switch, Pattern };

struct Rule
{
    LoadSettings::Field field;
    QString key; // the row's name in LoadSetting
    QString name;
    Kind kind;
    double minimum;
    double maximum;
};

const QList<Rule> &rules()
{
    using F = LoadSettings::Field;
    // Long enough for any real page, short enough for an int of milliseconds.
    constexpr double Day = 24 * 60 * 60;
    static const QList<Rule> list{
        {F::Concurrency, u"concurrency"_s, u"同一网站同时请求数"_s, Kind::Count, 1, 64},
        {F::Delay, u"delay"_s, u"同一网站请求间隔"_s, Kind::Seconds, 0, 3600},
        {F::Retries, u"retries"_s, u"失败重试次数"_s, Kind::Count, 0, 10},
        {F::TimeLimit, u"timeout"_s, u"网页超时"_s, Kind::Seconds, 0.1, Day},
        {F::MaxBody, u"maxbodymb"_s, u"网页大小上限"_s, Kind::Megabytes, 1, 2048},
        {F::MaxText, u"maxtextmb"_s, u"元素列表文字上限"_s, Kind::Megabytes, 1, 4096},
        {F::AheadMemory, u"aheadmb"_s, u"预先打开网页内存上限"_s, Kind::Megabytes, 16, 65536},
        {F::BrowserPages, u"browserpages"_s, u"完整浏览器同时打开网页数"_s, Kind::Count, 1, 16},
        {F::BatchWithoutMedia, u"batchnomedia"_s, u"批量采集时不下载图片、字体和音视频"_s, Kind::Switch, 0, 1},
        {F::LinkedStyleSheets, u"stylesheets"_s, u"读取网页链接的样式表"_s, Kind::Switch, 0, 1},
        // A run's page list holds at most 32767 addresses.
        {F::MaxNextPages, u"maxnextpages"_s, u"下一页最多采集页数"_s, Kind::Count, 1, 32767},
        {F::NextText, u"nexttext"_s, u"下一页链接文字"_s, Kind::Pattern, 0, 0},
    };
    return list;
}

const Rule &ruleOf(LoadSettings::Field field)
{
    for (const Rule &rule : rules()) {
        if (rule.field == field)
            return rule;
    }
    Q_UNREACHABLE();
}

QString numberText(double value)
{
    return QLocale::c().toString(value, 'g', 12);
}

// What the setting takes, for the message about a value it does not take.
QString takesText(const Rule &rule)
{
    const QString range = u"%1 到 %2 之间的"_s.arg(numberText(rule.minimum), numberText(rule.maximum));
    switch (rule.kind) {
    case Kind::Count:
        return range + u"整数"_s;
    case Kind::Seconds:
        return range + u"秒数（可以带小数）"_s;
    case Kind::Megabytes:
        return range + u"整数（单位 MB）"_s;
    case Kind::Switch:
        return u"1（是）或 0（否）"_s;
    case Kind::Pattern:
        return u"正则表达式"_s;
    }
    return {};
}

qint64 megabytes(qint64 bytes)
{
    return bytes >> 20;
}

} // namespace

PageLimits LoadSettings::pageLimits() const
{
    PageLimits limits;
    limits.timeLimitMs = timeLimitMs;
    limits.maxBodyBytes = maxBodyBytes;
    limits.maxTextBytes = maxTextBytes;
    limits.linkedStyleSheets = linkedStyleSheets;
    return limits;
}

LoadPolicy LoadSettings::loadPolicy() const
{
    LoadPolicy policy;
    policy.concurrency = concurrency;
    policy.delayMs = delayMs;
    policy.retries = retries;
    return policy;
}

QString LoadSettings::text(Field field) const
{
    switch (field) {
    case Field::Concurrency:
        return QString::number(concurrency);
    case Field::Delay:
        return numberText(delayMs / 1000.0);
    case Field::Retries:
        return QString::number(retries);
    case Field::TimeLimit:
        return numberText(timeLimitMs / 1000.0);
    case Field::MaxBody:
        return QString::number(megabytes(maxBodyBytes));
    case Field::MaxText:
        return QString::number(megabytes(maxTextBytes));
    case Field::AheadMemory:
        return QString::number(megabytes(aheadBytes));
    case Field::BrowserPages:
        return QString::number(browserPages);
    case Field::BatchWithoutMedia:
        return batchWithoutMedia ? u"1"_s : u"0"_s;
    case Field::LinkedStyleSheets:
        return linkedStyleSheets ? u"1"_s : u"0"_s;
    case Field::MaxNextPages:
        return QString::number(maxNextPages);
    case Field::NextText:
        return nextText;
    }
    return {};
}

Status LoadSettings::setText(Field field, const QString &text)
{
    const Rule &rule = ruleOf(field);
    const QString typed = text.trimmed();
    // A blank pattern would find the next page in every link.
    if (typed.isEmpty())
        return Error{u"“%1”没有填写，应为 %2。"_s.arg(rule.name, takesText(rule))};
    double value = 0;
    if (rule.kind != Kind::Pattern) {
        // Plain numbers only: "1,500" is not taken for 1500.
        QLocale plain = QLocale::c();
        plain.setNumberOptions(QLocale::RejectGroupSeparator);
        bool ok = false;
        value = plain.toDouble(typed, &ok);
        const bool whole = rule.kind != Kind::Seconds;
        if (!ok || !std::isfinite(value) || value < rule.minimum || value > rule.maximum
            || (whole && value != std::floor(value)))
            return Error{u"“%1”应为 %2，“%3”不符合要求。"_s.arg(rule.name, takesText(rule), typed)};
    }

    switch (field) {
    case Field::Concurrency:
        concurrency = int(value);
        break;
    case Field::Delay:
        delayMs = int(std::llround(value * 1000));
        break;
    case Field::Retries:
        retries = int(value);
        break;
    case Field::TimeLimit:
        timeLimitMs = int(std::llround(value * 1000));
        break;
    case Field::MaxBody:
        maxBodyBytes = qint64(value) << 20;
        break;
    case Field::MaxText:
        maxTextBytes = qint64(value) << 20;
        break;
    case Field::AheadMemory:
        aheadBytes = qint64(value) << 20;
        break;
    case Field::BrowserPages:
        browserPages = int(value);
        break;
    case Field::BatchWithoutMedia:
        batchWithoutMedia = value != 0;
        break;
    case Field::LinkedStyleSheets:
        linkedStyleSheets = value != 0;
        break;
    case Field::MaxNextPages:
        maxNextPages = int(value);
        break;
    case Field::NextText:
        if (const QRegularExpression pattern(typed); !pattern.isValid()) {
            return Error{u"“%1”应为 %2，“%3”不符合要求（第 %4 个字符处：%5）。"_s.arg(
                rule.name, takesText(rule), typed, QString::number(pattern.patternErrorOffset() + 1),
                pattern.errorString())};
        }
        nextText = typed;
        break;
    }
    return success();
}

QList<LoadSettings::Field> loadSettingFields()
{
    QList<LoadSettings::Field> fields;
    for (const Rule &rule : rules())
        fields << rule.field;
    return fields;
}

QString loadSettingName(LoadSettings::Field field)
{
    return ruleOf(field).name;
}

QString loadSettingUnit(LoadSettings::Field field)
{
    switch (ruleOf(field).kind) {
    case Kind::Seconds:
        return u"秒"_s;
    case Kind::Megabytes:
        return u"MB"_s;
    case Kind::Count:
    case Kind::Switch:
    case Kind::Pattern:
        break;
    }
    return {};
}

Result<LoadSettings> readLoadSettings()
{
    const Result<QList<SettingRow>> rows = readSettingRows(u"LoadSetting"_s);
    if (!rows)
        return Error{rows.error()};
    LoadSettings settings;
    for (const auto &[name, value] : rows.value()) {
        for (const Rule &rule : rules()) {
            // A value edited by hand into something the setting does not
            // take leaves the default in place.
            if (name.compare(rule.key, Qt::CaseInsensitive) == 0)
                (void)settings.setText(rule.field, value);
        }
    }
    return settings;
}

Status writeLoadSettings(Database &db, const LoadSettings &settings)
{
    QList<SettingRow> rows;
    for (const Rule &rule : rules())
        rows.append({rule.key, settings.text(rule.field)});
    return writeSettingRows(db, u"LoadSetting"_s, rows);
}

} // namespace pagrion
