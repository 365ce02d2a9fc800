#pragma once

#include <QString>
#include <QTemporaryDir>

#include "bench/nginxserver.h"

namespace pagrion::bench {

// A certificate authority made for one bench run with the openssl command,
// and a certificate it signed for a server at 127.0.0.1. Its files live in a
// temporary folder that goes with the object.
class TestAuthority final
{
public:
    TestAuthority();
    Q_DISABLE_COPY_MOVE(TestAuthority)

    // Empty when the certificates are made; otherwise why they are not.
    const QString &problem() const { return m_problem; }
    // The authority's certificate, for the programs to trust.
    QString authorityFile() const;
    ServerCertificate server() const;

private:
    bool openssl(const QStringList &arguments);

    QTemporaryDir m_folder;
    QString m_problem;
};

} // namespace pagrion::bench
