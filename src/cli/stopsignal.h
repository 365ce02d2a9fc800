#pragma once

#include <QObject>

class QSocketNotifier;

namespace pagrion::cli {

// Ctrl+C (SIGINT) as a Qt signal, delivered by the event loop: the handler
// only writes a byte to a pipe that a socket notifier watches. A second
// Ctrl+C ends the program at once, as it would without the handler.
// One object at a time.
class StopSignal final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StopSignal)

public:
    explicit StopSignal(QObject *parent = nullptr);
    ~StopSignal() override;

    bool received() const { return m_received; }

Q_SIGNALS:
    void stopRequested();

private:
    void onReadable();

    QSocketNotifier *m_notifier = nullptr;
    bool m_received = false;
};

} // namespace pagrion::cli
