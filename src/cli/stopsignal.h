#pragma once

#include <QObject>

class QSocketNotifier;

namespace pagrion::cli {

// Ctrl+C (SIGINT) and SIGTERM as a Qt signal, delivered by the event loop:
// the handler only writes the signal's number to a pipe that a socket
// notifier watches. A second signal of either kind ends the program at once,
// as it would without the handler. One object at a time.
class StopSignal final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StopSignal)

public:
    explicit StopSignal(QObject *parent = nullptr);
    ~StopSignal() override;

    bool received() const { return m_signal != 0; }
    // The signal that asked to stop (SIGINT or SIGTERM); 0 before one came.
    int signalNumber() const { return m_signal; }

Q_SIGNALS:
    void stopRequested();

private:
    void onReadable();

    QSocketNotifier *m_notifier = nullptr;
    int m_signal = 0;
};

} // namespace pagrion::cli
