#pragma once

#include <optional>
#include <utility>

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

namespace pagrion {

// Why a page did not load, in words a user can read ("HTTP 404", "超时").
struct LoadFailure
{
    enum class Kind {
        HttpStatus,         // the server answered with a status of 400 or more
        Timeout,            // the time limit passed
        ConnectionRefused,
        ConnectionReset,    // the connection broke before an answer came
        BodyCutShort,       // the connection closed before the whole body came
        HostNotFound,
        Tls,                // the secure connection could not be set up
        BodyTooLarge,
        TooManyRedirects,
        RedirectLoop,
        Decompression,      // the compressed body could not be unpacked
        RefusedScheme,      // an address the program does not open (data:, javascript:, ...)
        Proxy,              // the proxy could not be reached, or did not pass the request on
        Network,            // any other failure of the network or the file
    };

    Kind kind = Kind::Network;
    QString reason;
    int status = 0; // the HTTP status, for Kind::HttpStatus

    // Failures that often pass by themselves, so a load is worth trying again.
    bool retryable() const;

    static LoadFailure httpStatus(int status);
    static LoadFailure timeout();
    static LoadFailure connectionRefused();
    static LoadFailure connectionReset();
    static LoadFailure bodyCutShort();
    static LoadFailure hostNotFound(const QString &host);
    static LoadFailure tls(const QString &detail);
    static LoadFailure bodyTooLarge(qint64 limitBytes);
    static LoadFailure tooManyRedirects(int limit);
    static LoadFailure redirectLoop();
    static LoadFailure decompression(const QString &detail);
    static LoadFailure refusedScheme(const QUrl &url);
    // A redirect to an address that is not on the web, where the address
    // itself is not known.
    static LoadFailure refusedRedirect();
    // The proxy is named as proxyName() writes it ("127.0.0.1:3128").
    static LoadFailure proxyUnreachable(const QString &proxy);
    static LoadFailure proxyRefused(const QString &proxy, const QString &detail);
    static LoadFailure proxyLogin(const QString &proxy);
    static LoadFailure network(const QString &detail);
};

// How one load ended: loaded, or failed with a reason. An HTTP error keeps
// the status, headers and body the server sent; any other failure has none.
struct LoadResult
{
    QUrl url;        // where the answer came from, after redirects
    int status = 0;  // the HTTP status; 0 for a local file or no answer
    QString reasonPhrase; // the words after the status on the status line
    QList<std::pair<QByteArray, QByteArray>> headers;
    QByteArray body; // unpacked when it came compressed
    std::optional<LoadFailure> failure;
    int attempts = 0;

    bool loaded() const { return !failure; }
    // The value of a header, its name compared without letter case; empty when absent.
    QByteArray header(const QByteArray &name) const;
};

} // namespace pagrion
