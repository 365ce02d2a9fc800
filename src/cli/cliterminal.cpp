#include "cli/cliterminal.h"

#include <cstdio>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace pagrion::cli {

void fail(ExitCode code, const QString &message)
{
    throw Failure{code, message};
}

void writeOutput(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

void writeMessage(const QString &message)
{
    const QString line = u"pagrion-cli: "_s + message.simplified() + u'\n';
    std::fputs(line.toUtf8().constData(), stderr);
    std::fflush(stderr);
}

void writeLogLine(const QByteArray &line)
{
    static const bool terminal = ::isatty(STDERR_FILENO) == 1;
    if (terminal)
        std::fputs("\r\x1b[K", stderr);
    std::fputs(line.constData(), stderr);
    std::fflush(stderr);
}

int report(const Failure &failure)
{
    writeMessage(failure.message);
    return int(failure.code);
}

} // namespace pagrion::cli
