// pagrion-cli-browser: the commands with both engines, started by pagrion-cli
// for a command that loads its pages with the full browser.
#include <QApplication>

#include "cli/program.h"
#include "cli/programengines.h"
#include "engine/browserfactory.h"
#include "engine/webengine/webenginenetwork.h"
#include "engine/webengine/webenginesetup.h"

namespace pagrion::cli {

void requireEngine(EngineKind)
{
}

void useNetwork(const NetworkConfig &config)
{
    useNetworkConfig(config);
}

std::unique_ptr<Browser> makeBrowser(EngineKind kind)
{
    return createBrowser(kind);
}

} // namespace pagrion::cli

int main(int argc, char *argv[])
{
    pagrion::cli::quietQtMessages();
    // The full browser engine needs a GUI application, which never shows a
    // window here, so it needs no display either.
    pagrion::prepareWebEngine();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return pagrion::cli::runCommandLine(app);
}
