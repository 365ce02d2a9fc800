#pragma once

#include <utility>

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

namespace pagrion {

// Reads one HTTP/1.x response from the bytes of a connection as they come:
// the status line and headers, then the body as its framing says (chunked,
// Content-Length, or up to the end of the connection). It tells a complete
// response from one the connection cut short, and holds the head to a size,
// so a server that never ends its headers cannot exhaust memory.
class HttpResponseParser final
{
public:
    enum class Framing { None, Length, Chunked, UntilClose };

    // A HEAD request's answer has no body whatever its headers say.
    explicit HttpResponseParser(bool headRequest = false) : m_headRequest(headRequest) {}

    // Reads bytes; the body's own bytes (without chunk framing) are appended
    // to body. False once the bytes cannot be an HTTP response: error() says why.
    bool feed(QByteArrayView bytes, QByteArray &body);
    // The connection has ended; false when that cut the response short.
    bool finishAtClose();

    bool headComplete() const { return m_stage > Stage::Head; }
    bool complete() const { return m_stage == Stage::Done; }
    const QString &error() const { return m_error; }

    int status() const { return m_status; }
    const QByteArray &reasonPhrase() const { return m_reason; }
    const QList<std::pair<QByteArray, QByteArray>> &headers() const { return m_headers; }
    // The first value of a header, its name compared without letter case.
    QByteArray header(QByteArrayView name) const;
    QList<QByteArray> headerValues(QByteArrayView name) const;
    Framing framing() const { return m_framing; }
    // The announced length of a Length body.
    qint64 contentLength() const { return m_length; }
    // The connection may carry the next request once this response is complete.
    bool keepsConnection() const { return m_keepAlive; }

    // The most a status line and headers may take together.
    static constexpr qsizetype MaxHeadBytes = 256 * 1024;

private:
    enum class Stage { Head, Body, ChunkSize, ChunkData, ChunkEnd, Trailers, Done, Failed };

    bool readHead();
    bool parseHead(const QByteArray &head);
    bool readBody(QByteArray &body);
    // The next line of m_buffer from m_offset; false while it is incomplete.
    bool takeLine(QByteArray &line, qsizetype maxLength);
    bool fail(const QString &error);

    bool m_headRequest;
    Stage m_stage = Stage::Head;
    QByteArray m_buffer;
    qsizetype m_offset = 0;
    qsizetype m_scanned = 0; // how far the head has been searched for its end
    QString m_error;
    int m_status = 0;
    bool m_http10 = false;
    QByteArray m_reason;
    QList<std::pair<QByteArray, QByteArray>> m_headers;
    Framing m_framing = Framing::None;
    qint64 m_length = -1;
    qint64 m_left = 0; // bytes left of the body or of the chunk being read
    bool m_keepAlive = false;
};

} // namespace pagrion
