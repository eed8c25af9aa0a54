#include "TdsBrowser.h"

#include <strings.h>

namespace tds {

namespace {

constexpr std::uint8_t kClientBroadcastEx = 0x02;
constexpr std::uint8_t kClientUnicastEx = 0x03;
constexpr std::uint8_t kClientUnicastInstance = 0x04;
constexpr std::uint8_t kServerResponse = 0x05;
constexpr std::size_t kMaxInstanceNameBytes = 32;

std::string describe(std::string_view serverName, const std::string& instance, int tcpPort)
{
    return "ServerName;" + std::string(serverName) + ";InstanceName;" + instance +
           ";IsClustered;No;Version;15.0.2000.5;tcp;" + std::to_string(tcpPort) + ";;";
}

} // namespace

std::vector<std::uint8_t> BrowserAnswer(const std::uint8_t* request, std::size_t bytes,
                                        const std::vector<std::string>& instances,
                                        std::string_view serverName, int tcpPort)
{
    if (bytes == 0)
        return {};
    std::string text;
    if ((request[0] == kClientBroadcastEx || request[0] == kClientUnicastEx) && bytes == 1) {
        for (const std::string& instance : instances)
            text += describe(serverName, instance, tcpPort);
    } else if (request[0] == kClientUnicastInstance) {
        // The name ends at its NUL; some clients leave the NUL out.
        std::string name(reinterpret_cast<const char*>(request + 1), bytes - 1);
        if (const std::size_t nul = name.find('\0'); nul != std::string::npos)
            name.resize(nul);
        if (name.empty() || name.size() > kMaxInstanceNameBytes)
            return {};
        for (const std::string& instance : instances)
            if (strcasecmp(instance.c_str(), name.c_str()) == 0)
                text = describe(serverName, instance, tcpPort);
    }
    if (text.empty() || text.size() > 0xFFFF)
        return {};
    std::vector<std::uint8_t> answer = {kServerResponse, static_cast<std::uint8_t>(text.size()),
                                        static_cast<std::uint8_t>(text.size() >> 8)};
    answer.insert(answer.end(), text.begin(), text.end());
    return answer;
}

} // namespace tds
