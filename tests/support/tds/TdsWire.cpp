#include "TdsWire.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>

#include <sys/socket.h>
#include <unistd.h>

namespace tds {

namespace {

// Latin1_General, case- and accent-blind, with the UTF-8 flag: the driver then sends bound VARCHAR
// parameters as UTF-8 instead of refusing every character outside one code page.
constexpr std::uint8_t kUtf8Collation[5] = {0x09, 0x04, 0xD0, 0x24, 0x00};
constexpr std::size_t kHeaderSize = 8;
constexpr std::size_t kMaxTextUnits = 4000;
constexpr std::size_t kMaxBinaryBytes = 8000;
// SQL Server sends a (max) value in chunks of up to a packet's payload; any even size will do.
constexpr std::size_t kPlpChunkBytes = 8000;

bool readExactly(int fd, std::uint8_t* out, std::size_t n, bool& sawAnything)
{
    std::size_t got = 0;
    while (got < n) {
        const ssize_t r = ::recv(fd, out + got, n - got, 0);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return false;
        got += static_cast<std::size_t>(r);
        sawAnything = true;
    }
    return true;
}

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// At most maxUnits UTF-16 units, never ending inside a surrogate pair.
std::u16string clippedUtf16(std::string_view utf8, std::size_t maxUnits)
{
    std::u16string s = Utf8ToUtf16(utf8);
    if (s.size() > maxUnits) {
        std::size_t n = maxUnits;
        if (n > 0 && s[n - 1] >= 0xD800 && s[n - 1] < 0xDC00)
            --n;
        s.resize(n);
    }
    return s;
}

} // namespace

std::string Utf16LeToUtf8(const std::uint8_t* data, std::size_t bytes)
{
    std::string out;
    out.reserve(bytes / 2);
    for (std::size_t i = 0; i + 1 < bytes; i += 2) {
        char32_t c = static_cast<char32_t>(data[i] | (data[i + 1] << 8));
        if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes) {
            const char32_t low = static_cast<char32_t>(data[i + 2] | (data[i + 3] << 8));
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        appendUtf8(out, c);
    }
    return out;
}

std::u16string Utf8ToUtf16(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        char32_t c = 0xFFFD;
        std::size_t len = 1;
        if (b < 0x80) {
            c = b;
        } else if ((b & 0xE0) == 0xC0) {
            len = 2;
        } else if ((b & 0xF0) == 0xE0) {
            len = 3;
        } else if ((b & 0xF8) == 0xF0) {
            len = 4;
        }
        if (len > 1) {
            if (i + len > text.size()) {
                len = 1;
            } else {
                c = b & (0x7F >> len);
                for (std::size_t k = 1; k < len; ++k)
                    c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
            }
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
        i += len;
    }
    return out;
}

bool SocketStream::read(std::uint8_t* out, std::size_t n, bool& sawAnything)
{
    return readExactly(m_fd, out, n, sawAnything);
}

bool SocketStream::write(const std::uint8_t* data, std::size_t n)
{
    std::size_t sent = 0;
    while (sent < n) {
        const ssize_t w = ::send(m_fd, data + sent, n - sent, MSG_NOSIGNAL);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return false;
        sent += static_cast<std::size_t>(w);
    }
    return true;
}

bool ReadMessage(Stream& stream, Message& message, std::size_t maxBytes)
{
    message.payload.clear();
    bool sawAnything = false;
    // A message cannot take more packets than bytes; the limit keeps a hostile stream finite.
    for (std::size_t packets = 0; packets <= maxBytes; ++packets) {
        std::uint8_t header[kHeaderSize];
        if (!stream.read(header, kHeaderSize, sawAnything)) {
            if (!sawAnything)
                return false;
            throw ProtocolError("stream ended inside a message");
        }
        const std::size_t length = (std::size_t(header[2]) << 8) | header[3];
        if (length < kHeaderSize)
            throw ProtocolError("packet length below the header size");
        if (packets == 0)
            message.type = header[0];
        const std::size_t before = message.payload.size();
        if (before + length - kHeaderSize > maxBytes)
            throw ProtocolError("message too long");
        message.payload.resize(before + length - kHeaderSize);
        if (!stream.read(message.payload.data() + before, length - kHeaderSize, sawAnything))
            throw ProtocolError("stream ended inside a packet");
        stream.packetRead();
        if (header[1] & 0x01)
            return true;
    }
    throw ProtocolError("too many packets");
}

bool ReadMessage(int fd, Message& message, std::size_t maxBytes)
{
    SocketStream stream(fd);
    return ReadMessage(stream, message, maxBytes);
}

bool SendMessage(Stream& stream, const std::vector<std::uint8_t>& payload, std::size_t packetSize,
                 std::uint8_t type)
{
    const std::size_t chunk = packetSize - kHeaderSize;
    std::size_t offset = 0;
    std::uint8_t packetId = 1;
    do {
        const std::size_t n = std::min(chunk, payload.size() - offset);
        const bool last = offset + n == payload.size();
        std::vector<std::uint8_t> packet(kHeaderSize + n);
        packet[0] = type;
        packet[1] = last ? 0x01 : 0x00;
        packet[2] = static_cast<std::uint8_t>((n + kHeaderSize) >> 8);
        packet[3] = static_cast<std::uint8_t>(n + kHeaderSize);
        packet[6] = packetId++;
        std::copy_n(payload.begin() + static_cast<std::ptrdiff_t>(offset), n, packet.begin() + kHeaderSize);
        if (!stream.write(packet.data(), packet.size()))
            return false;
        offset += n;
    } while (offset < payload.size());
    return true;
}

bool SendMessage(int fd, const std::vector<std::uint8_t>& payload, std::size_t packetSize)
{
    SocketStream stream(fd);
    return SendMessage(stream, payload, packetSize);
}

std::uint8_t Reader::peek() const
{
    if (m_pos >= m_size)
        throw ProtocolError("message ends early");
    return m_data[m_pos];
}

const std::uint8_t* Reader::take(std::size_t n)
{
    if (n > m_size - m_pos)
        throw ProtocolError("message ends early");
    const std::uint8_t* p = m_data + m_pos;
    m_pos += n;
    return p;
}

std::uint8_t Reader::u8()
{
    return *take(1);
}

std::uint16_t Reader::u16()
{
    const std::uint8_t* p = take(2);
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t Reader::u32()
{
    const std::uint8_t* p = take(4);
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}

std::uint64_t Reader::u64()
{
    const std::uint64_t low = u32();
    return low | (std::uint64_t(u32()) << 32);
}

void Reader::skipAllHeaders()
{
    const std::uint32_t total = u32();
    if (total < 4)
        throw ProtocolError("ALL_HEADERS shorter than its length field");
    take(total - 4);
}

Login7 ParseLogin7(const std::vector<std::uint8_t>& payload)
{
    constexpr std::size_t kFixedPart = 94;
    if (payload.size() < kFixedPart)
        throw ProtocolError("LOGIN7 shorter than its fixed part");
    Reader r(payload);
    r.take(8);
    Login7 login;
    login.packetSize = r.u32();
    // Offsets and lengths (in characters) of the strings, counted from the start of LOGIN7.
    auto text = [&](std::size_t fieldOffset, bool password) {
        Reader field(payload.data() + fieldOffset, 4);
        const std::size_t off = field.u16();
        const std::size_t chars = field.u16();
        Reader s(payload);
        s.take(off);
        const std::uint8_t* p = s.take(chars * 2);
        if (!password)
            return Utf16LeToUtf8(p, chars * 2);
        std::vector<std::uint8_t> plain(p, p + chars * 2);
        for (auto& b : plain) {
            const std::uint8_t e = b ^ 0xA5;
            b = static_cast<std::uint8_t>((e << 4) | (e >> 4));
        }
        return Utf16LeToUtf8(plain.data(), plain.size());
    };
    login.user = text(40, false);
    login.password = text(44, true);
    login.database = text(68, false);
    login.integratedSecurity = (payload[25] & 0x80) != 0;
    if (login.integratedSecurity) {
        Reader field(payload.data() + 78, 4);
        const std::size_t off = field.u16();
        std::size_t bytes = field.u16();
        // A length of 0xFFFF says the real one is in cbSSPILong.
        if (bytes == 0xFFFF)
            bytes = Reader(payload.data() + 90, 4).u32();
        Reader s(payload);
        s.take(off);
        const std::uint8_t* p = s.take(bytes);
        login.sspi.assign(p, p + bytes);
    }
    return login;
}

std::uint8_t PreLoginEncryption(const std::vector<std::uint8_t>& payload)
{
    // Option table: token, USHORT offset and USHORT length (big-endian), up to the FF terminator.
    for (std::size_t at = 0;; at += 5) {
        if (at >= payload.size())
            throw ProtocolError("PRELOGIN without terminator");
        if (payload[at] == 0xFF)
            return Encrypt::NotSupported;
        if (at + 5 > payload.size())
            throw ProtocolError("PRELOGIN option table cut short");
        const std::size_t offset = (std::size_t(payload[at + 1]) << 8) | payload[at + 2];
        const std::size_t length = (std::size_t(payload[at + 3]) << 8) | payload[at + 4];
        if (offset + length > payload.size())
            throw ProtocolError("PRELOGIN option beyond the message");
        if (payload[at] == 0x01) {
            if (length < 1)
                throw ProtocolError("empty PRELOGIN ENCRYPTION option");
            // 0x80 asks for a client certificate, which is never offered here.
            return payload[offset] & 0x7F;
        }
    }
}

std::vector<std::uint8_t> PreLoginReply(std::uint8_t encryption)
{
    // Five options of 5 bytes and the terminator, then their data: VERSION 15.0.2000 subbuild 0,
    // ENCRYPTION, INSTOPT 0 (the instance named matched), an empty THREADID and MARS off.
    return {0x00, 0x00, 0x1A, 0x00, 0x06, 0x01, 0x00, 0x20, 0x00,       0x01, 0x02, 0x00,
            0x21, 0x00, 0x01, 0x03, 0x00, 0x22, 0x00, 0x00, 0x04,       0x00, 0x22, 0x00,
            0x01, 0xFF, 0x0F, 0x00, 0x07, 0xD0, 0x00, 0x00, encryption, 0x00, 0x00};
}

void TokenWriter::u16(std::uint16_t v)
{
    u8(static_cast<std::uint8_t>(v));
    u8(static_cast<std::uint8_t>(v >> 8));
}

void TokenWriter::u32(std::uint32_t v)
{
    u16(static_cast<std::uint16_t>(v));
    u16(static_cast<std::uint16_t>(v >> 16));
}

void TokenWriter::u64(std::uint64_t v)
{
    u32(static_cast<std::uint32_t>(v));
    u32(static_cast<std::uint32_t>(v >> 32));
}

void TokenWriter::raw(const void* data, std::size_t n)
{
    const auto* p = static_cast<const std::uint8_t*>(data);
    m_buf.insert(m_buf.end(), p, p + n);
}

void TokenWriter::bVarChar(std::string_view utf8)
{
    const std::u16string s = clippedUtf16(utf8, 255);
    u8(static_cast<std::uint8_t>(s.size()));
    for (char16_t c : s)
        u16(c);
}

void TokenWriter::usVarChar(std::string_view utf8)
{
    const std::u16string s = clippedUtf16(utf8, 0xFFFF);
    u16(static_cast<std::uint16_t>(s.size()));
    for (char16_t c : s)
        u16(c);
}

// The tokens below carry a USHORT length of what follows; it is patched in once the body is written.
namespace {
struct LengthPatch
{
    std::vector<std::uint8_t>& buf;
    std::size_t at;
    explicit LengthPatch(std::vector<std::uint8_t>& b) : buf(b), at(b.size()) { b.resize(b.size() + 2); }
    ~LengthPatch()
    {
        const std::size_t n = buf.size() - at - 2;
        buf[at] = static_cast<std::uint8_t>(n);
        buf[at + 1] = static_cast<std::uint8_t>(n >> 8);
    }
};
} // namespace

void TokenWriter::envChange(std::uint8_t type, std::string_view newValue, std::string_view oldValue)
{
    u8(Token::EnvChange);
    LengthPatch len(m_buf);
    u8(type);
    bVarChar(newValue);
    bVarChar(oldValue);
}

void TokenWriter::envChangeCollation()
{
    u8(Token::EnvChange);
    LengthPatch len(m_buf);
    u8(7);
    u8(sizeof kUtf8Collation);
    raw(kUtf8Collation, sizeof kUtf8Collation);
    u8(0);
}

void TokenWriter::message(bool error, std::int32_t number, std::uint8_t state, std::uint8_t severity,
                          std::string_view text)
{
    u8(error ? Token::Error : Token::Info);
    LengthPatch len(m_buf);
    u32(static_cast<std::uint32_t>(number));
    u8(state);
    u8(severity);
    usVarChar(text);
    bVarChar("ORVANE-TDS");
    bVarChar("");
    u32(1);
}

void TokenWriter::loginAck()
{
    u8(Token::LoginAck);
    LengthPatch len(m_buf);
    u8(1);
    const std::uint8_t tdsVersion[4] = {0x74, 0x00, 0x00, 0x04};
    raw(tdsVersion, 4);
    // The driver reports this as the DBMS name; Qt's ODBC driver takes its SQL Server paths on it
    // (it sends one extra cursor request on open).
    bVarChar("Microsoft SQL Server");
    const std::uint8_t version[4] = {0x0F, 0x00, 0x07, 0xD0};
    raw(version, 4);
}

void TokenWriter::done(std::uint8_t token, std::uint16_t status, std::uint16_t command, std::uint64_t rows)
{
    u8(token);
    u16(status);
    u16(command);
    u64(rows);
}

void TokenWriter::returnStatus(std::int32_t value)
{
    u8(Token::ReturnStatus);
    u32(static_cast<std::uint32_t>(value));
}

void TokenWriter::returnIntValue(std::int32_t value)
{
    u8(Token::ReturnValue);
    u16(0);       // ordinal
    bVarChar(""); // name
    u8(0x01);     // output parameter
    u32(0);       // user type
    u16(0);       // flags
    u8(0x26);
    u8(4);
    u8(4);
    u32(static_cast<std::uint32_t>(value));
}

void TokenWriter::resultSet(const ResultSet& result)
{
    u8(Token::ColMetadata);
    u16(static_cast<std::uint16_t>(result.columns.size()));
    for (const ResultColumn& c : result.columns) {
        u32(0);      // user type
        u16(0x0009); // nullable, updatability unknown
        switch (c.type) {
        case ColumnType::Int1:
            u8(0x26), u8(1);
            break;
        case ColumnType::Int2:
            u8(0x26), u8(2);
            break;
        case ColumnType::Bit:
            u8(0x68), u8(1);
            break;
        case ColumnType::Int4:
            u8(0x26), u8(4);
            break;
        case ColumnType::Int8:
            u8(0x26), u8(8);
            break;
        case ColumnType::Float8:
            u8(0x6D), u8(8);
            break;
        case ColumnType::NVarChar:
            u8(0xE7), u16(static_cast<std::uint16_t>(std::min<std::size_t>(c.maxChars, kMaxTextUnits) * 2)),
                raw(kUtf8Collation, sizeof kUtf8Collation);
            break;
        case ColumnType::NVarCharMax:
            u8(0xE7), u16(0xFFFF), raw(kUtf8Collation, sizeof kUtf8Collation);
            break;
        case ColumnType::VarBinary:
            u8(0xA5), u16(kMaxBinaryBytes);
            break;
        case ColumnType::VarBinaryMax:
            u8(0xA5), u16(0xFFFF);
            break;
        }
        bVarChar(c.name);
    }
    for (const auto& row : result.rows) {
        u8(Token::Row);
        for (std::size_t i = 0; i < result.columns.size(); ++i) {
            const Value& v = row[i];
            switch (result.columns[i].type) {
            case ColumnType::Int1:
            case ColumnType::Bit:
                if (v.kind == Value::Null)
                    u8(0);
                else
                    u8(1), u8(static_cast<std::uint8_t>(v.integer));
                break;
            case ColumnType::Int2:
                if (v.kind == Value::Null)
                    u8(0);
                else
                    u8(2), u16(static_cast<std::uint16_t>(v.integer));
                break;
            case ColumnType::Int4:
            case ColumnType::Int8:
                if (v.kind == Value::Null) {
                    u8(0);
                } else if (result.columns[i].type == ColumnType::Int4) {
                    u8(4), u32(static_cast<std::uint32_t>(v.integer));
                } else {
                    u8(8), u64(static_cast<std::uint64_t>(v.integer));
                }
                break;
            case ColumnType::Float8:
                if (v.kind == Value::Null) {
                    u8(0);
                } else {
                    const double d = v.kind == Value::Integer ? double(v.integer) : v.real;
                    u8(8), u64(std::bit_cast<std::uint64_t>(d));
                }
                break;
            case ColumnType::NVarChar: {
                if (v.kind == Value::Null) {
                    u16(0xFFFF);
                    break;
                }
                // Numbers in a text column arrive already written out by the session.
                const std::u16string s =
                    clippedUtf16(v.bytes, std::min<std::size_t>(result.columns[i].maxChars, kMaxTextUnits));
                u16(static_cast<std::uint16_t>(s.size() * 2));
                for (char16_t c : s)
                    u16(c);
                break;
            }
            case ColumnType::NVarCharMax:
            case ColumnType::VarBinaryMax: {
                // PLP: the total length in bytes (all ones: NULL), the chunks, an empty chunk.
                if (v.kind == Value::Null) {
                    u64(~std::uint64_t(0));
                    break;
                }
                std::string data;
                if (result.columns[i].type == ColumnType::VarBinaryMax) {
                    data = v.bytes;
                } else {
                    for (char16_t unit : Utf8ToUtf16(v.bytes))
                        data += static_cast<char>(unit & 0xFF), data += static_cast<char>(unit >> 8);
                }
                u64(data.size());
                for (std::size_t at = 0; at < data.size(); at += kPlpChunkBytes) {
                    const std::size_t n = std::min(kPlpChunkBytes, data.size() - at);
                    u32(static_cast<std::uint32_t>(n));
                    raw(data.data() + at, n);
                }
                u32(0);
                break;
            }
            case ColumnType::VarBinary:
                if (v.kind == Value::Null) {
                    u16(0xFFFF);
                } else {
                    const std::size_t n = std::min(v.bytes.size(), kMaxBinaryBytes);
                    u16(static_cast<std::uint16_t>(n));
                    raw(v.bytes.data(), n);
                }
                break;
            }
        }
    }
}

} // namespace tds
