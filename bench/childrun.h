#pragma once

#include <functional>
#include <sys/types.h>

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace pagrion::bench {

// What one program run cost, as the kernel counted it for that process and
// the children it waited for.
struct ChildRun
{
    int exitCode = -1; // -1: not started, or ended by a signal
    QByteArray out;    // standard output
    QByteArray err;    // standard error
    double seconds = 0;
    double cpuSeconds = 0; // user and system time
    double peakMegabytes = 0;
};

// Runs a program to its end while this process's event loop keeps turning,
// so a server living here answers it meanwhile. started is told the child's
// process id once it runs. A child still running after limitMs is killed.
constexpr qint64 LongestRunMs = 20 * 60 * 1000; // only a safety net against a hung child
ChildRun runChild(const QString &program, const QStringList &arguments,
                  const std::function<void(pid_t)> &started = {}, qint64 limitMs = LongestRunMs);

// The largest resident size a running process has had so far, in MB; 0 when
// it cannot be read.
double peakMegabytesOf(pid_t pid);

} // namespace pagrion::bench
