// TLS for the test TDS server, the way SQL Server does it: the handshake travels as the payload of
// PRELOGIN packets, then either only the first LOGIN7 packet goes through TLS (the client and the
// server both said ENCRYPT_OFF) or every packet after the handshake does. The certificate is a
// self-signed one made when the server starts, so nothing secret is ever stored.
#pragma once

#include "TdsWire.h"

#include <cstdint>
#include <memory>
#include <string>

typedef struct ssl_ctx_st SSL_CTX;
typedef struct ssl_st SSL;

namespace tds {

enum class EncryptionMode
{
    NotSupported, // as servers without a certificate (and before 2005) answer
    Offered,      // every SQL Server since 2005
    Required      // "Force Encryption" on the server
};

enum class TlsUse
{
    None,
    LoginOnly,
    Full
};

struct EncryptionAnswer
{
    std::uint8_t reply = Encrypt::NotSupported; // the ENCRYPTION value of the PRELOGIN reply
    TlsUse tls = TlsUse::None;
    bool close = false; // the server ends the connection after the reply
};

// The server's side of the ENCRYPTION negotiation for a client's value.
EncryptionAnswer NegotiateEncryption(EncryptionMode mode, std::uint8_t client);

// A key pair and a self-signed certificate for hostName (also valid for 127.0.0.1), and the
// OpenSSL context that serves it. Throws std::runtime_error when OpenSSL fails.
class TlsContext
{
public:
    explicit TlsContext(const std::string& hostName);
    ~TlsContext();
    TlsContext(const TlsContext&) = delete;
    TlsContext& operator=(const TlsContext&) = delete;

    // The certificate in PEM, for a client to trust as its CA file.
    const std::string& certificatePem() const { return m_pem; }
    SSL_CTX* context() const { return m_ctx; }

private:
    SSL_CTX* m_ctx = nullptr;
    std::string m_pem;
};

// A TLS session over a plain stream. handshake() runs it inside PRELOGIN messages; after that
// the session reads and writes TLS records on the socket directly. With TlsUse::LoginOnly it
// steps aside after the first packet read, and the stream is plain again.
class TlsStream : public Stream
{
public:
    TlsStream(const TlsContext& context, SocketStream& plain, TlsUse use);
    ~TlsStream() override;
    TlsStream(const TlsStream&) = delete;
    TlsStream& operator=(const TlsStream&) = delete;

    // Throws ProtocolError when the client breaks off or sends something other than PRELOGIN.
    void handshake(std::size_t maxBytes);

    bool read(std::uint8_t* out, std::size_t n, bool& sawAnything) override;
    bool write(const std::uint8_t* data, std::size_t n) override;
    void packetRead() override;

private:
    SocketStream& m_plain;
    TlsUse m_use;
    SSL* m_ssl = nullptr;
    bool m_steppedAside = false;
};

} // namespace tds
