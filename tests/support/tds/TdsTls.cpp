#include "TdsTls.h"

#include <stdexcept>
#include <vector>

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

namespace tds {

namespace {

std::string openSslError(const char* what)
{
    char text[256] = {};
    ERR_error_string_n(ERR_get_error(), text, sizeof text);
    return std::string(what) + ": " + text;
}

// The PRELOGIN packets of the handshake are sent at the size every client starts with.
constexpr std::size_t kHandshakePacketSize = 4096;

} // namespace

EncryptionAnswer NegotiateEncryption(EncryptionMode mode, std::uint8_t client)
{
    switch (mode) {
    case EncryptionMode::NotSupported:
        // A client that insists ends the connection itself.
        return {Encrypt::NotSupported, TlsUse::None, false};
    case EncryptionMode::Offered:
        if (client == Encrypt::Off)
            return {Encrypt::Off, TlsUse::LoginOnly, false};
        if (client == Encrypt::NotSupported)
            return {Encrypt::NotSupported, TlsUse::None, false};
        return {Encrypt::On, TlsUse::Full, false};
    case EncryptionMode::Required:
        if (client == Encrypt::NotSupported)
            return {Encrypt::Required, TlsUse::None, true};
        if (client == Encrypt::Off)
            return {Encrypt::Required, TlsUse::Full, false};
        return {Encrypt::On, TlsUse::Full, false};
    }
    return {};
}

TlsContext::TlsContext(const std::string& hostName)
{
    EVP_PKEY* key = EVP_EC_gen("P-256");
    X509* cert = X509_new();
    if (!key || !cert) {
        EVP_PKEY_free(key);
        X509_free(cert);
        throw std::runtime_error(openSslError("cannot make a key"));
    }
    X509_set_version(cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
    X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert), 7L * 24 * 3600);
    X509_set_pubkey(cert, key);
    X509_NAME* name = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                               reinterpret_cast<const unsigned char*>(hostName.c_str()), -1, -1, 0);
    X509_set_issuer_name(cert, name);
    X509V3_CTX v3;
    X509V3_set_ctx_nodb(&v3);
    X509V3_set_ctx(&v3, cert, cert, nullptr, nullptr, 0);
    const std::string altNames = "DNS:" + hostName + ",IP:127.0.0.1";
    // Self-signed and its own CA, so a client can take it as its CA file.
    for (const auto& [nid, value] : {std::pair{NID_subject_alt_name, altNames.c_str()},
                                     std::pair{NID_basic_constraints, "critical,CA:TRUE"}}) {
        X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &v3, nid, value);
        if (ext) {
            X509_add_ext(cert, ext, -1);
            X509_EXTENSION_free(ext);
        }
    }
    const bool signedOk = X509_sign(cert, key, EVP_sha256()) > 0;

    BIO* pem = BIO_new(BIO_s_mem());
    if (signedOk && pem && PEM_write_bio_X509(pem, cert)) {
        char* data = nullptr;
        const long n = BIO_get_mem_data(pem, &data);
        m_pem.assign(data, static_cast<std::size_t>(n));
    }
    BIO_free(pem);

    m_ctx = SSL_CTX_new(TLS_server_method());
    // SQL Server speaks TLS 1.2 at most inside TDS 7.x; 1.3 only comes with TDS 8.
    const bool ready = signedOk && !m_pem.empty() && m_ctx &&
                       SSL_CTX_set_min_proto_version(m_ctx, TLS1_2_VERSION) &&
                       SSL_CTX_set_max_proto_version(m_ctx, TLS1_2_VERSION) &&
                       SSL_CTX_use_certificate(m_ctx, cert) == 1 && SSL_CTX_use_PrivateKey(m_ctx, key) == 1;
    X509_free(cert);
    EVP_PKEY_free(key);
    if (!ready) {
        SSL_CTX_free(m_ctx);
        throw std::runtime_error(openSslError("cannot set up TLS"));
    }
}

TlsContext::~TlsContext()
{
    SSL_CTX_free(m_ctx);
}

TlsStream::TlsStream(const TlsContext& context, SocketStream& plain, TlsUse use)
    : m_plain(plain), m_use(use), m_ssl(SSL_new(context.context()))
{
    if (!m_ssl)
        throw std::runtime_error(openSslError("cannot start a TLS session"));
}

TlsStream::~TlsStream()
{
    SSL_free(m_ssl);
}

void TlsStream::handshake(std::size_t maxBytes)
{
    BIO* in = BIO_new(BIO_s_mem());
    BIO* out = BIO_new(BIO_s_mem());
    if (!in || !out) {
        BIO_free(in);
        BIO_free(out);
        throw std::runtime_error("out of memory");
    }
    SSL_set_bio(m_ssl, in, out); // owned by the session from here on
    SSL_set_accept_state(m_ssl);
    for (;;) {
        Message message;
        if (!ReadMessage(m_plain, message, maxBytes))
            throw ProtocolError("client left during the TLS handshake");
        if (message.type != PacketType::PreLogin)
            throw ProtocolError("TLS handshake record outside a PRELOGIN packet");
        BIO_write(in, message.payload.data(), static_cast<int>(message.payload.size()));
        const int done = SSL_do_handshake(m_ssl);
        std::vector<std::uint8_t> flight(static_cast<std::size_t>(BIO_ctrl_pending(out)));
        if (!flight.empty()) {
            BIO_read(out, flight.data(), static_cast<int>(flight.size()));
            if (!SendMessage(m_plain, flight, kHandshakePacketSize, PacketType::PreLogin))
                throw ProtocolError("client left during the TLS handshake");
        }
        if (done == 1)
            break;
        if (SSL_get_error(m_ssl, done) != SSL_ERROR_WANT_READ)
            throw ProtocolError(openSslError("TLS handshake failed"));
    }
    if (BIO_ctrl_pending(in) != 0)
        throw ProtocolError("data after the TLS handshake inside PRELOGIN");
    // From here the records travel bare on the socket.
    BIO* socket = BIO_new_socket(m_plain.fd(), BIO_NOCLOSE);
    if (!socket)
        throw std::runtime_error("out of memory");
    SSL_set_bio(m_ssl, socket, socket);
}

bool TlsStream::read(std::uint8_t* out, std::size_t n, bool& sawAnything)
{
    if (m_steppedAside)
        return m_plain.read(out, n, sawAnything);
    std::size_t got = 0;
    while (got < n) {
        const int r = SSL_read(m_ssl, out + got, static_cast<int>(n - got));
        if (r <= 0)
            return false;
        got += static_cast<std::size_t>(r);
        sawAnything = true;
    }
    return true;
}

bool TlsStream::write(const std::uint8_t* data, std::size_t n)
{
    if (m_steppedAside)
        return m_plain.write(data, n);
    return n == 0 || SSL_write(m_ssl, data, static_cast<int>(n)) == static_cast<int>(n);
}

void TlsStream::packetRead()
{
    // The login packet was the only encrypted one; the session is dropped without a close
    // notification, as the client drops its own.
    if (m_use == TlsUse::LoginOnly)
        m_steppedAside = true;
}

} // namespace tds
