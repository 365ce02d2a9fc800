#pragma once

#include <QString>
#include <QUrl>

namespace pagrion {

// Web pages lead only to web pages: http: and https: addresses.
bool isWebAddress(const QUrl &url);

// The scheme, host and port of a web address, which the requests to one
// site share; empty for any other address.
QString hostKey(const QUrl &url);

// Whether a page at `from` may send its reader on to `to` by itself (a
// redirect, a refresh, a script, a link of a link run). From the web only web
// addresses are followed, so a remote page can never open a local file, data:
// or javascript: content; a local page may also lead to other local files.
bool mayFollow(const QUrl &from, const QUrl &to);

} // namespace pagrion
