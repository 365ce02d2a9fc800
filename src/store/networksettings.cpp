#include "store/networksettings.h"

#include "store/settingrows.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

using Source = NetworkSettings::ProxySource;

const QList<std::pair<Source, QString>> &sourceNames()
{
    static const QList<std::pair<Source, QString>> names{
        {Source::Environment, u"environment"_s}, {Source::None, u"none"_s}, {Source::Given, u"given"_s}};
    return names;
}

// Each setting's row name, and where it lives in the settings.
struct Row
{
    QString name;
    QString NetworkSettings::*text;
};
const QList<Row> &textRows()
{
    static const QList<Row> rows{{u"proxy"_s, &NetworkSettings::proxy},
                                 {u"proxyuser"_s, &NetworkSettings::proxyUser},
                                 {u"proxypassword"_s, &NetworkSettings::proxyPassword},
                                 {u"useragent"_s, &NetworkSettings::userAgent}};
    return rows;
}
const QString SourceRow = u"proxysource"_s;

} // namespace

Result<ProxyRules> NetworkSettings::proxyRules() const
{
    switch (proxySource) {
    case Source::Environment:
        return ProxyRules::fromEnvironment();
    case Source::None:
        return ProxyRules();
    case Source::Given:
        break;
    }
    Result<QUrl> given = proxyFromText(proxy);
    if (!given)
        return Error{given.error()};
    QUrl url = std::move(given).value();
    if (!proxyUser.isEmpty()) {
        url.setUserName(proxyUser, QUrl::DecodedMode);
        url.setPassword(proxyPassword, QUrl::DecodedMode);
    }
    return ProxyRules::through(url);
}

Result<NetworkConfig> NetworkSettings::config() const
{
    Result<ProxyRules> rules = proxyRules();
    if (!rules)
        return Error{rules.error()};
    return NetworkConfig{std::move(rules).value(), userAgent.trimmed()};
}

Result<NetworkSettings> readNetworkSettings()
{
    const Result<QList<SettingRow>> rows = readSettingRows(u"NetworkSetting"_s);
    if (!rows)
        return Error{rows.error()};
    NetworkSettings settings;
    for (const auto &[name, value] : rows.value()) {
        for (const auto &[source, sourceName] : sourceNames()) {
            if (name.compare(SourceRow, Qt::CaseInsensitive) == 0
                && value.trimmed().compare(sourceName, Qt::CaseInsensitive) == 0)
                settings.proxySource = source;
        }
        for (const Row &text : textRows()) {
            if (name.compare(text.name, Qt::CaseInsensitive) == 0)
                settings.*text.text = value;
        }
    }
    return settings;
}

Status writeNetworkSettings(Database &db, const NetworkSettings &settings)
{
    QList<SettingRow> rows;
    for (const auto &[source, name] : sourceNames()) {
        if (source == settings.proxySource)
            rows.append({SourceRow, name});
    }
    for (const Row &text : textRows())
        rows.append({text.name, settings.*text.text});
    return writeSettingRows(db, u"NetworkSetting"_s, rows);
}

} // namespace pagrion
