#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace zelk::platform {

// The whole file, or nothing when it cannot be opened or read.
std::optional<std::string> ReadWholeFile(const std::string& path);

// Reads a file piece by piece, for files too large to hold twice in memory.
class InputFile {
 public:
  explicit InputFile(const std::string& path);
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  bool ok() const { return fd_ >= 0; }
  // Up to `size` bytes into `buffer`; 0 at the end; nothing on a read error.
  std::optional<std::size_t> Read(char* buffer, std::size_t size);

 private:
  int fd_;
};

// Replaces a file so that a crash, a full disk or any error leaves either the old file or the new
// one, never a mix: the bytes go to a temporary file in the same directory, which Commit flushes
// to disk and renames over the target before flushing the directory. The file gets mode 0600.
// Without a successful Commit the temporary file is removed and the old file stays untouched.
class AtomicFileWriter {
 public:
  explicit AtomicFileWriter(std::string path);
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;
  // False once any write has failed; later writes are then skipped.
  bool Write(std::string_view bytes);
  // Several pieces in one system call where possible.
  bool Write(std::span<const std::string_view> pieces);
  [[nodiscard]] bool Commit();

 private:
  void Abandon();

  std::string path_;
  std::string temporary_;
  int fd_ = -1;
  bool failed_ = false;
};

// The whole file at once through an AtomicFileWriter.
[[nodiscard]] bool WriteFileAtomically(const std::string& path, std::string_view bytes);

// False when the file exists but cannot be removed; a missing file counts as deleted.
bool DeleteFile(const std::string& path);

std::optional<std::uint64_t> FileSize(const std::string& path);

}  // namespace zelk::platform
