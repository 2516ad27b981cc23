#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zelk::platform {

// The whole file, or nothing when it cannot be opened or read.
std::optional<std::string> ReadWholeFile(const std::string& path);

// Replaces the file with `bytes` so that a crash, a full disk or any error leaves either the old
// file or the new one, never a mix: a temporary file in the same directory is written, flushed to
// disk and renamed over the target, then the directory is flushed. The file gets mode 0600.
// Returns false (the old file untouched, no temporary left) when any step fails.
[[nodiscard]] bool WriteFileAtomically(const std::string& path, std::string_view bytes);

// False when the file exists but cannot be removed; a missing file counts as deleted.
bool DeleteFile(const std::string& path);

std::optional<std::uint64_t> FileSize(const std::string& path);

}  // namespace zelk::platform
