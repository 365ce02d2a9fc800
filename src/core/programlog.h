#pragma once

#include <functional>
#include <optional>

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace pagrion {

// How much the program's own log categories ("pagrion.transfer",
// "pagrion.engine", "pagrion.batch", "pagrion.store") record. Each level
// keeps what the one before it does. Until setLogLevel is called they record
// warnings only, so a test or tool that never asks for more pays nothing.
enum class LogLevel {
    Off,
    Errors, // pages that failed and why, database errors
    Info,   // each page's transfer, each run's start and end
    Detail, // every attempt, redirect and wait
};

// The level as the settings keep it ("errors") and as the user reads it ("错误").
QString logLevelKey(LogLevel level);
std::optional<LogLevel> logLevelFromKey(const QString &key);
QString logLevelName(LogLevel level);

// Turns the program's categories on down to the level and the rest of each
// off, so a message below it costs one flag test. QT_LOGGING_RULES in the
// environment still has the last word.
void setLogLevel(LogLevel level);
// A rule for another category ("qt.webenginecontext.info=false") that holds
// whatever the level; Qt keeps one set of rules, so they are all set here.
void addLogRule(const QString &rule);

// One line of the log, newline included: local time to the millisecond, the
// level, the category without "pagrion." and the message.
QByteArray logLine(QtMsgType type, const char *category, const QString &message);

// While it lives, the program's log lines go to the writer, from whichever
// thread logs; every other message goes on to the handler installed before.
class ProgramLogRoute final
{
public:
    using Writer = std::function<void(const QByteArray &line)>;

    explicit ProgramLogRoute(Writer writer);
    ~ProgramLogRoute();
    Q_DISABLE_COPY_MOVE(ProgramLogRoute)
};

} // namespace pagrion
