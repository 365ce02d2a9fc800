#include "cli/stopsignal.h"

#include <csignal>

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>

#include "core/workbudget.h"

namespace pagrion::cli {

namespace {

int pipeEnds[2] = {-1, -1};
constexpr int StopSignals[] = {SIGINT, SIGTERM};

void onStopSignal(int number)
{
    // Only async-signal-safe calls in here; the event loop does the rest.
    // The next signal of either kind takes its default course.
    for (const int stop : StopSignals)
        std::signal(stop, SIG_DFL);
    // A page being read holds the event loop up, so its read ends at once.
    pagrion::interruptWork();
    const char byte = char(number);
    [[maybe_unused]] const ssize_t written = ::write(pipeEnds[1], &byte, 1);
}

} // namespace

StopSignal::StopSignal(QObject *parent) : QObject(parent)
{
    Q_ASSERT(pipeEnds[0] < 0);
    // Without the pipe the signals keep their default effect and end the program.
    if (::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &StopSignal::onReadable);

    struct sigaction action = {};
    action.sa_handler = &onStopSignal;
    sigemptyset(&action.sa_mask);
    for (const int stop : StopSignals)
        sigaddset(&action.sa_mask, stop);
    action.sa_flags = SA_RESTART;
    for (const int stop : StopSignals)
        ::sigaction(stop, &action, nullptr);
}

StopSignal::~StopSignal()
{
    if (!m_notifier)
        return;
    for (const int stop : StopSignals)
        std::signal(stop, SIG_DFL);
    delete m_notifier;
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    pipeEnds[0] = pipeEnds[1] = -1;
}

void StopSignal::onReadable()
{
    char bytes[16];
    ssize_t count = 0;
    int first = 0;
    while ((count = ::read(pipeEnds[0], bytes, sizeof bytes)) > 0) {
        if (first == 0)
            first = bytes[0];
    }
    if (m_signal != 0 || first == 0)
        return;
    m_signal = first;
    Q_EMIT stopRequested();
}

} // namespace pagrion::cli
