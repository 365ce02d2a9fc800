#include "support/loginsite.h"

#include <QUrlQuery>
#include <QUuid>

using namespace Qt::StringLiterals;

namespace pagrion::test {

namespace {

TestHttpServer::Route htmlPage(const QString &body)
{
    return TestHttpServer::page(u"<html><body>%1</body></html>"_s.arg(body).toUtf8());
}

const QString FormPage = u"<form method='post' action='/login'><input name='user'>"
                         u"<input name='password' type='password'><button type='submit'>登录</button></form>"_s;

} // namespace

LoginSite::LoginSite() : m_session(QUuid::createUuid().toByteArray(QUuid::Id128))
{
    m_server.setPage(u"/login.html"_s, htmlPage(FormPage).body);
    m_server.setResponder(u"/login"_s, [this](const TestHttpServer::Request &request) {
        const QUrlQuery fields(request.method == "POST" ? QString::fromUtf8(request.body)
                                                         : QUrl(request.target).query());
        if (fields.queryItemValue(u"user"_s) != u"alice" || fields.queryItemValue(u"password"_s) != u"secret")
            return htmlPage(FormPage);
        TestHttpServer::Route route;
        route.status = 303;
        route.redirectTo = u"/account.html"_s;
        route.headers.append({QByteArrayLiteral("Set-Cookie"), "sid=" + m_session + "; Path=/; HttpOnly"});
        return route;
    });
    m_server.setResponder(u"/account.html"_s, [this](const TestHttpServer::Request &request) {
        return htmlPage(u"<p>%1</p>"_s.arg(QString::fromUtf8(isLoggedIn(request) ? LoggedIn : LoggedOut)));
    });
    TestHttpServer::Route visit = htmlPage(u"<p>欢迎光临</p>"_s);
    visit.headers.append({QByteArrayLiteral("Set-Cookie"), QByteArrayLiteral("seen=yes; Path=/; Max-Age=86400")});
    m_server.setRoute(u"/visit.html"_s, visit);
}

QString LoginSite::loginUrl() const
{
    return url(u"/login?user=alice&password=secret"_s);
}

QByteArray LoginSite::sessionCookieLine() const
{
    return "#HttpOnly_127.0.0.1\tFALSE\t/\tFALSE\t0\tsid\t" + m_session;
}

bool LoginSite::isLoggedIn(const TestHttpServer::Request &request) const
{
    const QList<QByteArray> cookies = request.headers.value("cookie").split(';');
    return std::any_of(cookies.begin(), cookies.end(),
                       [this](const QByteArray &cookie) { return cookie.trimmed() == "sid=" + m_session; });
}

} // namespace pagrion::test
