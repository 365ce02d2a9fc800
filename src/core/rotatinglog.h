#pragma once

#include <QByteArray>
#include <QFile>
#include <QMutex>
#include <QString>

namespace pagrion {

// A log file that never grows past its cap: a line that would take it over
// moves the file to "<name>.1", the one before to "<name>.2" and so on, the
// oldest past `kept` going away, and starts the file afresh. The file and
// its folder are made at the first line, so a log that records nothing
// leaves nothing behind. Lines come whole from any thread; each reaches the
// disk as it is written, so a log sent after a crash holds the last lines.
class RotatingLogFile final
{
public:
    static constexpr qint64 DefaultMaxBytes = qint64(2) << 20;
    static constexpr int DefaultKept = 3;

    explicit RotatingLogFile(QString path, qint64 maxBytes = DefaultMaxBytes, int kept = DefaultKept);
    Q_DISABLE_COPY_MOVE(RotatingLogFile)

    void write(const QByteArray &line);

private:
    bool open();
    void rotate();

    QMutex m_mutex;
    QString m_path;
    qint64 m_maxBytes;
    int m_kept;
    QFile m_file;
    bool m_unwritable = false; // the file could not be opened: lines are dropped
};

} // namespace pagrion
