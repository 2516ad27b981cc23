#include "mime/message_id.h"

#include <gtest/gtest.h>

#include <set>

#include "support/fixed_clock.h"
#include "support/code_page_scope.h"

namespace zelk::mime {
namespace {

bool IsUpperHex(const std::string& text) { return text.find_first_not_of("0123456789ABCDEF") == std::string::npos; }

TEST(MessageId, StampHexAndAddressInAngleBrackets) {
  const test::FixedClock clock(test::kTuesday, -540);
  for (const std::string address : {"user@example.com", "a@b", ""}) {
    const std::string id = MakeMessageId(address, clock);
    ASSERT_EQ(id.size(), address.size() + 26) << id;
    EXPECT_EQ(id.substr(0, 16), "<20060103100000.");
    EXPECT_TRUE(IsUpperHex(id.substr(16, 8))) << id;
    EXPECT_EQ(id.substr(24), "." + address + ">");
  }
}

TEST(MessageId, DiffersWithinOneSecond) {
  const test::FixedClock clock(test::kTuesday, -540);
  std::set<std::string> ids;
  for (int i = 0; i < 10000; ++i) ids.insert(MakeMessageId("user@example.com", clock));
  EXPECT_EQ(ids.size(), 10000u);
}

TEST(Boundary, HmacOfTheAttachmentListKeyedByTheTimeStamp) {
  const test::FixedClock clock(test::kTuesday, -540);
  const std::string list = "/home/u/a.txt\xC2\xA0/home/u/b.pdf";  // paths joined by U+00A0
  const std::string boundary = MakeBoundary(list, clock);
  // Expected values from openssl dgst -md5 -hmac 20060103100000 over the local code page bytes.
  EXPECT_EQ(boundary, "-----_MULTIPART_A044FDEEBEFF93E81ADE02D42AF9FAAB_");
  {
    test::CodePageScope cp1252("CP1252");
    EXPECT_EQ(MakeBoundary(list, clock), "-----_MULTIPART_BBF35EF9656B828B3569209D1265F568_");
  }
  EXPECT_EQ(MakeBoundary(list, clock), boundary);
  EXPECT_NE(MakeBoundary(list, test::FixedClock({2006, 1, 2, 3, 10, 0, 1, 250}, -540)), boundary);
  for (const std::string& other : {std::string(), std::string("/home/u/a.txt"), std::string(5000, 'x')}) {
    const std::string b = MakeBoundary(other, clock);
    EXPECT_EQ(b.size(), 49u);
    EXPECT_EQ(b.substr(0, 16), "-----_MULTIPART_");
    EXPECT_TRUE(IsUpperHex(b.substr(16, 32))) << b;
    EXPECT_EQ(b.back(), '_');
    EXPECT_NE(b, boundary);
  }
}

}  // namespace
}  // namespace zelk::mime
