#include "platform/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "support/file_size_limit.h"
#include "support/temp_dir.h"

namespace zelk::platform {
namespace {

using test::TempDir;

std::size_t EntriesIn(const std::string& directory) {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(directory)) ++count;
  return count;
}

TEST(Files, AtomicWriteReplacesWholeFileOwnerOnlyAndLeavesNoTemporary) {
  TempDir dir;
  const std::string path = dir.file("Zelk.ini");
  const std::string bytes("a\0b\r\n\xFF", 6);
  ASSERT_TRUE(WriteFileAtomically(path, "old content that is longer"));
  ASSERT_TRUE(WriteFileAtomically(path, bytes));
  EXPECT_EQ(ReadWholeFile(path), bytes);
  EXPECT_EQ(FileSize(path), 6u);
  struct stat info {};
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_EQ(EntriesIn(dir.path()), 1u);

  ASSERT_TRUE(WriteFileAtomically(path, ""));
  EXPECT_EQ(ReadWholeFile(path), "");
}

TEST(Files, FailedWriteLeavesThePreviousFileByteIdentical) {
  TempDir dir;
  const std::string path = dir.file("MailBox0.dat");
  const std::string previous(3000, 'p');
  ASSERT_TRUE(WriteFileAtomically(path, previous));

  bool written;
  {
    test::FileSizeLimit limit(4096);
    written = WriteFileAtomically(path, std::string(100000, 'n'));
  }
  EXPECT_FALSE(written);
  EXPECT_EQ(ReadWholeFile(path), previous);
  EXPECT_EQ(EntriesIn(dir.path()), 1u) << "the temporary file must be removed";
}

TEST(Files, ReportsMissingFilesAndDirectories) {
  TempDir dir;
  EXPECT_FALSE(ReadWholeFile(dir.file("missing")));
  EXPECT_FALSE(FileSize(dir.file("missing")));
  EXPECT_TRUE(DeleteFile(dir.file("missing")));
  EXPECT_FALSE(WriteFileAtomically(dir.file("no/such/dir/file"), "x"));
  EXPECT_FALSE(ReadWholeFile(dir.path()));  // a directory is not a file to read

  ASSERT_TRUE(WriteFileAtomically(dir.file("gone"), "x"));
  EXPECT_TRUE(DeleteFile(dir.file("gone")));
  EXPECT_FALSE(FileSize(dir.file("gone")));
}

}  // namespace
}  // namespace zelk::platform
