#pragma once
#include <sys/socket.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zelk::net {

// One IPv4 or IPv6 address of a server.
struct IpAddress {
  int family = AF_INET;               // AF_INET or AF_INET6
  std::array<std::uint8_t, 16> bytes{};  // network order; IPv4 uses the first four

  friend bool operator==(const IpAddress&, const IpAddress&) = default;
};

// A server name written as an address ("192.0.2.7", "2001:db8::1", "::1"), or nothing for a
// host name. The unspecified addresses (0.0.0.0, ::) name no server and give nothing too.
std::optional<IpAddress> ParseIpLiteral(std::string_view text);

// The numeric form ParseIpLiteral reads back: what the address cache keeps.
std::string ToText(const IpAddress& address);

// The socket address for connect(): the address and the low 16 bits of `port`. Returns its length.
socklen_t ToSocketAddress(const IpAddress& address, int port, sockaddr_storage& into);

}  // namespace zelk::net
