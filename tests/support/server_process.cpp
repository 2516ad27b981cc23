#include "support/server_process.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace zelk::test {

std::string ReadFileOrEmpty(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFileOrThrow(const std::string& path, const std::string& text, mode_t mode) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out || ::chmod(path.c_str(), mode) != 0) throw std::runtime_error("cannot write " + path);
}

std::string LastLines(const std::string& path, std::size_t count) {
  std::istringstream log(ReadFileOrEmpty(path));
  std::deque<std::string> tail;
  std::string line;
  while (std::getline(log, line)) {
    tail.push_back(line);
    if (tail.size() > count) tail.pop_front();
  }
  std::string text;
  for (const std::string& kept : tail) text += kept + "\n";
  return text;
}

std::vector<int> PickFreePorts(std::size_t count) {
  // Every socket stays bound until all are picked, so the ports differ.
  std::vector<int> sockets;
  std::vector<int> ports;
  for (std::size_t i = 0; i < count; ++i) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) break;
    sockets.push_back(fd);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      break;
    }
    ports.push_back(ntohs(address.sin_port));
  }
  for (const int fd : sockets) ::close(fd);
  if (ports.size() != count) throw std::runtime_error("no free ports on 127.0.0.1");
  return ports;
}

socklen_t SocketAddressOf(const std::string& address, int port, sockaddr_storage& into) {
  into = {};
  auto& v6 = reinterpret_cast<sockaddr_in6&>(into);
  if (::inet_pton(AF_INET6, address.c_str(), &v6.sin6_addr) == 1) {
    v6.sin6_family = AF_INET6;
    v6.sin6_port = htons(static_cast<std::uint16_t>(port));
    return sizeof v6;
  }
  auto& v4 = reinterpret_cast<sockaddr_in&>(into);
  v4.sin_family = AF_INET;
  v4.sin_port = htons(static_cast<std::uint16_t>(port));
  if (::inet_pton(AF_INET, address.c_str(), &v4.sin_addr) != 1) throw std::runtime_error("not an address: " + address);
  return sizeof v4;
}

bool Ipv6LoopbackWorks() {
  sockaddr_storage here;
  const socklen_t length = SocketAddressOf("::1", 0, here);
  const int fd = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const bool works = ::bind(fd, reinterpret_cast<sockaddr*>(&here), length) == 0;
  ::close(fd);
  return works;
}

bool GreetingArrives(int port, std::string_view prefix, ServerClock::time_point deadline, std::string_view address) {
  sockaddr_storage to;
  const socklen_t length = SocketAddressOf(std::string(address), port, to);
  const int fd = ::socket(to.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  std::string line;
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&to), length) == 0) {
    char byte = 0;
    while (line.find('\n') == std::string::npos) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - ServerClock::now());
      pollfd readable{fd, POLLIN, 0};
      if (left.count() <= 0 || ::poll(&readable, 1, static_cast<int>(left.count())) <= 0) break;
      if (::read(fd, &byte, 1) != 1) break;
      line += byte;
    }
  }
  const bool greeted = line.find('\n') != std::string::npos && line.rfind(prefix, 0) == 0;
  if (greeted) ::send(fd, "QUIT\r\n", 6, MSG_NOSIGNAL);
  ::close(fd);
  return greeted;
}

namespace {

// Fields of /proc/PID/stat after the command name, which may itself hold spaces and ")".
std::istringstream StatFieldsAfterName(const std::string& stat) {
  const auto close = stat.rfind(')');
  return std::istringstream(close == std::string::npos ? std::string() : stat.substr(close + 1));
}

}  // namespace

bool ProcessRunning(pid_t pid) {
  std::istringstream fields = StatFieldsAfterName(ReadFileOrEmpty("/proc/" + std::to_string(pid) + "/stat"));
  char state = 0;
  return static_cast<bool>(fields >> state) && state != 'Z' && state != 'X';
}

bool WaitForExit(pid_t pid, std::chrono::milliseconds timeout) {
  const auto deadline = ServerClock::now() + timeout;
  while (ProcessRunning(pid)) {
    if (ServerClock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

bool GroupRunning(pid_t group) {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
    const std::string name = entry.path().filename().string();
    if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::istringstream fields = StatFieldsAfterName(ReadFileOrEmpty(entry.path().string() + "/stat"));
    char state = 0;
    pid_t parent = 0;
    pid_t processGroup = 0;
    if (fields >> state >> parent >> processGroup && processGroup == group && state != 'Z' && state != 'X') {
      return true;
    }
  }
  return false;
}

}  // namespace zelk::test
