#include "net/transport.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <new>

#include "support/code_page_scope.h"
#include "support/scripted_server.h"

namespace zelk::net {
namespace {

using namespace std::string_literals;
using namespace std::chrono_literals;

// Records every line; answers stop for line number `stopAt` (counted from 0).
struct Recorder : LineSink {
  std::vector<std::string> lines;
  std::size_t stopAt = SIZE_MAX;
  bool LineReceived(std::string_view line) override {
    lines.emplace_back(line);
    return lines.size() != stopAt + 1;
  }
};

// A connected pair of local sockets. What the test writes into `peer` in one go arrives at `fd`
// in one read, so a test decides exactly where one read ends and the next begins.
struct SocketPair {
  int fd = -1;
  int peer = -1;
  explicit SocketPair(int type = SOCK_STREAM) {
    int both[2];
    if (::socketpair(AF_UNIX, type | SOCK_CLOEXEC, 0, both) == 0) fd = both[0], peer = both[1];
  }
  ~SocketPair() {
    if (fd >= 0) ::close(fd);
    if (peer >= 0) ::close(peer);
  }
  void Write(std::string_view bytes) const { ASSERT_EQ(::write(peer, bytes.data(), bytes.size()), ssize_t(bytes.size())); }
};

std::size_t OpenDescriptors() {
  return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}));
}

int Connect(const test::ScriptedServer& server) {
  platform::Text error;
  const int fd = OpenConnection(test::ScriptedServer::address(), server.port(), error);
  EXPECT_GE(fd, 0) << error;
  return fd;
}

// Polls like the driver does on readiness, until the transport reports anything but data.
PollResult ReceiveUntilEnd(int fd, LineTransport& transport, LineSink& sink) {
  for (;;) {
    pollfd wait{fd, POLLIN, 0};
    if (::poll(&wait, 1, 5000) != 1) return kPollNothing;
    if (const PollResult result = transport.PollReceive(fd, sink); result != kPollDelivered) return result;
  }
}

TEST(LineTransport, CutsLinesOnlyAtCrLfWhereverReadsEnd) {
  const struct {
    std::vector<std::string> reads;
    std::vector<std::string> lines;
    std::string pending;
  } cases[] = {
      {{"+OK ready\r\n"}, {"+OK ready"}, ""},       // a read that ends exactly with CR LF
      {{"+OK re", "ady\r\n"}, {"+OK ready"}, ""},
      {{"+OK ready\r", "\nnext"}, {"+OK ready"}, "next"},  // CR in one read, LF in the next
      {{"AB\nCD\r\n"}, {"AB\nCD"}, ""},                // a lone LF stays inside the line
      {{"a\rb\r\n"}, {"a\rb"}, ""},
      {{"x\r", "\r", "\n"}, {"x\r"}, ""},
      {{"\r\n\r\none\r\ntwo\r\nthr"}, {"", "", "one", "two"}, "thr"},
      {{"a\0b\r\nc\r\n"s}, {"a\0b"s, "c"}, ""},      // a zero byte is an ordinary byte
      {{"\0\0"s, "\r\n"}, {"\0\0"s}, ""},
  };
  for (const auto& c : cases) {
    SocketPair pair;
    LineTransport transport;
    Recorder sink;
    for (const std::string& read : c.reads) {
      pair.Write(read);
      EXPECT_EQ(transport.PollReceive(pair.fd, sink), kPollDelivered);
    }
    EXPECT_EQ(transport.PollReceive(pair.fd, sink), kPollNothing);
    EXPECT_EQ(sink.lines, c.lines) << c.reads[0];
    EXPECT_EQ(transport.pending(), c.pending) << c.reads[0];
  }
}

TEST(LineTransport, StopDropsTheRestOfTheReadAndKeepsTheEarlierCarryOver) {
  SocketPair pair;
  LineTransport transport;
  Recorder sink;
  sink.stopAt = 0;
  pair.Write("+OK ");
  ASSERT_EQ(transport.PollReceive(pair.fd, sink), kPollDelivered);
  pair.Write("one\r\ntwo\r\nthree\r\nfour");
  EXPECT_EQ(transport.PollReceive(pair.fd, sink), kPollDelivered);
  EXPECT_EQ(sink.lines, std::vector<std::string>{"+OK one"});
  EXPECT_EQ(transport.pending(), "+OK ");
}

// The driver ends the conversation (and so frees the receive state) inside LineReceived.
TEST(LineTransport, SinkMayCloseTheConnectionDuringDelivery) {
  struct Closer : LineSink {
    LineTransport* transport;
    bool answer;
    int calls = 0;
    bool LineReceived(std::string_view) override {
      ++calls;
      CloseConnection(-1, *transport);
      return answer;
    }
  };
  for (const bool answer : {false, true}) {
    SocketPair pair;
    LineTransport transport;
    Closer sink;
    sink.transport = &transport;
    sink.answer = answer;
    pair.Write("carry");
    ASSERT_EQ(transport.PollReceive(pair.fd, sink), kPollDelivered);
    pair.Write("\r\nsecond\r\nthird");
    EXPECT_EQ(transport.PollReceive(pair.fd, sink), kPollDelivered);
    EXPECT_EQ(sink.calls, 1);
    EXPECT_EQ(transport.pending(), "");
    EXPECT_EQ(transport.capacity(), 0u);
  }
}

TEST(LineTransport, ReportsNothingCloseAndBadSockets) {
  Recorder sink;
  {
    SocketPair pair;
    LineTransport transport;
    EXPECT_EQ(transport.PollReceive(pair.fd, sink), kPollNothing);
    pair.Write("half a line");
    ::close(pair.peer), pair.peer = -1;
    EXPECT_EQ(transport.PollReceive(pair.fd, sink), kPollDelivered);
    EXPECT_EQ(transport.PollReceive(pair.fd, sink), kPollClosed);
    EXPECT_TRUE(sink.lines.empty());  // an unfinished line is not a line
  }
  LineTransport transport;
  EXPECT_EQ(transport.PollReceive(-1, sink), kPollFailed);
  int unused[2];
  ASSERT_EQ(::pipe(unused), 0);
  ::close(unused[0]), ::close(unused[1]);
  EXPECT_EQ(transport.PollReceive(unused[0], sink), kPollFailed);
}

// Feeds `stream` through a socket pair as fast as the transport takes it.
PollResult FeedLargeStream(const std::string& stream, LineTransport& transport, LineSink& sink,
                           std::size_t& most_held) {
  SocketPair pair;
  ::fcntl(pair.peer, F_SETFL, O_NONBLOCK);
  std::size_t written = 0;
  for (;;) {
    if (written < stream.size()) {
      const ssize_t n = ::write(pair.peer, stream.data() + written, stream.size() - written);
      if (n > 0) written += static_cast<std::size_t>(n);
    }
    const PollResult result = transport.PollReceive(pair.fd, sink);
    most_held = std::max(most_held, transport.capacity());
    if (result == kPollOutOfMemory || (result == kPollNothing && written == stream.size())) return result;
  }
}

TEST(LineTransport, RefusesLinesBeyondTheLimitWithBoundedMemory) {
  const struct {
    std::size_t length;
    bool ended;
    PollResult result;
  } cases[] = {
      {kMaxLineBytes, true, kPollNothing},  // the longest line that is delivered
      {kMaxLineBytes + 1, true, kPollOutOfMemory},
      {17 * 1024 * 1024, false, kPollOutOfMemory},
  };
  for (const auto& c : cases) {
    LineTransport transport;
    Recorder sink;
    std::size_t most_held = 0;
    const std::string stream = "+OK\r\n" + std::string(c.length, 'x') + (c.ended ? "\r\n" : "");
    EXPECT_EQ(FeedLargeStream(stream, transport, sink, most_held), c.result) << c.length;
    EXPECT_LE(most_held, kMaxLineBytes + kReceiveBytes);
    ASSERT_FALSE(sink.lines.empty());
    EXPECT_EQ(sink.lines[0], "+OK");
    EXPECT_EQ(sink.lines.size(), c.result == kPollNothing ? 2u : 1u);
    if (c.result == kPollOutOfMemory) {
      EXPECT_EQ(transport.capacity(), 0u);  // released at once, and refused until reset
      EXPECT_EQ(transport.PollReceive(-1, sink), kPollOutOfMemory);
    } else {
      EXPECT_EQ(sink.lines[1].size(), c.length);
    }
  }
}

TEST(LineTransport, ReceivesFromAServerInPiecesUntilItCloses) {
  const std::string long_line(64 * 1024, 'L');
  test::ScriptedServer server({test::SendPieces({"+OK hel", "lo\r", "\n" + long_line + "\r\n", "-ERR bye\r\n"}),
                               test::Close()});
  const int fd = Connect(server);
  EXPECT_TRUE(::fcntl(fd, F_GETFD) & FD_CLOEXEC);
  LineTransport transport;
  Recorder sink;
  EXPECT_EQ(ReceiveUntilEnd(fd, transport, sink), kPollClosed);
  EXPECT_EQ(sink.lines, (std::vector<std::string>{"+OK hello", long_line, "-ERR bye"}));
  CloseConnection(fd, transport);
  EXPECT_EQ(transport.capacity(), 0u);
}

TEST(TransportSend, SendsEveryByteInOrderWithNothingAdded) {
  std::string command = "XCMD ";
  for (int i = 0; command.size() < 598; ++i) command += std::to_string(i % 10);
  command += "\r\n";
  ASSERT_EQ(command.size(), 600u);
  test::ScriptedServer server({test::Expect(command.substr(0, 598)), test::Expect("caf\xE9"), test::Expect("QUIT")});
  const int fd = Connect(server);
  EXPECT_EQ(SendText(fd, command), 0);
  {
    test::CodePageScope cp1252("CP1252");
    EXPECT_EQ(SendWideText(fd, "caf\xC3\xA9\r\n"), 0);
  }
  EXPECT_EQ(SendWideText(fd, "QUIT\r\n"), 0);
  LineTransport transport;
  CloseConnection(fd, transport);
  ASSERT_TRUE(server.WaitDone());
  EXPECT_EQ(server.failures(), "");
  EXPECT_EQ(server.bytes(), command + "caf\xE9\r\nQUIT\r\n");
}

// A packet socket keeps the boundary of every send() call, so each read is one call.
TEST(TransportSend, HandsAtMost254BytesToEachSendCall) {
  SocketPair pair(SOCK_SEQPACKET);
  std::string text(600, '\0');
  for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('a' + i % 26);
  ASSERT_EQ(SendText(pair.fd, text), 0);
  std::string joined;
  std::vector<std::size_t> calls;
  char packet[1024];
  for (ssize_t n; (n = ::recv(pair.peer, packet, sizeof packet, MSG_DONTWAIT)) > 0;) {
    calls.push_back(static_cast<std::size_t>(n));
    joined.append(packet, static_cast<std::size_t>(n));
  }
  EXPECT_EQ(calls, (std::vector<std::size_t>{254, 254, 92}));
  EXPECT_EQ(joined, text);
}

TEST(TransportSend, FailsOnAClosedOrStalledPeerInsteadOfWaitingForever) {
  {
    SocketPair pair;
    ::close(pair.peer), pair.peer = -1;
    EXPECT_EQ(SendText(pair.fd, "QUIT\r\n"), -1);  // and no SIGPIPE ends the test program
  }
  SocketPair pair;  // the peer never reads
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(SendText(pair.fd, std::string(8 * 1024 * 1024, 'x'), 200ms), -1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  EXPECT_EQ(SendText(-1, "x"), -1);
}

// The name the fake resolver was asked for, and what it answers.
std::vector<std::string> asked;
std::optional<std::uint32_t> FakeLookup(const std::string& name) {
  asked.push_back(name);
  if (name == "exhausted.example") throw std::bad_alloc();
  if (name == "mail.example") return htonl(0x0A010203);
  if (name == "zero.example") return 0;
  return std::nullopt;
}

TEST(ResolveServer, UsesLiteralsAsTheyAreAndLooksUpOnlyNames) {
  const struct {
    std::string name;
    std::uint32_t address;  // host order
    const char* error;
    bool looked_up;
  } cases[] = {
      {"", 0, "Server name not set", false},
      {"192.0.2.7", 0xC0000207, "", false},
      {"mail.example", 0x0A010203, "", true},
      {"nowhere.example", 0, "Unable to find email server", true},
      {"zero.example", 0, "Unable to find email server", true},
      {"0.0.0.0", 0, "Unable to find email server", false},
      {"mail.example\0.evil"s, 0, "Unable to find email server", false},
      {"exhausted.example", 0, "Memory Allocation error", true},
  };
  for (const auto& c : cases) {
    asked.clear();
    platform::Text error;
    EXPECT_EQ(ResolveServer(c.name, error, FakeLookup), htonl(c.address)) << c.name;
    EXPECT_EQ(error, c.error) << c.name;
    EXPECT_EQ(asked, c.looked_up ? std::vector<std::string>{c.name} : std::vector<std::string>{}) << c.name;
  }
  platform::Text error;
  EXPECT_EQ(ResolveServer("localhost", error), htonl(INADDR_LOOPBACK)) << error;
}

TEST(OpenConnection, RefusedConnectLeavesNoSocketOpen) {
  std::uint16_t port = 0;
  {
    const test::ScriptedServer gone({});
    port = gone.port();  // nothing listens there any more
  }
  const std::size_t before = OpenDescriptors();
  platform::Text error;
  EXPECT_EQ(OpenConnection(test::ScriptedServer::address(), port, error), -1);
  EXPECT_EQ(error, "Connection failed");
  EXPECT_EQ(OpenDescriptors(), before);
}

}  // namespace
}  // namespace zelk::net
