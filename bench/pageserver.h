#pragma once

#include <functional>

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTcpServer>

namespace pagrion::bench {

// A minimal HTTP/1.1 server on 127.0.0.1: every GET is answered from the
// page function (a null page is a 404), after the given delay, and its
// connection closed. It runs in this process's event loop.
class PageServer final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PageServer)

public:
    using Pages = std::function<QByteArray(const QByteArray &path)>;

    explicit PageServer(Pages pages, int delayMs = 0, QObject *parent = nullptr);

    bool isListening() const { return m_server.isListening(); }
    QString url(const QString &path) const;
    int requests() const { return m_requests; }

Q_SIGNALS:
    void requestReceived(int count);

private:
    void onNewConnection();

    Pages m_pages;
    int m_delayMs;
    int m_requests = 0;
    QTcpServer m_server;
};

} // namespace pagrion::bench
