#include "cli/stopsignal.h"

#include <csignal>

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>

#include "engine/readbudget.h"

namespace pagrion::cli {

namespace {

int pipeEnds[2] = {-1, -1};

void onInterrupt(int)
{
    // Only async-signal-safe calls in here; the event loop does the rest.
    // A page being read holds the event loop up, so its read ends at once.
    pagrion::interruptDocumentReads();
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(pipeEnds[1], &byte, 1);
}

} // namespace

StopSignal::StopSignal(QObject *parent) : QObject(parent)
{
    Q_ASSERT(pipeEnds[0] < 0);
    // Without the pipe Ctrl+C keeps its default effect and ends the program.
    if (::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &StopSignal::onReadable);

    struct sigaction action = {};
    action.sa_handler = &onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
}

StopSignal::~StopSignal()
{
    if (!m_notifier)
        return;
    std::signal(SIGINT, SIG_DFL);
    delete m_notifier;
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    pipeEnds[0] = pipeEnds[1] = -1;
}

void StopSignal::onReadable()
{
    char bytes[16];
    while (::read(pipeEnds[0], bytes, sizeof bytes) > 0) {
    }
    if (m_received)
        return;
    m_received = true;
    Q_EMIT stopRequested();
}

} // namespace pagrion::cli
