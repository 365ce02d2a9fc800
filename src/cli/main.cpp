// pagrion-cli: the commands with the static engine alone. A command that
// loads its pages with the full browser is handed over to pagrion-cli-browser.
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include "cli/cliterminal.h"
#include "cli/program.h"
#include "cli/programengines.h"
#include "engine/staticbrowser.h"

using namespace Qt::StringLiterals;

namespace {

char **programArguments = nullptr;

} // namespace

namespace pagrion::cli {

// exec keeps the process, so the terminal, a shell's wait and Ctrl+C see the
// same program throughout; the arguments go over exactly as they were typed.
void requireEngine(EngineKind kind)
{
    if (kind == EngineKind::Static)
        return;
    const QString program = QCoreApplication::applicationDirPath() + u"/pagrion-cli-browser"_s;
    std::fflush(stdout);
    std::fflush(stderr);
    ::execv(QFile::encodeName(program).constData(), programArguments);
    fail(ExitCode::PageNotLoaded,
         u"无法启动完整浏览器 %1：%2"_s.arg(QDir::toNativeSeparators(program), qt_error_string(errno)));
}

void useNetwork(const NetworkConfig &config)
{
    setNetworkConfig(config);
}

std::unique_ptr<Browser> makeBrowser(EngineKind kind)
{
    Q_ASSERT(kind == EngineKind::Static);
    return std::make_unique<StaticBrowser>();
}

} // namespace pagrion::cli

int main(int argc, char *argv[])
{
    programArguments = argv;
    pagrion::cli::quietQtMessages();
    QCoreApplication app(argc, argv);
    return pagrion::cli::runCommandLine(app);
}
