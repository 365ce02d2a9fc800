#pragma once

#include <QList>
#include <QString>

#include "core/result.h"
#include "engine/loadpolicy.h"
#include "engine/pagelimits.h"

namespace pagrion {

class Database;

// How pages are loaded, in batch runs and one by one: the settings the
// settings window shows, kept in the table LoadSetting of the configuration
// database as one row per setting, the value as the window shows it
// (seconds, MB). A database without the table, a missing row or a value the
// setting does not take all give the setting's default.
struct LoadSettings
{
    enum class Field {
        Concurrency,       // requests in flight per host during a batch run
        Delay,             // seconds between two requests to one host
        Retries,           // further tries of a load that failed for a passing reason
        TimeLimit,         // seconds one load may take
        MaxBody,           // MB a page may have
        MaxText,           // MB of text an element list may build
        AheadMemory,       // MB pages loaded ahead of the one handled may hold
        BrowserPages,      // pages the full browser loads at once in a batch run
        BatchWithoutMedia, // the full browser leaves out images, fonts and media in batch runs
        LinkedStyleSheets, // the static engine fetches the style sheets pages link to
        MaxNextPages,      // pages one next-page run visits at most
        NextText,          // the text of the link to the next page, a regular expression
    };

    static constexpr int DefaultConcurrency = 8;
    static constexpr int DefaultRetries = 3;
    static constexpr int DefaultBrowserPages = 4;
    static constexpr int DefaultMaxNextPages = 1000;
    static constexpr qint64 DefaultAheadBytes = qint64(256) << 20;
    static inline const QString DefaultNextText = QStringLiteral("下一页|下页|后页|Next|›|»");

    int concurrency = DefaultConcurrency;
    int delayMs = 0;
    int retries = DefaultRetries;
    int timeLimitMs = PageLimits::DefaultTimeLimitMs;
    qint64 maxBodyBytes = PageLimits::DefaultMaxBodyBytes;
    qint64 maxTextBytes = PageLimits::DefaultMaxTextBytes;
    qint64 aheadBytes = DefaultAheadBytes;
    int browserPages = DefaultBrowserPages;
    bool batchWithoutMedia = true;
    bool linkedStyleSheets = true;
    int maxNextPages = DefaultMaxNextPages;
    QString nextText = DefaultNextText;

    PageLimits pageLimits() const;
    LoadPolicy loadPolicy() const;

    // The value as the window shows it and the table keeps it: "30", "0.5",
    // "64"; "1" or "0" for the switch; the pattern itself.
    QString text(Field field) const;
    // Takes a value as the user typed it (surrounding blanks allowed). A value
    // the setting does not take changes nothing and gives a message that names
    // the setting and what it takes.
    Status setText(Field field, const QString &text);

    friend bool operator==(const LoadSettings &, const LoadSettings &) = default;
};

// Every field, in the order the settings window shows them.
QList<LoadSettings::Field> loadSettingFields();

// The setting's name as the user reads it ("同一网站同时请求数"), and its
// unit ("秒", "MB"; empty for counts and the switch).
QString loadSettingName(LoadSettings::Field field);
QString loadSettingUnit(LoadSettings::Field field);

// The stored settings; an error only when the database cannot be read.
Result<LoadSettings> readLoadSettings();

// Makes the settings the contents of LoadSetting, creating the table in an
// older database, within the transaction the caller holds on db.
Status writeLoadSettings(Database &db, const LoadSettings &settings);

} // namespace pagrion
