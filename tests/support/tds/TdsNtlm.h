// Windows logins of the test TDS server: the server's side of NTLM inside TDS. The client's LOGIN7
// carries a NEGOTIATE message, the server answers with a CHALLENGE in an SSPI token, and the
// client's AUTHENTICATE (an SSPI packet) is checked as a domain controller checks an NTLMv2
// response: NTOWFv2 from the account's password, HMAC-MD5 over the server challenge and the
// client's blob. NTLMv1 and LM responses are refused, as by a domain that requires NTLMv2.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tds {

struct WindowsAccount
{
    std::string domain; // NetBIOS name, compared without regard to ASCII case
    std::string user;   // compared without regard to ASCII case
    std::string password;
};

// Whether account is the one a message names (domain and user without regard to ASCII case).
bool MatchesAccount(const WindowsAccount& account, std::string_view domain, std::string_view user);

// "DOMAIN\user:password"; nullopt when the text has no backslash, no colon or an empty part.
std::optional<WindowsAccount> ParseWindowsAccount(std::string_view text);

using ServerChallenge = std::array<std::uint8_t, 8>;

// True when bytes are an NTLM NEGOTIATE message (signature and type 1).
bool IsNtlmNegotiate(const std::vector<std::uint8_t>& bytes);

// The CHALLENGE message for domain (its NetBIOS name) and this computer, with the target
// information a Windows server sends (NetBIOS and DNS names, timestamp).
std::vector<std::uint8_t> NtlmChallengeMessage(const ServerChallenge& challenge, std::string_view domain,
                                               std::string_view computer);

struct NtlmAuthenticate
{
    std::string domain; // UTF-8
    std::string user;
    std::string workstation;
    std::vector<std::uint8_t> lmResponse;
    std::vector<std::uint8_t> ntResponse;
};

// Throws ProtocolError when bytes are no AUTHENTICATE message or a field lies outside it.
NtlmAuthenticate ParseNtlmAuthenticate(const std::vector<std::uint8_t>& bytes);

// NTOWFv2: HMAC-MD5 keyed with the MD4 of the UTF-16LE password over UTF-16LE(upper(user) + domain).
std::array<std::uint8_t, 16> NtOwfV2(std::string_view password, std::string_view user,
                                     std::string_view domain);

// True when message holds an NTLMv2 response to challenge made with password (user and domain as
// the message spells them).
bool VerifyNtlmV2(const NtlmAuthenticate& message, const ServerChallenge& challenge,
                  std::string_view password);

// Fresh random bytes for a challenge.
ServerChallenge NewServerChallenge();

} // namespace tds
