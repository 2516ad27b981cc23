#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QApplication>
#include <cstring>
#include <future>
#include <thread>

#include "gui/app/single_instance.h"
#include "support/temp_dir.h"

namespace zelk::test {
namespace {

using namespace std::chrono_literals;

TEST(SingleInstance, ASecondStartHandsItsLineToABusyFirstOneAndAStaleSocketIsTakenOver) {
  TempDir home;
  std::vector<std::string> received;
  {
    gui::SingleInstance first(home.path());
    first.received = [&](const std::string& line) { received.push_back(line); };
    ASSERT_EQ(first.Claim(""), gui::SingleInstance::Role::kFirst);

    // The second start waits while the first one is busy for a while, then is answered.
    auto second = std::async(std::launch::async, [&] {
      gui::SingleInstance other(home.path());
      return other.Claim("/a:Work mailto:x@example.org");
    });
    std::this_thread::sleep_for(1500ms);
    while (second.wait_for(10ms) != std::future_status::ready) QApplication::processEvents();
    EXPECT_EQ(second.get(), gui::SingleInstance::Role::kHandedOver);
    // The line is handed on after the socket's signal, at the next turn of the loop.
    for (int turns = 0; received.empty() && turns < 100; ++turns) QApplication::processEvents();
    EXPECT_EQ(received, std::vector<std::string>{"/a:Work mailto:x@example.org"});
  }
  // A program that died left its socket file behind: nobody answers on it, and the next start
  // takes it over.
  gui::SingleInstance next(home.path());
  const int stale = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string path = next.path().toStdString();
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  ASSERT_EQ(::bind(stale, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ::close(stale);
  EXPECT_EQ(next.Claim(""), gui::SingleInstance::Role::kFirst);
}

}  // namespace
}  // namespace zelk::test
