#include "core/programlog.h"

#include <array>
#include <utility>

#include <QDateTime>
#include <QLoggingCategory>
#include <QMutex>

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

constexpr QByteArrayView CategoryPrefix = "pagrion.";

struct LevelNames
{
    LogLevel level;
    QString key;
    QString name;
};

const std::array<LevelNames, 4> &levelNames()
{
    static const std::array<LevelNames, 4> names{{
        {LogLevel::Off, u"off"_s, u"关闭"_s},
        {LogLevel::Errors, u"errors"_s, u"错误"_s},
        {LogLevel::Info, u"info"_s, u"信息"_s},
        {LogLevel::Detail, u"detail"_s, u"详细"_s},
    }};
    return names;
}

// The route in force and the handler it passes other messages on to; the
// mutex keeps a message from one thread off a route another thread ends.
struct Route
{
    QMutex mutex;
    ProgramLogRoute::Writer writer;
    QtMessageHandler previous = nullptr;
};

Route &route()
{
    static Route instance;
    return instance;
}

void routeMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    Route &current = route();
    if (context.category && QByteArrayView(context.category).startsWith(CategoryPrefix)) {
        const QByteArray line = logLine(type, context.category, message);
        const QMutexLocker lock(&current.mutex);
        if (current.writer)
            current.writer(line);
        return;
    }
    QtMessageHandler previous = nullptr;
    {
        const QMutexLocker lock(&current.mutex);
        previous = current.previous;
    }
    if (previous)
        previous(type, context, message);
}

struct Rules
{
    QMutex mutex;
    LogLevel level = LogLevel::Errors;
    QString others;
};

Rules &rules()
{
    static Rules instance;
    return instance;
}

void applyRules(const Rules &current)
{
    const LogLevel level = current.level;
    const bool errors = level >= LogLevel::Errors;
    const bool info = level >= LogLevel::Info;
    const bool detail = level >= LogLevel::Detail;
    const auto rule = [](const char *type, bool on) {
        return u"pagrion.*.%1=%2\n"_s.arg(QLatin1StringView(type), on ? u"true"_s : u"false"_s);
    };
    QLoggingCategory::setFilterRules(current.others + rule("critical", errors) + rule("warning", errors)
                                     + rule("info", info) + rule("debug", detail));
}

} // namespace

QString logLevelKey(LogLevel level)
{
    for (const LevelNames &names : levelNames()) {
        if (names.level == level)
            return names.key;
    }
    return {};
}

std::optional<LogLevel> logLevelFromKey(const QString &key)
{
    for (const LevelNames &names : levelNames()) {
        if (key.trimmed().compare(names.key, Qt::CaseInsensitive) == 0)
            return names.level;
    }
    return std::nullopt;
}

QString logLevelName(LogLevel level)
{
    for (const LevelNames &names : levelNames()) {
        if (names.level == level)
            return names.name;
    }
    return {};
}

void setLogLevel(LogLevel level)
{
    Rules &current = rules();
    const QMutexLocker lock(&current.mutex);
    current.level = level;
    applyRules(current);
}

void addLogRule(const QString &rule)
{
    Rules &current = rules();
    const QMutexLocker lock(&current.mutex);
    current.others += rule + u'\n';
    applyRules(current);
}

QByteArray logLine(QtMsgType type, const char *category, const QString &message)
{
    QString level;
    switch (type) {
    case QtDebugMsg:
        level = logLevelName(LogLevel::Detail);
        break;
    case QtInfoMsg:
        level = logLevelName(LogLevel::Info);
        break;
    case QtWarningMsg:
        level = logLevelName(LogLevel::Errors);
        break;
    case QtCriticalMsg:
    case QtFatalMsg:
        level = u"严重"_s;
        break;
    }
    QByteArrayView name(category ? category : "");
    if (name.startsWith(CategoryPrefix))
        name = name.sliced(CategoryPrefix.size());
    return QDateTime::currentDateTime().toString(u"yyyy-MM-dd HH:mm:ss.zzz "_s).toUtf8() + level.toUtf8() + ' '
        + name.toByteArray() + ": " + message.toUtf8() + '\n';
}

ProgramLogRoute::ProgramLogRoute(Writer writer)
{
    Route &current = route();
    {
        const QMutexLocker lock(&current.mutex);
        current.writer = std::move(writer);
    }
    const QtMessageHandler previous = qInstallMessageHandler(routeMessage);
    const QMutexLocker lock(&current.mutex);
    current.previous = previous;
}

ProgramLogRoute::~ProgramLogRoute()
{
    Route &current = route();
    QtMessageHandler previous = nullptr;
    {
        const QMutexLocker lock(&current.mutex);
        previous = std::exchange(current.previous, nullptr);
        current.writer = nullptr;
    }
    qInstallMessageHandler(previous);
}

} // namespace pagrion
