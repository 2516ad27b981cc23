#include "platform/home_directory.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/files.h"
#include "support/temp_dir.h"

namespace zelk::platform {
namespace {

using test::TempDir;

TEST(HomeDirectory, TakesTheFirstSourceThatApplies) {
  TempDir portable;
  ASSERT_TRUE(WriteFileAtomically(portable.file("Zelk.ini"), ""));
  TempDir bare;
  const std::string portableDir = portable.path().substr(0, portable.path().size() - 1);  // no slash

  struct Case {
    HomeDirectoryInputs inputs;
    std::string expected;
  } cases[] = {
      {{"/opt/h", "/env/h", portableDir, "/xdg", "/home/u"}, "/opt/h/"},
      {{std::nullopt, "/env/h/", portableDir, "/xdg", "/home/u"}, "/env/h/"},
      {{std::nullopt, std::nullopt, portableDir, "/xdg", "/home/u"}, portable.path()},
      {{std::nullopt, std::nullopt, bare.path(), "/xdg", "/home/u"}, "/xdg/zelk/"},
      {{std::nullopt, std::nullopt, bare.path(), "relative/xdg", "/home/u"}, "/home/u/.config/zelk/"},
      {{std::nullopt, std::nullopt, std::nullopt, std::nullopt, "/home/u"}, "/home/u/.config/zelk/"},
      {{"", std::nullopt, std::nullopt, std::nullopt, "/home/u"}, "/home/u/.config/zelk/"},
  };
  for (const Case& c : cases) EXPECT_EQ(ChooseHomeDirectory(c.inputs), c.expected);
}

TEST(HomeDirectory, IsCreatedWithMissingParentsPrivateToTheUser) {
  TempDir dir;
  const std::string home = dir.file("a/b/zelk/");
  ASSERT_TRUE(EnsureDirectory(home));
  ASSERT_TRUE(EnsureDirectory(home));  // existing is fine
  struct stat info {};
  ASSERT_EQ(stat(home.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);

  ASSERT_TRUE(WriteFileAtomically(dir.file("plain"), "x"));
  EXPECT_FALSE(EnsureDirectory(dir.file("plain/sub")));
}

TEST(HomeDirectory, TrailingSlashIsAddedOnlyWhenMissing) {
  EXPECT_EQ(WithTrailingSlash("/a"), "/a/");
  EXPECT_EQ(WithTrailingSlash("/a/"), "/a/");
  EXPECT_EQ(WithTrailingSlash("C:\\data\\"), "C:\\data\\");
}

}  // namespace
}  // namespace zelk::platform
