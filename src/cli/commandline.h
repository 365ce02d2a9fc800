#pragma once

#include <memory>
#include <span>
#include <utility>

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include "engine/enginekind.h"
#include "engine/networkconfig.h"
#include "extract/classlist.h"
#include "store/loadsettings.h"

class QCoreApplication;

namespace pagrion {
class Browser;
class CookieStore;
}

namespace pagrion::cli {

// The command line of one subcommand: its own options plus the ones every
// subcommand takes (--data, --timeout, --engine, --cookies, --proxy,
// --user-agent, --style-sheets, --verbose, --help). Anything wrong with it
// ends the command with a usage failure.
class CommandLine final
{
public:
    // Whether the command loads pages, and so needs an engine; every command
    // says, since that engine is settled before the command changes anything.
    enum class Pages { None, Loaded };

    // usage: the help's first line after "用法：", for example
    // "pagrion-cli analyse 地址 [选项]".
    CommandLine(const QString &usage, const QString &description, Pages pages);
    // Writes the logins the pages changed.
    ~CommandLine();

    // For adding the subcommand's own options and arguments before parse().
    QCommandLineParser &parser() { return m_parser; }
    const QCommandLineParser &parser() const { return m_parser; }

    // Parses the arguments (program name first, subcommand name removed),
    // applies --data, reads the stored load settings, settles the engine of a
    // command that loads pages (the program may hand the command over here,
    // before anything has changed) and opens the logins of the data folder
    // (for this command alone when there is none), taking in those of
    // --cookies. With --help nothing else is checked.
    void parse(const QStringList &arguments);

    bool helpRequested() const { return m_parser.isSet(m_help); }
    QString helpText() const;

    // The positional arguments, exactly as many as `names` names; a missing
    // one is named in the message.
    QStringList positionalArguments(const QStringList &names) const;
    QString singleArgument(const QString &what) const { return positionalArguments({what}).constFirst(); }

    // The load settings of the settings window (their defaults when the
    // configuration cannot be read), --timeout in place of the stored time
    // limit. A command's own options may change them before browser().
    LoadSettings &loadSettings() { return m_loadSettings; }
    const LoadSettings &loadSettings() const { return m_loadSettings; }

    // For a command that loads pages: a browser of the engine named by
    // --engine, else the stored setting (the full browser when there is
    // none), with the page limits of loadSettings(), reaching the web through
    // the proxy and with the User-Agent of the settings window, or those of
    // --proxy and --user-agent. Pages never open windows of their own.
    std::unique_ptr<Browser> browser() const;

private:
    EngineKind chosenEngine() const;
    NetworkConfig chosenNetwork() const;

    QString m_usage;
    Pages m_pages;
    EngineKind m_engineKind = EngineKind::Static;
    QCommandLineParser m_parser;
    QCommandLineOption m_data;
    QCommandLineOption m_timeout;
    QCommandLineOption m_engine;
    QCommandLineOption m_proxy;
    QCommandLineOption m_userAgent;
    QCommandLineOption m_styleSheets;
    QCommandLineOption m_verbose;
    QCommandLineOption m_help;
    QCommandLineOption m_cookies;
    LoadSettings m_loadSettings;
    std::unique_ptr<CookieStore> m_cookieStore;
};

// An option that sets a load setting for one command.
using LoadOption = std::pair<const QCommandLineOption &, LoadSettings::Field>;
// Applies the load options given, each checked as the settings window
// checks its value; one it does not take is a usage failure.
void applyLoadOptions(const QCommandLineParser &parser, std::span<const LoadOption> options, LoadSettings &load);

// A command, or a subcommand of one, that a dispatcher finds by its name.
struct Command
{
    QString name;
    QString summary;
    int (*run)(const QStringList &arguments);
};

// The lines of a help that list commands, a name and its summary each.
QString commandList(std::span<const Command> commands, qsizetype nameWidth);

// Runs the command named after the program's name, with that name taken out
// of the arguments; "--help", "-h" or "help" writes help instead.
// `invocation` ("pagrion-cli", "pagrion-cli site") and `kind` ("命令",
// "子命令") word the messages about a missing or unknown name.
int dispatchCommand(QStringList arguments, std::span<const Command> commands, const QString &help,
                    const QString &invocation, const QString &kind);

// The class whose text or value the user gave ("段落" or "p"), its value in
// lower case as the class choice keeps it. A class that does not exist is a
// usage failure, a configuration database that cannot be read a database
// failure.
AnalysisClass classFor(const QString &textOrValue);
QString classValueFor(const QString &textOrValue);

// Lets the parser's own messages and help headings speak Chinese.
void installCommandLineTexts(QCoreApplication &app);

} // namespace pagrion::cli
