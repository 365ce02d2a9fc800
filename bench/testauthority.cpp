#include "bench/testauthority.h"

#include <QProcess>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace pagrion::bench {

namespace {

constexpr int OpensslWithinMs = 30'000;

// P-256 keys: made at once, and what many sites present.
const QStringList NewKey{u"-newkey"_s, u"ec"_s, u"-pkeyopt"_s, u"ec_paramgen_curve:prime256v1"_s, u"-nodes"_s};

} // namespace

TestAuthority::TestAuthority()
{
    if (!m_folder.isValid()) {
        m_problem = u"no temporary folder for the certificates"_s;
        return;
    }
    if (QStandardPaths::findExecutable(u"openssl"_s).isEmpty()) {
        m_problem = u"the openssl command is not installed (Debian: openssl)"_s;
        return;
    }
    const QString authorityKey = m_folder.filePath(u"ca.key"_s);
    const ServerCertificate site = server();
    // openssl req signs with another certificate's key since OpenSSL 3.0.
    openssl(QStringList{u"req"_s, u"-x509"_s} + NewKey
            + QStringList{u"-keyout"_s, authorityKey, u"-out"_s, authorityFile(), u"-days"_s, u"2"_s, u"-subj"_s,
                          u"/CN=Pagrion bench authority"_s, u"-addext"_s, u"basicConstraints=critical,CA:TRUE"_s,
                          u"-addext"_s, u"keyUsage=critical,keyCertSign,cRLSign"_s})
        && openssl(QStringList{u"req"_s, u"-x509"_s, u"-CA"_s, authorityFile(), u"-CAkey"_s, authorityKey} + NewKey
                   + QStringList{u"-keyout"_s, site.key, u"-out"_s, site.certificate, u"-days"_s, u"2"_s,
                                 u"-subj"_s, u"/CN=127.0.0.1"_s, u"-addext"_s, u"subjectAltName=IP:127.0.0.1"_s,
                                 u"-addext"_s, u"basicConstraints=critical,CA:FALSE"_s, u"-addext"_s,
                                 u"extendedKeyUsage=serverAuth"_s});
}

QString TestAuthority::authorityFile() const
{
    return m_folder.filePath(u"ca.pem"_s);
}

ServerCertificate TestAuthority::server() const
{
    return {m_folder.filePath(u"server.pem"_s), m_folder.filePath(u"server.key"_s)};
}

bool TestAuthority::openssl(const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(u"openssl"_s, arguments);
    if (process.waitForFinished(OpensslWithinMs) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0)
        return true;
    m_problem = u"openssl %1 failed: %2"_s.arg(arguments.first(), QString::fromLocal8Bit(process.readAll().trimmed()));
    return false;
}

} // namespace pagrion::bench
