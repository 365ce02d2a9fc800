#pragma once

#include <functional>

#include <QProcess>
#include <QSignalSpy>
#include <QStringList>

namespace pagrion::test {

struct CliRun
{
    int exitCode = -1; // -1 when the program crashed or did not end in time
    QByteArray out;
    QByteArray err;
};

// Runs the built pagrion-cli. Waits on the process's own signal so this
// process's event loop keeps a test server answering meanwhile; whileRunning,
// when given, is called once the program has started.
// Commands run on the static engine unless the test names one: it is the
// faster of the two and gives the same texts.
inline CliRun runCli(QStringList arguments, const std::function<void(QProcess &)> &whileRunning = {})
{
    if (!arguments.isEmpty() && !arguments.first().startsWith(u'-') && !arguments.contains(QStringLiteral("--engine")))
        arguments.insert(1, QStringLiteral("--engine=static"));
    QProcess process;
    QSignalSpy finished(&process, &QProcess::finished);
    process.start(QStringLiteral(PAGRION_CLI), arguments);
    CliRun run;
    const bool started = process.waitForStarted();
    if (started && whileRunning)
        whileRunning(process);
    if (!started || (finished.isEmpty() && !finished.wait(60'000))) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    if (process.exitStatus() == QProcess::NormalExit)
        run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

} // namespace pagrion::test
