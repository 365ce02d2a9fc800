#include "bench/childrun.h"

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

extern char **environ;

using namespace Qt::StringLiterals;

namespace pagrion::bench {

namespace {

constexpr int PollMs = 5;

// The process measured-run started, once it has started it.
pid_t childOf(pid_t pid)
{
    QFile children(u"/proc/%1/task/%1/children"_s.arg(pid));
    if (!children.open(QIODevice::ReadOnly))
        return 0;
    return pid_t(children.readAll().trimmed().split(' ').value(0).toInt());
}

// measured-run's report: peak KB, user and system seconds, how it ended.
void readReport(const QString &path, ChildRun &run)
{
    QFile report(path);
    if (!report.open(QIODevice::ReadOnly))
        return;
    const QList<QByteArray> words = report.readAll().simplified().split(' ');
    if (words.size() != 5)
        return;
    run.peakMegabytes = words[0].toDouble() / 1024.0;
    run.cpuSeconds = words[1].toDouble() + words[2].toDouble();
    if (words[3] == "exited")
        run.exitCode = words[4].toInt();
}

} // namespace

ChildRun runChild(const QString &program, const QStringList &arguments, const std::function<void(pid_t)> &started,
                  qint64 limitMs)
{
    ChildRun run;
    QTemporaryDir output;
    if (!output.isValid())
        return run;
    const QByteArray outPath = QFile::encodeName(output.filePath(u"out"_s));
    const QByteArray errPath = QFile::encodeName(output.filePath(u"err"_s));
    const QString reportPath = output.filePath(u"report"_s);

    std::vector<QByteArray> words{QByteArrayLiteral(MEASURED_RUN), QFile::encodeName(reportPath),
                                  QFile::encodeName(program)};
    for (const QString &argument : arguments)
        words.push_back(argument.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    QElapsedTimer clock;
    clock.start();
    pid_t runner = 0;
    const int spawned = posix_spawn(&runner, argv.front(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return run;

    // Polled rather than waited for, so this process's servers keep answering.
    pid_t measured = 0;
    int status = 0;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (measured == 0 && (measured = childOf(runner)) != 0 && started)
            started(measured);
        if (waitpid(runner, &status, WNOHANG) == runner)
            loop.quit();
        else if (clock.elapsed() > limitMs)
            ::kill(measured != 0 ? measured : runner, SIGKILL);
    });
    poll.start(PollMs);
    loop.exec();

    run.seconds = double(clock.nsecsElapsed()) / 1e9;
    readReport(reportPath, run);
    QFile out(QFile::decodeName(outPath));
    if (out.open(QIODevice::ReadOnly))
        run.out = out.readAll();
    QFile err(QFile::decodeName(errPath));
    if (err.open(QIODevice::ReadOnly))
        run.err = err.readAll();
    return run;
}

double peakMegabytesOf(pid_t pid)
{
    QFile status(u"/proc/%1/status"_s.arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

} // namespace pagrion::bench
