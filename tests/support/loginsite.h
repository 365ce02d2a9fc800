#pragma once

#include <QByteArray>
#include <QString>

#include "support/testhttpserver.h"

namespace pagrion::test {

// A site behind a login, on a loopback server of its own:
// - /login.html: the form, user and password, posted to /login;
// - /login: takes user "alice" with password "secret", from a posted form or
//   the query, sets the session cookie (HttpOnly, no expiry) and sends the
//   reader on to /account.html; anyone else gets the form again;
// - /account.html: "欢迎 alice" for a logged-in reader, "请先登录" for
//   everyone else;
// - /visit.html: a page that gives everyone a cookie for a day.
// Each site has its own session, so a cookie of another test opens nothing.
class LoginSite final
{
public:
    static constexpr auto LoggedIn = "欢迎 alice";
    static constexpr auto LoggedOut = "请先登录";

    LoginSite();

    bool isListening() const { return m_server.isListening(); }
    QString url(const QString &path) const { return m_server.url(path); }
    // The form's address with alice's user name and password in its query.
    QString loginUrl() const;
    // The session cookie as a Netscape cookie file line.
    QByteArray sessionCookieLine() const;

private:
    bool isLoggedIn(const TestHttpServer::Request &request) const;

    TestHttpServer m_server;
    QByteArray m_session;
};

} // namespace pagrion::test
