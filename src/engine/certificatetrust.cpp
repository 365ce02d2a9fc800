#include "engine/certificatetrust.h"

#include <memory>

#include <curl/curl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include <QHostAddress>

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

// The first of the environment variables that is set, as curl's own tool reads them.
QByteArray firstSet(std::initializer_list<const char *> names)
{
    for (const char *name : names) {
        const QByteArray value = qgetenv(name);
        if (!value.isEmpty())
            return value;
    }
    return {};
}

struct ContextFree
{
    void operator()(X509_STORE_CTX *context) const { X509_STORE_CTX_free(context); }
};
struct CertificateFree
{
    void operator()(X509 *certificate) const { X509_free(certificate); }
};
struct ChainFree
{
    void operator()(STACK_OF(X509) * chain) const { sk_X509_pop_free(chain, X509_free); }
};
using Certificate = std::unique_ptr<X509, CertificateFree>;

// Loaded once for each set of sources: a check runs for every page whose
// certificate the full browser does not know, always on the user-interface
// thread. The last store is left for the end of the process to take, since
// OpenSSL may be gone before static objects are destroyed.
X509_STORE *trustedStore()
{
    static TrustedCertificates loadedFrom;
    static X509_STORE *store = nullptr;
    const TrustedCertificates sources = TrustedCertificates::inEffect();
    if (!store || !(sources == loadedFrom)) {
        X509_STORE_free(store);
        store = X509_STORE_new();
        if (!sources.file.isEmpty())
            X509_STORE_load_file(store, sources.file.constData());
        if (!sources.folder.isEmpty())
            X509_STORE_load_path(store, sources.folder.constData());
        loadedFrom = sources;
    }
    return store;
}

Certificate openSslCertificate(const QSslCertificate &certificate)
{
    const QByteArray der = certificate.toDer();
    const auto *bytes = reinterpret_cast<const unsigned char *>(der.constData());
    return Certificate(d2i_X509(nullptr, &bytes, long(der.size())));
}

} // namespace

TrustedCertificates TrustedCertificates::overrides()
{
    return {firstSet({"CURL_CA_BUNDLE", "SSL_CERT_FILE"}), firstSet({"SSL_CERT_DIR"})};
}

TrustedCertificates TrustedCertificates::inEffect()
{
    TrustedCertificates trusted = overrides();
    const curl_version_info_data *curl = curl_version_info(CURLVERSION_NOW);
    if (trusted.file.isEmpty() && curl->cainfo)
        trusted.file = curl->cainfo;
    if (trusted.folder.isEmpty() && curl->capath)
        trusted.folder = curl->capath;
    return trusted;
}

// The same checks libcurl has OpenSSL make: a chain to a trusted certificate
// (which may itself be an intermediate one), for a TLS server, of this host.
std::optional<LoadFailure> checkServerCertificates(const QList<QSslCertificate> &chain, const QString &host)
{
    const Certificate server = chain.isEmpty() ? nullptr : openSslCertificate(chain.first());
    if (!server)
        return LoadFailure::tls(u"服务器没有出示可以读取的证书"_s);
    std::unique_ptr<STACK_OF(X509), ChainFree> intermediates(sk_X509_new_null());
    for (qsizetype i = 1; i < chain.size(); ++i) {
        if (Certificate certificate = openSslCertificate(chain.at(i)))
            sk_X509_push(intermediates.get(), certificate.release());
    }
    std::unique_ptr<X509_STORE_CTX, ContextFree> context(X509_STORE_CTX_new());
    if (!X509_STORE_CTX_init(context.get(), trustedStore(), server.get(), intermediates.get()))
        return LoadFailure::tls(u"无法检查服务器的证书"_s);
    X509_VERIFY_PARAM *parameters = X509_STORE_CTX_get0_param(context.get());
    X509_VERIFY_PARAM_set_flags(parameters, X509_V_FLAG_PARTIAL_CHAIN | X509_V_FLAG_TRUSTED_FIRST);
    X509_VERIFY_PARAM_set_purpose(parameters, X509_PURPOSE_SSL_SERVER);
    const QByteArray name = host.toUtf8();
    if (QHostAddress(host).isNull())
        X509_VERIFY_PARAM_set1_host(parameters, name.constData(), size_t(name.size()));
    else
        X509_VERIFY_PARAM_set1_ip_asc(parameters, name.constData());
    if (X509_verify_cert(context.get()) == 1)
        return std::nullopt;
    return certificateFailure(X509_STORE_CTX_get_error(context.get()), host);
}

LoadFailure certificateFailure(long verifyResult, const QString &host)
{
    switch (verifyResult) {
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_CERT_UNTRUSTED:
        return LoadFailure::tls(u"服务器的证书不受信任：签发者不在本机信任的证书中"_s);
    case X509_V_ERR_CERT_HAS_EXPIRED:
        return LoadFailure::tls(u"服务器的证书已过期"_s);
    case X509_V_ERR_CERT_NOT_YET_VALID:
        return LoadFailure::tls(u"服务器的证书尚未生效"_s);
    case X509_V_OK:
    case X509_V_ERR_UNSPECIFIED: // libcurl's result before it reads OpenSSL's
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
        return LoadFailure::tls(u"服务器的证书不属于 %1"_s.arg(host));
    default:
        return LoadFailure::tls(
            u"服务器的证书不受信任（%1）"_s.arg(QString::fromLatin1(X509_verify_cert_error_string(verifyResult))));
    }
}

} // namespace pagrion
