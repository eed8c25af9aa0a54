// The byte level of the test TDS server: packets on a socket, a bounds-checked reader for client
// messages, the LOGIN7 record, and a writer for the reply tokens the FreeTDS driver understands.
// Everything here is plain data in, bytes out; the SQL side lives in TdsSession.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tds {

// Thrown on any client message that does not parse; the connection that sent it is closed.
struct ProtocolError : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

namespace PacketType {
inline constexpr std::uint8_t SqlBatch = 0x01;
inline constexpr std::uint8_t Rpc = 0x03;
inline constexpr std::uint8_t Reply = 0x04;
inline constexpr std::uint8_t Attention = 0x06;
inline constexpr std::uint8_t Login7 = 0x10;
inline constexpr std::uint8_t Sspi = 0x11; // the client's next SSPI message in a Windows login
inline constexpr std::uint8_t TransactionManager = 0x0E;
inline constexpr std::uint8_t PreLogin = 0x12;
} // namespace PacketType

namespace DoneStatus {
inline constexpr std::uint16_t Final = 0x00;
inline constexpr std::uint16_t More = 0x01;
inline constexpr std::uint16_t Error = 0x02;
inline constexpr std::uint16_t Count = 0x10;
inline constexpr std::uint16_t Attention = 0x20;
} // namespace DoneStatus

namespace Token {
inline constexpr std::uint8_t ReturnStatus = 0x79;
inline constexpr std::uint8_t ColMetadata = 0x81;
inline constexpr std::uint8_t Error = 0xAA;
inline constexpr std::uint8_t Info = 0xAB;
inline constexpr std::uint8_t ReturnValue = 0xAC;
inline constexpr std::uint8_t LoginAck = 0xAD;
inline constexpr std::uint8_t Row = 0xD1;
inline constexpr std::uint8_t EnvChange = 0xE3;
inline constexpr std::uint8_t Sspi = 0xED;
inline constexpr std::uint8_t Done = 0xFD;
inline constexpr std::uint8_t DoneProc = 0xFE;
inline constexpr std::uint8_t DoneInProc = 0xFF;
} // namespace Token

std::string Utf16LeToUtf8(const std::uint8_t* data, std::size_t bytes);
std::u16string Utf8ToUtf16(std::string_view text);

// One client message: the packets up to the one flagged end-of-message, joined.
struct Message
{
    std::uint8_t type = 0;
    std::vector<std::uint8_t> payload;
};

// What packets travel over: the socket itself, or a TLS session on it (TdsTls.h).
class Stream
{
public:
    virtual ~Stream() = default;
    // False when the stream ends before n bytes came; sawAnything tells whether any did.
    virtual bool read(std::uint8_t* out, std::size_t n, bool& sawAnything) = 0;
    // False when the peer is gone.
    virtual bool write(const std::uint8_t* data, std::size_t n) = 0;
    // Told after every whole packet read, as a login-only TLS session ends after one.
    virtual void packetRead() {}
};

class SocketStream : public Stream
{
public:
    explicit SocketStream(int fd) : m_fd(fd) {}
    int fd() const { return m_fd; }
    bool read(std::uint8_t* out, std::size_t n, bool& sawAnything) override;
    bool write(const std::uint8_t* data, std::size_t n) override;

private:
    int m_fd;
};

// False on a clean end of the stream before a message starts; throws ProtocolError on a broken
// header, a stream cut inside a packet or a message beyond maxBytes.
bool ReadMessage(Stream& stream, Message& message, std::size_t maxBytes);
bool ReadMessage(int fd, Message& message, std::size_t maxBytes);
// Splits payload into packets of the given type of at most packetSize bytes (header included).
// False when the peer is gone.
bool SendMessage(Stream& stream, const std::vector<std::uint8_t>& payload, std::size_t packetSize,
                 std::uint8_t type = PacketType::Reply);
bool SendMessage(int fd, const std::vector<std::uint8_t>& payload, std::size_t packetSize);

class Reader
{
public:
    Reader(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    explicit Reader(const std::vector<std::uint8_t>& bytes) : Reader(bytes.data(), bytes.size()) {}

    std::size_t remaining() const { return m_size - m_pos; }
    std::size_t position() const { return m_pos; }
    std::uint8_t peek() const;
    std::uint8_t u8();
    std::uint16_t u16();
    std::uint32_t u32();
    std::uint64_t u64();
    const std::uint8_t* take(std::size_t n);
    std::string utf16(std::size_t chars) { return Utf16LeToUtf8(take(chars * 2), chars * 2); }
    // The ALL_HEADERS block that leads batches, RPCs and transaction requests.
    void skipAllHeaders();

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

struct Login7
{
    std::uint32_t packetSize = 4096;
    std::string user;
    std::string password;
    std::string database;
    // fIntSecurity: a Windows login, whose SSPI data (here an NTLM NEGOTIATE) replaces user and
    // password.
    bool integratedSecurity = false;
    std::vector<std::uint8_t> sspi;
};
Login7 ParseLogin7(const std::vector<std::uint8_t>& payload);

// The ENCRYPTION values of PRELOGIN.
namespace Encrypt {
inline constexpr std::uint8_t Off = 0x00;
inline constexpr std::uint8_t On = 0x01;
inline constexpr std::uint8_t NotSupported = 0x02;
inline constexpr std::uint8_t Required = 0x03;
} // namespace Encrypt

// The ENCRYPTION option of a client's PRELOGIN (without the client-certificate bit); throws
// ProtocolError on a broken option table, NotSupported when the option is absent.
std::uint8_t PreLoginEncryption(const std::vector<std::uint8_t>& payload);
// The reply to PRELOGIN: VERSION, ENCRYPTION, INSTOPT, THREADID and MARS, as SQL Server sends them.
std::vector<std::uint8_t> PreLoginReply(std::uint8_t encryption = Encrypt::NotSupported);

// A result value as SQLite hands it over; text is UTF-8.
struct Value
{
    enum Kind
    {
        Null,
        Integer,
        Real,
        Text,
        Blob
    };
    Kind kind = Null;
    std::int64_t integer = 0;
    double real = 0;
    std::string bytes; // Text and Blob
};

enum class ColumnType
{
    Int1,        // INTN(1): tinyint
    Int2,        // INTN(2): smallint
    Bit,         // BITN(1)
    Int4,        // INTN(4)
    Int8,        // INTN(8)
    Float8,      // FLTN(8)
    NVarChar,    // NVARCHAR(maxChars); longer texts are cut to maxChars UTF-16 units
    NVarCharMax, // NVARCHAR(MAX): whole texts of any length, as PLP chunks
    VarBinary,   // VARBINARY(8000)
    VarBinaryMax // VARBINARY(MAX): whole values of any length, as PLP chunks
};

struct ResultColumn
{
    std::string name;
    ColumnType type = ColumnType::NVarChar;
    std::uint16_t maxChars = 4000; // NVarChar: the declared length (sysname: 128)
};

struct ResultSet
{
    std::vector<ResultColumn> columns;
    std::vector<std::vector<Value>> rows;
};

// Appends reply tokens to one message.
class TokenWriter
{
public:
    const std::vector<std::uint8_t>& bytes() const { return m_buf; }
    bool empty() const { return m_buf.empty(); }

    void u8(std::uint8_t v) { m_buf.push_back(v); }
    void u16(std::uint16_t v);
    void u32(std::uint32_t v);
    void u64(std::uint64_t v);
    void raw(const void* data, std::size_t n);
    void bVarChar(std::string_view utf8);  // BYTE length in characters + UTF-16LE
    void usVarChar(std::string_view utf8); // USHORT length in characters + UTF-16LE

    void envChange(std::uint8_t type, std::string_view newValue, std::string_view oldValue);
    void envChangeCollation();
    void message(bool error, std::int32_t number, std::uint8_t state, std::uint8_t severity,
                 std::string_view text);
    void loginAck();
    void done(std::uint8_t token, std::uint16_t status, std::uint16_t command, std::uint64_t rows);
    void returnStatus(std::int32_t value);
    void returnIntValue(std::int32_t value); // an output INT parameter at ordinal 0
    void resultSet(const ResultSet& result);

private:
    std::vector<std::uint8_t> m_buf;
};

} // namespace tds
