#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <vector>

namespace zelk::platform {

namespace {

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool SyncDirectory(const std::string& directory) {
  const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  // Some file systems cannot flush a directory; the rename is then as durable as they allow.
  const bool synced = ::fsync(fd) == 0 || errno == EINVAL;
  ::close(fd);
  return synced;
}

}  // namespace

InputFile::InputFile(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}

InputFile::~InputFile() {
  if (fd_ >= 0) ::close(fd_);
}

std::optional<std::size_t> InputFile::Read(char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t got = ::read(fd_, buffer, size);
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR) return std::nullopt;
  }
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
  InputFile file(path);
  if (!file.ok()) return std::nullopt;
  std::string content;
  if (const auto size = FileSize(path)) content.reserve(*size);
  char buffer[65536];
  for (;;) {
    const std::optional<std::size_t> got = file.Read(buffer, sizeof buffer);
    if (!got) return std::nullopt;
    if (*got == 0) return content;
    content.append(buffer, *got);
  }
}

AtomicFileWriter::AtomicFileWriter(std::string path) : path_(std::move(path)), temporary_(path_ + ".XXXXXX") {
  fd_ = ::mkostemp(temporary_.data(), O_CLOEXEC);
  if (fd_ < 0) temporary_.clear();  // nothing was created, so nothing must be removed
  failed_ = fd_ < 0 || ::fchmod(fd_, 0600) != 0;
}

AtomicFileWriter::~AtomicFileWriter() { Abandon(); }

bool AtomicFileWriter::Write(std::string_view bytes) {
  if (!failed_ && !WriteAll(fd_, bytes)) failed_ = true;
  return !failed_;
}

bool AtomicFileWriter::Write(std::span<const std::string_view> pieces) {
  std::vector<iovec> vectors;
  for (const std::string_view piece : pieces) {
    if (!piece.empty()) vectors.push_back({const_cast<char*>(piece.data()), piece.size()});
  }
  std::size_t next = 0;
  while (!failed_ && next < vectors.size()) {
    const int count = static_cast<int>(std::min<std::size_t>(vectors.size() - next, IOV_MAX));
    const ssize_t written = ::writev(fd_, &vectors[next], count);
    if (written < 0) {
      if (errno != EINTR) failed_ = true;
      continue;
    }
    // Skip what was written, which may end inside a piece.
    auto left = static_cast<std::size_t>(written);
    while (next < vectors.size() && left >= vectors[next].iov_len) left -= vectors[next++].iov_len;
    if (left > 0) {
      vectors[next].iov_base = static_cast<char*>(vectors[next].iov_base) + left;
      vectors[next].iov_len -= left;
    }
  }
  return !failed_;
}

bool AtomicFileWriter::Commit() {
  if (failed_ || ::fsync(fd_) != 0) {
    Abandon();
    return false;
  }
  // Closing can report a delayed write error, so it is checked before the rename.
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0 || ::rename(temporary_.c_str(), path_.c_str()) != 0) {
    failed_ = true;
    Abandon();
    return false;
  }
  temporary_.clear();
  return SyncDirectory(DirectoryOf(path_));
}

void AtomicFileWriter::Abandon() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  temporary_.clear();
  failed_ = true;
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes) {
  AtomicFileWriter writer(path);
  return writer.Write(bytes) && writer.Commit();
}

bool DeleteFile(const std::string& path) { return ::unlink(path.c_str()) == 0 || errno == ENOENT; }

std::optional<std::uint64_t> FileSize(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(info.st_size);
}

}  // namespace zelk::platform
