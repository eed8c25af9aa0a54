// The SQL Server Browser side of the test server: the answer to one datagram a client sends to UDP
// port 1434 to find an instance's TCP port.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tds {

// The SVR_RESP datagram for request, or nothing when a Browser stays silent: for an unknown
// instance, a request it does not know, or a malformed one. A unicast or broadcast enumeration
// names every instance; an instance request names only that one (compared without regard to case).
std::vector<std::uint8_t> BrowserAnswer(const std::uint8_t* request, std::size_t bytes,
                                        const std::vector<std::string>& instances,
                                        std::string_view serverName, int tcpPort);

} // namespace tds
