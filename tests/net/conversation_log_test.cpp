#include "net/conversation_log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/files.h"
#include "support/fixed_clock.h"
#include "support/temp_dir.h"

namespace zelk::net {
namespace {

TEST(ConversationLog, WritesHeadersLinesAndMaskedPasswordsOnlyWhenEnabled) {
  test::TempDir home;
  ASSERT_TRUE(platform::WriteFileAtomically(home.file("Zelk.log"), "previous run\r\n"));
  ConversationLog disabled(home.path(), false);
  disabled.DeleteOldLog();
  disabled.Append("not written");
  EXPECT_EQ(platform::ReadWholeFile(home.file("Zelk.log")), "previous run\r\n");

  ConversationLog log(home.path(), true);
  log.DeleteOldLog();
  log.StartConversation("recv", test::FixedClock({2006, 1, 2, 3, 10, 5, 9, 0}, -540));
  log.Append("[Work] Connecting...");
  log.Append("USER me\r\n");
  log.Append("PASS secret\r\n");
  log.Append("APOP me 0123456789abcdef0123456789abcdef\r\n");
  log.Append("+OK caf\xC3\xA9\n");
  EXPECT_EQ(platform::ReadWholeFile(home.file("Zelk.log")),
            "\r\n-------------------------------- 03/01/2006 10:05 (recv)\r\n"
            "[Work] Connecting...\r\nUSER me\r\nPASS ****\r\nAPOP ****\r\n+OK caf\xC3\xA9\n");
  struct stat info {};
  ASSERT_EQ(::stat(home.file("Zelk.log").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
}

}  // namespace
}  // namespace zelk::net
