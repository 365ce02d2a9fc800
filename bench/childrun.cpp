#include "bench/childrun.h"

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
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

double seconds(const timeval &time)
{
    return double(time.tv_sec) + double(time.tv_usec) / 1e6;
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

    std::vector<QByteArray> words{QFile::encodeName(program)};
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
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv.front(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return run;
    if (started)
        started(pid);

    // Polled rather than waited for, so this process's servers keep answering.
    int status = 0;
    rusage usage{};
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (wait4(pid, &status, WNOHANG, &usage) == pid)
            loop.quit();
        else if (clock.elapsed() > limitMs)
            ::kill(pid, SIGKILL);
    });
    poll.start(PollMs);
    loop.exec();

    run.seconds = double(clock.nsecsElapsed()) / 1e9;
    run.cpuSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    run.peakMegabytes = double(usage.ru_maxrss) / 1024.0;
    if (WIFEXITED(status))
        run.exitCode = WEXITSTATUS(status);
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
