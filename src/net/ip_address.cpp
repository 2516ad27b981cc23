#include "net/ip_address.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>
#include <cstring>

namespace zelk::net {

std::optional<IpAddress> ParseIpLiteral(std::string_view text) {
  // inet_pton reads a C string: a zero byte would silently shorten the name to another host's.
  if (text.empty() || text.size() >= INET6_ADDRSTRLEN || text.find('\0') != std::string_view::npos) return std::nullopt;
  const std::string name(text);
  IpAddress address;
  if (::inet_pton(AF_INET, name.c_str(), address.bytes.data()) == 1) {
    address.family = AF_INET;
  } else if (::inet_pton(AF_INET6, name.c_str(), address.bytes.data()) == 1) {
    address.family = AF_INET6;
  } else {
    return std::nullopt;
  }
  const std::size_t length = address.family == AF_INET ? 4 : 16;
  if (std::all_of(address.bytes.begin(), address.bytes.begin() + length, [](std::uint8_t b) { return b == 0; })) {
    return std::nullopt;
  }
  return address;
}

std::string ToText(const IpAddress& address) {
  char text[INET6_ADDRSTRLEN] = {};
  ::inet_ntop(address.family, address.bytes.data(), text, sizeof text);
  return text;
}

socklen_t ToSocketAddress(const IpAddress& address, int port, sockaddr_storage& into) {
  into = {};
  const auto network_port = htons(static_cast<std::uint16_t>(port & 0xFFFF));
  if (address.family == AF_INET6) {
    auto& v6 = reinterpret_cast<sockaddr_in6&>(into);
    v6.sin6_family = AF_INET6;
    v6.sin6_port = network_port;
    std::memcpy(&v6.sin6_addr, address.bytes.data(), 16);
    return sizeof v6;
  }
  auto& v4 = reinterpret_cast<sockaddr_in&>(into);
  v4.sin_family = AF_INET;
  v4.sin_port = network_port;
  std::memcpy(&v4.sin_addr, address.bytes.data(), 4);
  return sizeof v4;
}

}  // namespace zelk::net
