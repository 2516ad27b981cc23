// Line transport: bytes arriving in any pieces are cut into exactly the lines that a plain split
// of the whole stream at CR LF gives, in order, with the unfinished tail held back.
// Input: one byte that picks the line whose delivery answers stop (64 and above: none),
// then pieces, each a length byte followed by that many bytes.
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "net/tcp_connection.h"
#include "net/transport.h"
#include "platform/event_loop.h"

namespace {

struct Recorder : zelk::net::LineSink {
  std::vector<std::string> lines;
  std::size_t stopAt = SIZE_MAX;
  bool LineReceived(std::string_view line) override {
    lines.emplace_back(line);
    return lines.size() != stopAt + 1;
  }
};

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "line transport: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  using namespace zelk::net;
  Recorder sink;
  if (data[0] < 64) sink.stopAt = data[0];
  std::vector<std::string> pieces;
  for (std::size_t at = 1; at < size;) {
    const std::size_t wanted = data[at++];
    const std::size_t length = std::min(wanted, size - at);
    pieces.emplace_back(reinterpret_cast<const char*>(data + at), length);
    at += length;
  }

  int pair[2];
  Check(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) == 0, "no socket pair");
  zelk::platform::PollEventLoop loop;
  struct : ConnectionEvents {
    void Readable() override {}
    void SendProgressed() override {}
    void SendFailed() override {}
  } events;
  TcpConnection connection(loop, pair[0], events);
  LineTransport transport;
  std::string stream;
  bool stopped = false;
  for (const std::string& piece : pieces) {
    if (piece.empty()) continue;
    Check(::write(pair[1], piece.data(), piece.size()) == static_cast<ssize_t>(piece.size()), "short write");
    stream += piece;
    PollResult result;
    while ((result = transport.PollReceive(connection, sink)) == kPollDelivered) {
      if (sink.lines.size() == sink.stopAt + 1) stopped = true;
    }
    Check(result == kPollNothing, "unexpected poll result");
    if (stopped) break;
  }

  std::vector<std::string> expected;
  std::size_t start = 0;
  for (std::size_t end; (end = stream.find("\r\n", start)) != std::string::npos; start = end + 2) {
    expected.push_back(stream.substr(start, end - start));
  }
  if (stopped) {
    Check(sink.lines.size() <= expected.size(), "more lines than the stream holds");
    expected.resize(sink.lines.size());
  } else {
    Check(transport.pending() == std::string_view(stream).substr(start), "wrong carry-over");
    ::close(pair[1]);
    pair[1] = -1;
    Check(transport.PollReceive(connection, sink) == kPollClosed, "close not reported");
  }
  Check(sink.lines == expected, "lines differ from a plain split");
  if (pair[1] >= 0) ::close(pair[1]);
  return 0;
}
