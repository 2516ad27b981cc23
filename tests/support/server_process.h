#pragma once
#include <sys/socket.h>
#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// What the fixtures of real servers (Dovecot, Postfix) share: their files, free ports, the wait
// for a greeting, and watching their processes go.
namespace zelk::test {

using ServerClock = std::chrono::steady_clock;

// The file's bytes; empty when it cannot be read (a log not written yet).
std::string ReadFileOrEmpty(const std::string& path);
// Writes the whole file and gives it `mode`; throws std::runtime_error naming the file.
void WriteFileOrThrow(const std::string& path, const std::string& text, mode_t mode);
// The last `count` lines of a file, for failure messages.
std::string LastLines(const std::string& path, std::size_t count);

// `count` different ports on 127.0.0.1 that were free a moment ago. Another process may take one
// before the server binds it; the caller then tries again with new ones. Throws when there are
// none.
std::vector<int> PickFreePorts(std::size_t count);

// The socket address of `address` ("127.0.0.1", "::1", ...) and `port`; its length. Throws
// std::runtime_error for anything but an address.
socklen_t SocketAddressOf(const std::string& address, int port, sockaddr_storage& into);

// Whether a socket can listen on ::1 here (some containers run without IPv6).
bool Ipv6LoopbackWorks();

// Whether a connection to `address` (127.0.0.1 or ::1):`port` gets a first line beginning with `prefix` before
// `deadline`; a server that greeted is told "QUIT".
bool GreetingArrives(int port, std::string_view prefix, ServerClock::time_point deadline,
                     std::string_view address = "127.0.0.1");

// Whether the process exists and is no zombie (a daemon's zombie waits for init, not for us).
bool ProcessRunning(pid_t pid);
bool WaitForExit(pid_t pid, std::chrono::milliseconds timeout);
// Whether a process of process group `group` is still running (zombies left aside).
bool GroupRunning(pid_t group);

}  // namespace zelk::test
