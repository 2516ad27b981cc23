#include "platform/files.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>

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

  // A file size limit makes the kernel refuse the write half-way, as a full disk would.
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool written = WriteFileAtomically(path, std::string(100000, 'n'));
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &saved), 0);
  std::signal(SIGXFSZ, oldHandler);

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
