#pragma once

#include <optional>

#include <QByteArray>
#include <QList>
#include <QSslCertificate>
#include <QString>

#include "engine/loadresult.h"

namespace pagrion {

// The certificates both engines trust: the system's store, where libcurl
// was built to look, unless the user names others as for curl and OpenSSL:
// a file in CURL_CA_BUNDLE or SSL_CERT_FILE, a folder in SSL_CERT_DIR.
struct TrustedCertificates
{
    QByteArray file;   // certificates in PEM, one after the other
    QByteArray folder; // certificates named by their hashes, as c_rehash makes them

    // What the user names in the environment; an empty part is left to libcurl.
    static TrustedCertificates overrides();
    // What is trusted in the end: the user's, else libcurl's own defaults.
    static TrustedCertificates inEffect();

    friend bool operator==(const TrustedCertificates &, const TrustedCertificates &) = default;
};

// Checks a server's certificates, its own first, for the host it was asked
// for, against the trusted certificates as libcurl checks a connection:
// nullopt when they are trusted, else why not.
std::optional<LoadFailure> checkServerCertificates(const QList<QSslCertificate> &chain, const QString &host);

// Why a certificate was refused, from OpenSSL's verification result
// (X509_V_ERR_...). X509_V_OK and X509_V_ERR_UNSPECIFIED stand for a
// certificate of another host: libcurl checks the name itself, and refuses
// one of another host before it takes OpenSSL's result.
LoadFailure certificateFailure(long verifyResult, const QString &host);

} // namespace pagrion
