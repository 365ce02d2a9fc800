#pragma once

#include <QFile>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QString>

namespace pagrion::test {

// The certificates of tests/engine/fixtures/tls, made by the test authority
// there: "server" (127.0.0.1, localhost and site.test), "otherhost"
// (other.test) and "expired" (127.0.0.1, for 2020).
inline QString tlsFixturePath(const QString &name)
{
    return qEnvironmentVariable("PAGRION_SOURCE_DIR") + QStringLiteral("/tests/engine/fixtures/tls/") + name;
}

// The test authority's certificate, for SSL_CERT_FILE.
inline QString testAuthorityFile()
{
    return tlsFixturePath(QStringLiteral("ca.pem"));
}

// A server's configuration with the certificate of that name and its key.
inline QSslConfiguration tlsFixture(const QString &certificate)
{
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(QSslCertificate::fromPath(tlsFixturePath(certificate + QStringLiteral(".pem"))).value(0));
    QFile key(tlsFixturePath(certificate + QStringLiteral(".key")));
    if (key.open(QIODevice::ReadOnly))
        tls.setPrivateKey(QSslKey(&key, QSsl::Rsa));
    return tls;
}

} // namespace pagrion::test
