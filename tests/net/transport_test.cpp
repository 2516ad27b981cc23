#include "net/transport.h"

#include "net/tcp_connection.h"
#include "platform/event_loop.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

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

// Connection events a test does not look at, or counts.
struct Events : ConnectionEvents {
  int progressed = 0;
  int failed = 0;
  void Readable() override {}
  void SendProgressed() override { ++progressed; }
  void SendFailed() override { ++failed; }
};

// A connected pair of local sockets, one end behind a TcpConnection. What the test writes into
// `peer` in one go arrives in one read, so a test decides exactly where one read ends and the
// next begins.
struct SocketPair {
  platform::PollEventLoop loop;
  Events events;
  int fd = -1;
  int peer = -1;
  std::unique_ptr<TcpConnection> connection;
  explicit SocketPair(int type = SOCK_STREAM) {
    int both[2];
    if (::socketpair(AF_UNIX, type | SOCK_CLOEXEC, 0, both) == 0) fd = both[0], peer = both[1];
    connection = std::make_unique<TcpConnection>(loop, fd, events);
  }
  ~SocketPair() {
    connection.reset();
    if (peer >= 0) ::close(peer);
  }
  void Write(std::string_view bytes) const { ASSERT_EQ(::write(peer, bytes.data(), bytes.size()), ssize_t(bytes.size())); }
};

// A plain blocking connect, for tests of what comes after it.
int Connect(const test::ScriptedServer& server) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(server.port());
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
  return fd;
}

// Reads on readiness, as the driver does, until the transport reports anything but data.
PollResult ReceiveUntilEnd(int fd, Connection& connection, LineTransport& transport, LineSink& sink) {
  for (;;) {
    pollfd wait{fd, POLLIN, 0};
    if (::poll(&wait, 1, 5000) != 1) return kPollNothing;
    if (const PollResult result = transport.PollReceive(connection, sink); result != kPollDelivered) return result;
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
      EXPECT_EQ(transport.PollReceive(*pair.connection, sink), kPollDelivered);
    }
    EXPECT_EQ(transport.PollReceive(*pair.connection, sink), kPollNothing);
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
  ASSERT_EQ(transport.PollReceive(*pair.connection, sink), kPollDelivered);
  pair.Write("one\r\ntwo\r\nthree\r\nfour");
  EXPECT_EQ(transport.PollReceive(*pair.connection, sink), kPollDelivered);
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
      transport->Reset();
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
    ASSERT_EQ(transport.PollReceive(*pair.connection, sink), kPollDelivered);
    pair.Write("\r\nsecond\r\nthird");
    EXPECT_EQ(transport.PollReceive(*pair.connection, sink), kPollDelivered);
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
    EXPECT_EQ(transport.PollReceive(*pair.connection, sink), kPollNothing);
    pair.Write("half a line");
    ::close(pair.peer), pair.peer = -1;
    EXPECT_EQ(transport.PollReceive(*pair.connection, sink), kPollDelivered);
    EXPECT_EQ(transport.PollReceive(*pair.connection, sink), kPollClosed);
    EXPECT_TRUE(sink.lines.empty());  // an unfinished line is not a line
  }
  platform::PollEventLoop loop;
  Events events;
  TcpConnection nothing(loop, -1, events);
  LineTransport transport;
  EXPECT_EQ(transport.PollReceive(nothing, sink), kPollFailed);
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
    const PollResult result = transport.PollReceive(*pair.connection, sink);
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
      platform::PollEventLoop loop;
      Events events;
      TcpConnection nothing(loop, -1, events);
      EXPECT_EQ(transport.PollReceive(nothing, sink), kPollOutOfMemory);
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
  platform::PollEventLoop loop;
  Events events;
  LineTransport transport;
  Recorder sink;
  {
    TcpConnection connection(loop, fd, events);
    EXPECT_EQ(ReceiveUntilEnd(fd, connection, transport, sink), kPollClosed);
  }
  EXPECT_EQ(sink.lines, (std::vector<std::string>{"+OK hello", long_line, "-ERR bye"}));
  transport.Reset();
  EXPECT_EQ(transport.capacity(), 0u);
}

TEST(TcpConnectionSend, SendsEveryByteInOrderWithNothingAdded) {
  std::string command = "XCMD ";
  for (int i = 0; command.size() < 598; ++i) command += std::to_string(i % 10);
  command += "\r\n";
  ASSERT_EQ(command.size(), 600u);
  test::ScriptedServer server({test::Expect(command.substr(0, 598)), test::Expect("QUIT")});
  platform::PollEventLoop loop;
  Events events;
  {
    TcpConnection connection(loop, Connect(server), events);
    EXPECT_TRUE(connection.Send(command));
    EXPECT_TRUE(connection.Send("QUIT\r\n"));
    EXPECT_EQ(connection.Queued(), 0u);
  }
  ASSERT_TRUE(server.WaitDone());
  EXPECT_EQ(server.failures(), "");
  EXPECT_EQ(server.bytes(), command + "QUIT\r\n");
}

// A packet socket keeps the boundary of every send() call, so each read is one call.
TEST(TcpConnectionSend, HandsAtMost254BytesToEachSendCall) {
  SocketPair pair(SOCK_SEQPACKET);
  std::string text(600, '\0');
  for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('a' + i % 26);
  ASSERT_TRUE(pair.connection->Send(text));
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

// A peer that stops reading never holds the caller: what it does not take waits in the queue and
// goes out on writability, in order, telling the owner as it goes; a peer that leaves fails it.
TEST(TcpConnectionSend, QueuesWhatThePeerDoesNotTakeAndNeverWaits) {
  {
    SocketPair pair;
    ::close(pair.peer), pair.peer = -1;
    EXPECT_FALSE(pair.connection->Send("QUIT\r\n"));  // and no SIGPIPE ends the test program
    EXPECT_FALSE(pair.connection->Send("QUIT\r\n"));
  }
  std::string large(8 * 1024 * 1024, 'x');
  for (std::size_t i = 0; i < large.size(); i += 4096) large[i] = static_cast<char>('a' + i / 4096 % 26);
  {
    SocketPair pair;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(pair.connection->Send(large));
    ASSERT_TRUE(pair.connection->Send("QUIT\r\n"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_GT(pair.connection->Queued(), 0u);
    std::string received;
    ::fcntl(pair.peer, F_SETFL, O_NONBLOCK);
    std::vector<char> buffer(1 << 16);
    pair.loop.SetTimer(99, 1ms, [&] {
      for (ssize_t n; (n = ::read(pair.peer, buffer.data(), buffer.size())) > 0;) received.append(buffer.data(), std::size_t(n));
    });
    EXPECT_TRUE(pair.loop.RunUntil([&] { return received.size() == large.size() + 6; }));
    EXPECT_TRUE(received == large + "QUIT\r\n");
    EXPECT_GT(pair.events.progressed, 0);
    EXPECT_EQ(pair.connection->Queued(), 0u);
  }
  SocketPair pair;
  ASSERT_TRUE(pair.connection->Send(large));
  ::close(pair.peer), pair.peer = -1;
  pair.loop.RunUntil([&] { return pair.events.failed > 0; });
  EXPECT_EQ(pair.events.failed, 1);
  EXPECT_FALSE(pair.connection->Send("QUIT\r\n"));
}

}  // namespace
}  // namespace zelk::net
