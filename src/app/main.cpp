#include <cstdio>

#include <QApplication>

#include "app/frmmain.h"
#include "core/programlog.h"
#include "core/rotatinglog.h"
#include "engine/browserfactory.h"
#include "engine/cookiestore.h"
#include "engine/webengine/webenginenetwork.h"
#include "engine/webengine/webenginesetup.h"
#include "platform/connectioncheck.h"
#include "platform/current.h"
#include "platform/desktopshell.h"
#include "platform/qtdialogs.h"
#include "platform/qttranslations.h"
#include "store/enginesetting.h"
#include "store/loadsettings.h"
#include "store/logsetting.h"
#include "store/networksettings.h"
#include "store/programfolder.h"

using namespace pagrion;
using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    // Without a display Qt would abort with a long platform-plugin message.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        std::fputs("pagrion：没有可用的显示器（DISPLAY 和 WAYLAND_DISPLAY 都未设置），请在桌面环境中启动。\n", stderr);
        return 1;
    }

    prepareWebEngine();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pagrion"));
    if (!useChineseQtTexts().isEmpty())
        std::fputs("pagrion：没有找到 Qt 的中文翻译（Debian 软件包 qt6-translations-l10n），部分按钮和菜单将显示英文。\n", stderr);

    // The route goes before the file it writes to.
    RotatingLogFile logFile(programFolder().logFilePath());
    const ProgramLogRoute logRoute([&logFile](const QByteArray &line) { logFile.write(line); });
    const Result<LogLevel> logLevel = readLogLevel();
    setLogLevel(logLevel ? logLevel.value() : DefaultLogLevel);

    QtDialogs dialogs;
    DesktopShell shell;
    SystemConnectionCheck connection;
    Current<Dialogs>::set(&dialogs);
    Current<Shell>::set(&shell);
    Current<ConnectionCheck>::set(&connection);

    // Declared before the browsers: the full browser's profile goes with it.
    CookieStore cookies(programFolder().cookieFilePath());

    // A configuration that cannot be read yet still gets the full browser and
    // the environment's proxy; the window reports the database problem itself
    // as it loads.
    const Result<NetworkSettings> network = readNetworkSettings();
    const Result<NetworkConfig> networkConfig = network ? network.value().config() : NetworkSettings().config();
    useNetworkConfig(networkConfig ? networkConfig.value() : NetworkConfig());
    const Result<EngineKind> engine = readEngineSetting();
    const std::unique_ptr<Browser> browser = createBrowser(engine ? engine.value() : EngineKind::Browser);
    FrmMain window(*browser);
    if (const Result<LoadSettings> load = readLoadSettings())
        window.useLoadSettings(load.value());
    window.Form_Load();
    window.show();
    if (!networkConfig)
        dialogs.information(window.windowTitle(), networkConfig.error() + u"\n网页将不经代理服务器打开。"_s);
    return app.exec();
}
