#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "codec/hmac_md5.h"
#include "codec/md5.h"

namespace zelk::codec {
namespace {

std::string Hex(const Md5Digest& digest) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (std::uint8_t byte : digest) {
    out += kDigits[byte >> 4];
    out += kDigits[byte & 15];
  }
  return out;
}

// Hashes `parts` with one Update call each.
Md5Digest Md5Of(const std::vector<std::string_view>& parts) {
  Md5Context context;
  Md5Init(context);
  for (std::string_view part : parts) Md5Update(context, part.data(), part.size());
  Md5Digest digest;
  Md5Final(digest, context);
  return digest;
}

std::string_view AsText(const Md5Digest& digest) {
  return {reinterpret_cast<const char*>(digest.data()), digest.size()};
}

TEST(Md5, KnownDigests) {
  const std::string a(1'000'000, 'a');
  struct Case {
    std::string input;
    const char* hex;
  };
  const Case cases[] = {
      // RFC 1321's test suite.
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
      {a, "7707d6ae4e027c70eea2a935c2296f21"},
      {a.substr(0, 55), "ef1772b6dff9a122358552954ad0df65"},  // the last length padded in one block
      {a.substr(0, 56), "3b0c8ac703f828b04c6c197006d17218"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Hex(Md5Of({c.input})), c.hex) << "length " << c.input.size();
  }
}

TEST(Md5, SplitUpdatesMatchOneUpdate) {
  std::string message;
  for (int i = 0; i < 300; ++i) message += static_cast<char>(i * 37 + 11);
  const std::string_view all(message);
  const Md5Digest whole = Md5Of({all});

  // Two cuts give three calls: a partial block, one that completes it, and whatever follows.
  const std::size_t cuts[] = {0, 1, 55, 56, 63, 64, 65, 127, 128, 129, 200, 300};
  for (std::size_t first : cuts) {
    for (std::size_t second : cuts) {
      if (second < first) continue;
      const Md5Digest split =
          Md5Of({all.substr(0, first), all.substr(first, second - first), all.substr(second)});
      EXPECT_EQ(Hex(split), Hex(whole)) << "cuts at " << first << " and " << second;
    }
  }

  const std::string million(1'000'000, 'a');
  for (std::size_t chunk : {1, 3, 63, 65, 127, 4099}) {
    Md5Context context;
    Md5Init(context);
    for (std::size_t at = 0; at < million.size(); at += chunk) {
      Md5Update(context, million.data() + at, std::min(chunk, million.size() - at));
    }
    Md5Digest digest;
    Md5Final(digest, context);
    EXPECT_EQ(Hex(digest), "7707d6ae4e027c70eea2a935c2296f21") << "chunks of " << chunk;
  }
}

TEST(Md5, FinalZeroesTheWholeContext) {
  for (std::size_t length : {0, 5, 64, 100}) {
    const std::string input(length, 'x');
    Md5Context context;
    std::memset(&context, 0xA5, sizeof context);
    Md5Init(context);
    Md5Update(context, input.data(), input.size());
    Md5Digest digest;
    Md5Final(digest, context);

    const Md5Context zero{};
    EXPECT_EQ(std::memcmp(&context, &zero, sizeof context), 0) << "after " << length << " bytes";
  }
}

TEST(HmacMd5, KnownDigests) {
  std::string counting;
  for (char i = 1; i <= 25; ++i) counting += i;
  struct Case {
    std::string key;
    std::string text;
    const char* hex;
  };
  const Case cases[] = {
      // RFC 2104.
      {std::string(16, '\x0b'), "Hi There", "9294727a3638bb1c13f48ef8158bfc9d"},
      {"Jefe", "what do ya want for nothing?", "750c783e6ab0b503eaa86e310a5db738"},
      {std::string(16, '\xaa'), std::string(50, '\xdd'), "56be34521d144c88dbb8c733f0e8b3f6"},
      // RFC 2202's further cases, the last two with keys longer than a block.
      {counting, std::string(50, '\xcd'), "697eaf0aca3a3aea3a75164746ffaa79"},
      {std::string(16, '\x0c'), "Test With Truncation", "56461ef2342edc00f9bab995690efd4c"},
      {std::string(80, '\xaa'), "Test Using Larger Than Block-Size Key - Hash Key First",
       "6b1ab7fe4bd7bf8f0b62e6ce61b9d0cd"},
      {std::string(80, '\xaa'),
       "Test Using Larger Than Block-Size Key and Larger Than One Block-Size Data",
       "6f630fad67cda0ee1fb1f562db3aa53e"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Hex(HmacMd5(c.text, c.key)), c.hex) << c.text;
  }
}

TEST(HmacMd5, KeyOfOneBlockIsUsedAsIsAndLongerIsHashed) {
  const std::string text = "Boundary of the key length";
  std::string key65;
  for (int i = 0; i < 65; ++i) key65 += static_cast<char>(i);
  const std::string key64 = key65.substr(0, 64);

  // A 64-byte key fills the pads exactly, with nothing left to zero-fill.
  std::string innerPad(64, '\0');
  std::string outerPad(64, '\0');
  for (std::size_t i = 0; i < 64; ++i) {
    innerPad[i] = static_cast<char>(key64[i] ^ 0x36);
    outerPad[i] = static_cast<char>(key64[i] ^ 0x5c);
  }
  const Md5Digest inner = Md5Of({innerPad, text});
  EXPECT_EQ(Hex(HmacMd5(text, key64)), Hex(Md5Of({outerPad, AsText(inner)})));

  EXPECT_EQ(Hex(HmacMd5(text, key65)), Hex(HmacMd5(text, AsText(Md5Of({key65})))));
}

}  // namespace
}  // namespace zelk::codec
