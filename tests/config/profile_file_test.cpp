#include "config/profile_file.h"

#include <gtest/gtest.h>

#include "platform/files.h"
#include "support/code_page_scope.h"
#include "support/temp_dir.h"

namespace zelk::config::profile {
namespace {

using test::TempDir;

ProfileFile Parsed(std::string_view text) {
  ProfileFile profile;
  Parse(profile, text);
  return profile;
}

TEST(ProfileFile, LooksUpIgnoringAsciiCaseAndReadsValuesWithoutBlanksAndQuotes) {
  const ProfileFile profile = Parsed(
      "[general]\n"
      "fontname=\"Sans\"\r\n"
      "  Size \t=  \" 12 \"  \r"
      "Quote=\"\n"
      "Half=\"open\n"
      "Plain=  7\n"
      "Neg=-3x\n"
      "NoEquals\n"
      "=dropped\n"
      "FontName=second\n"
      "\xC3\x89t\xC3\xA9=accented key\n");
  struct Case {
    const char* key;
    const char* text;
  } strings[] = {
      {"FontName", "Sans"}, {"FONTNAME", "Sans"}, {"Size", " 12 "}, {"Quote", ""}, {"Half", "open"},
      {"Plain", "7"},       {"NoEquals", ""},     {"\xC3\x89t\xC3\xA9", "accented key"},
      {"\xC3\xA9t\xC3\xA9", "default"},  // only A-Z fold, so É and é differ
      {"Missing", "default"},
  };
  for (const Case& c : strings) EXPECT_EQ(GetString(profile, "GENERAL", c.key, "default", 256), c.text) << c.key;
  EXPECT_EQ(GetInt(profile, "GENERAL", "Size", 0), 12);
  EXPECT_EQ(GetInt(profile, "GENERAL", "Plain", 0), 7);
  EXPECT_EQ(GetInt(profile, "GENERAL", "Neg", 0), -3);
  EXPECT_EQ(GetInt(profile, "GENERAL", "FontName", 5), 0);  // no digits
  EXPECT_EQ(GetInt(profile, "GENERAL", "Missing", 5), 5);
  EXPECT_EQ(GetInt(profile, "OTHER", "Size", 9), 9);
  EXPECT_EQ(GetString(profile, "", "FontName", "d", 256), "d");  // the unnamed section is never found
}

TEST(ProfileFile, CutsValuesToTheBufferSizeInCharacters) {
  const ProfileFile profile = Parsed("[S]\nK=\"abcdef\"\nWide=\"\xC3\xA9\xF0\x9F\x98\x80z\"\n");
  EXPECT_EQ(GetString(profile, "S", "K", "", 4), "abc");
  EXPECT_EQ(GetString(profile, "S", "K", "", 1), "");
  EXPECT_EQ(GetString(profile, "S", "Missing", "default", 4), "def");
  EXPECT_EQ(GetString(profile, "S", "Wide", "", 3), "\xC3\xA9");  // the emoji needs two units and is not split
  EXPECT_EQ(GetString(profile, "S", "Wide", "", 4), "\xC3\xA9\xF0\x9F\x98\x80");
}

TEST(ProfileFile, DropsMalformedLinesAndKeepsEverythingElseInPlaceOnSave) {
  ProfileFile profile = Parsed(
      "top=1\n"
      "# leading comment\n"
      "[A]\n"
      "k=1\n"
      "[broken\n"
      "[ ]\n"
      "after=broken header\n"
      " # indented comment\n"
      " [indented]]=kept as an entry]\n"
      "[Empty]\n"
      "[a]\n"
      "k=shadowed\n"
      "unknown = kept as it stands \n");
  EXPECT_EQ(GetString(profile, "A", "after", "", 256), "broken header");
  EXPECT_EQ(GetString(profile, "a", "k", "", 256), "1");  // the first of two same-named sections
  SetInt(profile, "A", "K", 2);
  SetString(profile, "A", "New", "x y");
  SetString(profile, "A", "Blank", std::nullopt);
  SetString(profile, "Fresh", "Name", "");
  EXPECT_EQ(Serialize(profile),
            "top=1\r\n"
            "# leading comment\r\n"
            "\r\n"
            "[A]\r\n"
            "k=2\r\n"
            "after=broken header\r\n"
            "# indented comment=\r\n"
            " [indented]]=kept as an entry]\r\n"  // flush left it would read as a header
            "New=\"x y\"\r\n"
            "Blank=\r\n"
            "\r\n"
            "[a]\r\n"
            "k=shadowed\r\n"
            "unknown= kept as it stands \r\n"  // the key is trimmed, the value kept
            "\r\n"
            "[Fresh]\r\n"
            "Name=\r\n"
            "\r\n");
  EXPECT_EQ(GetString(profile, "A", "New", "", 256), "x y");
}

TEST(ProfileFile, SetValuesReadBackExactly) {
  ProfileFile profile;  // no table yet: the first Set starts one
  const char* const texts[] = {"plain", " spaced ", "\"quoted\"", "\"", "a=b", "#x", "\xE6\x97\xA5\xE6\x9C\xAC"};
  for (const char* text : texts) {
    SetString(profile, "S", "Key", text);
    EXPECT_EQ(GetString(Parsed(Serialize(profile)), "S", "key", "", 256), text);
  }
  // A line break would start a line of its own in the file, where it could plant a key.
  SetString(profile, "S", "Key", "evil\r\nServer=x");
  EXPECT_EQ(GetString(Parsed(Serialize(profile)), "S", "Key", "", 256), "evil  Server=x");
  EXPECT_EQ(GetString(Parsed(Serialize(profile)), "S", "Server", "none", 256), "none");
  for (const std::int32_t number : {0, -1, 2147483647, -2147483647 - 1}) {
    SetInt(profile, "S", "N", number);
    EXPECT_EQ(GetInt(Parsed(Serialize(profile)), "S", "N", 99), number);
  }
}

TEST(ProfileFile, LoadCreatesAMissingFileAndSaveRoundTripsInTheLocalCodePage) {
  test::CodePageScope scope("CP1252");
  TempDir dir;
  const std::string path = dir.file("Zelk.ini");
  ProfileFile profile;
  ASSERT_TRUE(Load(profile, path));
  EXPECT_EQ(platform::FileSize(path), 0u);
  EXPECT_EQ(GetInt(profile, "GENERAL", "Anything", 4), 4);

  ASSERT_TRUE(platform::WriteFileAtomically(path, "# hand-made\n[GENERAL]\nName=\"Ren\xE9\"\nRaw=\x81\n"));
  ASSERT_TRUE(Load(profile, path));
  EXPECT_EQ(GetString(profile, "GENERAL", "Name", "", 256), "Ren\xC3\xA9");
  SetString(profile, "GENERAL", "Name", "Zo\xC3\xAB");
  ASSERT_TRUE(Save(profile, path));
  EXPECT_EQ(platform::ReadWholeFile(path), "# hand-made\r\n\r\n[GENERAL]\r\nName=\"Zo\xEB\"\r\nRaw=\x81\r\n\r\n");
  Free(profile);
  EXPECT_FALSE(profile.hasTable);
}

TEST(ProfileFile, UnreadableFileLeavesNoTableAndSaveWritesOnlyWhatWasSet) {
  TempDir dir;
  ProfileFile profile;
  EXPECT_FALSE(Load(profile, dir.path()));  // a directory cannot be read as a file
  EXPECT_FALSE(profile.hasTable);
  EXPECT_EQ(GetString(profile, "GENERAL", "Key", "default", 256), "default");
  SetInt(profile, "GENERAL", "Key", 1);
  const std::string path = dir.file("Zelk.ini");
  ASSERT_TRUE(Save(profile, path));
  EXPECT_EQ(platform::ReadWholeFile(path), "[GENERAL]\r\nKey=1\r\n\r\n");
  EXPECT_FALSE(Save(profile, dir.file("missing/Zelk.ini")));
}

}  // namespace
}  // namespace zelk::config::profile
