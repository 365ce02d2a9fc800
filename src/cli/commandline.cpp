#include "cli/commandline.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTranslator>

#include "cli/cliterminal.h"
#include "cli/programengines.h"
#include "core/programlog.h"
#include "engine/browser.h"
#include "engine/cookiestore.h"
#include "store/enginesetting.h"
#include "store/networksettings.h"
#include "store/programfolder.h"

using namespace Qt::StringLiterals;

namespace pagrion::cli {

namespace {

class ParserTexts final : public QTranslator
{
public:
    using QTranslator::QTranslator;

    bool isEmpty() const override { return false; }

    QString translate(const char *context, const char *sourceText, const char *, int) const override
    {
        if (qstrcmp(context, "QCommandLineParser") != 0)
            return {};
        static const QList<std::pair<const char *, QString>> texts{
            {"Usage: %1", u"用法：%1"_s},
            {"Options:", u"选项："_s},
            {"Arguments:", u"参数："_s},
            {"Unknown option '%1'.", u"未知选项“%1”。"_s},
            {"Unknown options: %1.", u"未知选项：%1。"_s},
            {"Missing value after '%1'.", u"选项“%1”后缺少取值。"_s},
            {"Unexpected value after '%1'.", u"选项“%1”不带取值。"_s},
        };
        for (const auto &[source, text] : texts) {
            if (qstrcmp(source, sourceText) == 0)
                return text;
        }
        return {};
    }
};

} // namespace

CommandLine::CommandLine(const QString &usage, const QString &description, Pages pages)
    : m_usage(usage)
    , m_pages(pages)
    , m_data(u"data"_s, u"程序文件夹，读取其中 data 文件夹里的数据库（默认为本程序所在的文件夹）。"_s, u"文件夹"_s)
    , m_timeout(u"timeout"_s,
                u"打开网页最多等待的秒数，可以带小数（默认按系统设置中的“网页超时”，未设置时 %1 秒）。"_s.arg(
                    PageLimits::DefaultTimeLimitMs / 1000),
                u"秒数"_s)
    , m_engine(u"engine"_s, u"打开网页的引擎：browser（完整浏览器，运行网页脚本）或 static（快速，不运行脚本）；默认按系统设置。"_s,
               u"引擎"_s)
    , m_proxy(u"proxy"_s,
              u"打开网页经过的代理服务器：[协议://][用户名:密码@]主机[:端口]，协议为 http、https、socks5 或 socks5h"
              u"（由代理服务器解析网址）；\"\" 为不用代理。默认按系统设置，未设置时按环境变量 http_proxy、https_proxy、"
              u"all_proxy 和 no_proxy。"_s,
              u"代理"_s)
    , m_userAgent(u"user-agent"_s, u"打开网页时发送的 User-Agent（默认按系统设置，未设置时为完整浏览器自己的）。"_s,
                  u"文字"_s)
    , m_styleSheets(u"style-sheets"_s,
                    u"快速引擎是否下载网页链接的样式表，按样式表隐藏或分行显示文字：on 或 off（默认按系统设置，未设置时 on）。"_s,
                    u"on|off"_s)
    , m_verbose(u"verbose"_s,
                u"把运行日志写到标准错误：每个网页的地址、HTTP 状态、大小、用时、重试次数和失败原因，"
                u"批量采集的开始与结果，以及数据库错误。"_s)
    , m_help(QStringList{u"h"_s, u"help"_s}, u"显示这段帮助。"_s)
    , m_cookies(u"cookies"_s,
                u"从 Netscape 格式的 cookie 文件（curl 和浏览器导出工具写的 cookies.txt）导入网站登录信息，"
                u"保存在数据文件夹中，以后两种引擎都使用。"_s,
                u"文件"_s)
{
    m_parser.setApplicationDescription(description);
}

CommandLine::~CommandLine() = default;

void CommandLine::parse(const QStringList &arguments)
{
    // Added last so the help lists the command's own options first.
    m_parser.addOptions({m_data, m_timeout, m_engine, m_cookies, m_proxy, m_userAgent, m_styleSheets, m_verbose, m_help});
    const bool parsed = m_parser.parse(arguments);
    if (helpRequested())
        return;
    if (!parsed)
        fail(ExitCode::Usage, m_parser.errorText());
    if (m_parser.isSet(m_verbose))
        setLogLevel(LogLevel::Detail);
    // A wrong --timeout or --engine is told before any work starts.
    LoadSettings typed;
    if (m_parser.isSet(m_timeout)) {
        if (const Status taken = typed.setText(LoadSettings::Field::TimeLimit, m_parser.value(m_timeout)); !taken)
            fail(ExitCode::Usage, u"--timeout："_s + taken.error());
    }
    const QString styleSheets = m_parser.value(m_styleSheets);
    if (m_parser.isSet(m_styleSheets) && styleSheets != u"on"_s && styleSheets != u"off"_s)
        fail(ExitCode::Usage, u"--style-sheets 只能是 on 或 off。"_s);
    if (m_parser.isSet(m_engine) && !engineFromName(m_parser.value(m_engine)))
        fail(ExitCode::Usage, u"--engine 只能是 browser 或 static。"_s);
    if (m_parser.isSet(m_data)) {
        const QString folder = m_parser.value(m_data);
        if (!QFileInfo(folder).isDir())
            fail(ExitCode::Usage, u"找不到程序文件夹：%1"_s.arg(QDir::toNativeSeparators(folder)));
        setProgramFolder(folder);
    }
    // A program folder without databases still analyses and extracts pages;
    // the commands that need a database say so themselves. A configuration
    // that is there but cannot be read is told, not taken for the defaults.
    if (QFileInfo::exists(programFolder().configDatabasePath())) {
        const Result<LoadSettings> stored = readLoadSettings();
        if (!stored)
            fail(ExitCode::Database, stored.error());
        m_loadSettings = stored.value();
    }
    if (m_parser.isSet(m_timeout))
        m_loadSettings.timeLimitMs = typed.timeLimitMs;
    if (m_parser.isSet(m_styleSheets))
        m_loadSettings.linkedStyleSheets = styleSheets == u"on"_s;
    if (m_pages == Pages::Loaded) {
        m_engineKind = chosenEngine();
        requireEngine(m_engineKind);
    }
    const bool keepsLogins = QFileInfo(programFolder().dataFolder()).isDir();
    m_cookieStore = std::make_unique<CookieStore>(keepsLogins ? programFolder().cookieFilePath() : QString());
    if (m_parser.isSet(m_cookies)) {
        const QString file = m_parser.value(m_cookies);
        const Result<int> imported = m_cookieStore->importFile(file);
        if (!imported)
            fail(ExitCode::Database, imported.error());
        writeMessage(u"已从 %1 导入 %2 个 cookie。"_s.arg(QDir::toNativeSeparators(file)).arg(imported.value()));
    }
}

// The settings window's proxy and User-Agent, or those given here. A proxy
// that is no proxy, given or from the environment, is told before a page loads.
NetworkConfig CommandLine::chosenNetwork() const
{
    NetworkSettings network;
    if (QFileInfo::exists(programFolder().configDatabasePath())) {
        const Result<NetworkSettings> stored = readNetworkSettings();
        if (!stored)
            fail(ExitCode::Database, stored.error());
        network = stored.value();
    }
    if (m_parser.isSet(m_proxy)) {
        const QString proxy = m_parser.value(m_proxy).trimmed();
        network.proxySource = proxy.isEmpty() ? NetworkSettings::ProxySource::None : NetworkSettings::ProxySource::Given;
        network.proxy = proxy;
        network.proxyUser.clear();
        network.proxyPassword.clear();
    }
    if (m_parser.isSet(m_userAgent))
        network.userAgent = m_parser.value(m_userAgent);
    Result<NetworkConfig> config = network.config();
    if (!config)
        fail(ExitCode::Usage, (m_parser.isSet(m_proxy) ? u"--proxy："_s : QString()) + config.error());
    NetworkConfig chosen = std::move(config).value();
    // Filled in here, since the static engine's program has no full browser to ask.
    if (chosen.userAgent.isEmpty())
        chosen.userAgent = webEngineUserAgent();
    return chosen;
}

QString CommandLine::helpText() const
{
    const QString text = m_parser.helpText();
    return u"用法："_s + m_usage + text.mid(text.indexOf(u'\n'));
}

QStringList CommandLine::positionalArguments(const QStringList &names) const
{
    const QStringList given = m_parser.positionalArguments();
    if (given.size() < names.size())
        fail(ExitCode::Usage, u"缺少%1。"_s.arg(names.at(given.size())));
    if (given.size() > names.size())
        fail(ExitCode::Usage, u"多余的参数：%1"_s.arg(given.mid(names.size()).join(u' ')));
    return given;
}

EngineKind CommandLine::chosenEngine() const
{
    if (m_parser.isSet(m_engine))
        return *engineFromName(m_parser.value(m_engine));
    if (!QFileInfo::exists(programFolder().configDatabasePath()))
        return EngineKind::Browser;
    // One whose configuration cannot be read says so rather than change the engine.
    const Result<EngineKind> stored = readEngineSetting();
    if (!stored)
        fail(ExitCode::Database, stored.error());
    return stored.value();
}

std::unique_ptr<Browser> CommandLine::browser() const
{
    Q_ASSERT(m_pages == Pages::Loaded);
    useNetwork(chosenNetwork());
    std::unique_ptr<Browser> browser = makeBrowser(m_engineKind);
    browser->setLimits(m_loadSettings.pageLimits());
    QObject::connect(browser.get(), &Browser::NewWindow2, browser.get(), [](bool *cancel) { *cancel = true; });
    return browser;
}

QString commandList(std::span<const Command> commands, qsizetype nameWidth)
{
    QString text;
    for (const Command &command : commands)
        text += u"  "_s + command.name.leftJustified(nameWidth) + command.summary + u'\n';
    return text;
}

int dispatchCommand(QStringList arguments, std::span<const Command> commands, const QString &help,
                    const QString &invocation, const QString &kind)
{
    if (arguments.size() < 2)
        fail(ExitCode::Usage, u"缺少%1；用 %2 --help 查看用法。"_s.arg(kind, invocation));
    // The command's own parser sees the program name followed by its options.
    const QString name = arguments.takeAt(1);
    if (name == u"--help"_s || name == u"-h"_s || name == u"help"_s) {
        writeOutput(help);
        return int(ExitCode::Success);
    }
    for (const Command &command : commands) {
        if (command.name == name)
            return command.run(arguments);
    }
    fail(ExitCode::Usage, u"未知%1“%2”；用 %3 --help 查看用法。"_s.arg(kind, name, invocation));
}

void applyLoadOptions(const QCommandLineParser &parser, std::span<const LoadOption> options, LoadSettings &load)
{
    for (const auto &[option, field] : options) {
        if (!parser.isSet(option))
            continue;
        if (const Status taken = load.setText(field, parser.value(option)); !taken)
            fail(ExitCode::Usage, u"--"_s + option.names().constFirst() + u"："_s + taken.error());
    }
}

AnalysisClass classFor(const QString &textOrValue)
{
    const auto found = findClass(textOrValue);
    if (!found)
        fail(ExitCode::Database, found.error());
    if (!found.value())
        fail(ExitCode::Usage, u"没有名为“%1”的采集分析模式。"_s.arg(textOrValue));
    return {found.value()->text, found.value()->value.toLower()};
}

QString classValueFor(const QString &textOrValue)
{
    return classFor(textOrValue).value;
}

void installCommandLineTexts(QCoreApplication &app)
{
    app.installTranslator(new ParserTexts(&app));
}

} // namespace pagrion::cli
