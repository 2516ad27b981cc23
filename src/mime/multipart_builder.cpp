#include "mime/multipart_builder.h"

#include <sys/stat.h>

#include <memory>

#include "codec/header_words.h"
#include "mime/content_types.h"
#include "mime/data_lines.h"
#include "platform/files.h"

namespace zelk::mime {
namespace {

// 57 bytes make one 76-character base64 line: a piece of whole lines encodes alone, and is small
// enough to stay in the cache between reading and encoding.
constexpr std::size_t kPieceBytes = 57 * 4096;

// Opening a pipe or a device would block or never end.
bool IsRegularFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string FileNameParam(std::string_view fileName, const FileNameEncoding& names) {
  platform::Text name(fileName);
  if (names.encodeType == 1) {
    name = codec::EncodeHeaderText(name, false, {names.headCharset, names.headEncoding});
  }
  return platform::TextToLocal(codec::EncodeFileNameParam(name, names.headCharset));
}

// Fills the buffer as far as the file goes; nothing on a read error.
std::optional<std::size_t> ReadPiece(platform::InputFile& file, char* buffer, std::size_t size) {
  std::size_t filled = 0;
  while (filled < size) {
    const std::optional<std::size_t> got = file.Read(buffer + filled, size - filled);
    if (!got) return std::nullopt;
    if (*got == 0) break;
    filled += *got;
  }
  return filled;
}

bool AppendFileInBase64(const std::string& path, std::string& out) {
  if (!IsRegularFile(path)) return false;
  platform::InputFile file(path);
  if (!file.ok()) return false;
  if (const std::optional<std::uint64_t> size = platform::FileSize(path)) {
    out.reserve(out.size() + *size / 57 * 78 + 80);
  }
  const auto buffer = std::make_unique_for_overwrite<char[]>(kPieceBytes);
  for (bool first = true;; first = false) {
    const std::optional<std::size_t> got = ReadPiece(file, buffer.get(), kPieceBytes);
    if (!got) return false;
    if (*got == 0) return true;
    if (!first) out += "\r\n";
    AppendBase64Lines(out, std::string_view(buffer.get(), *got));
    if (*got < kPieceBytes) return true;
  }
}

}  // namespace

std::vector<platform::Text> AttachmentPaths(const store::OptionalText& attach) {
  std::vector<platform::Text> paths;
  if (!attach || attach->empty()) return paths;
  std::string_view rest = *attach;
  for (std::size_t at = rest.find(kAttachSeparator); at != std::string_view::npos; at = rest.find(kAttachSeparator)) {
    paths.emplace_back(rest.substr(0, at));
    rest.remove_prefix(at + kAttachSeparator.size());
  }
  paths.emplace_back(rest);
  return paths;
}

std::string_view FileNameOf(std::string_view path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string MultipartContentType(std::string_view boundary) {
  return "multipart/mixed;\r\n boundary=\"" + std::string(boundary) + "\"";
}

bool BuildMultipart(const std::vector<platform::Text>& paths, std::string_view boundary, const EncodedBody& text,
                    const FileNameEncoding& names, std::string& out) {
  const std::string delimiter = "--" + std::string(boundary) + "\r\n";
  out += delimiter;
  out += "Content-Type: " + text.contentType + "\r\nContent-Transfer-Encoding: " + text.transferEncoding + "\r\n\r\n";
  AppendDataLines(out, text.bytes);
  out += "\r\n\r\n";

  for (const platform::Text& path : paths) {
    const std::string_view name = FileNameOf(path);
    out += delimiter;
    out += "Content-Type: ";
    out += ContentTypeForFile(name);
    out += "\r\nContent-Disposition: attachment;" + FileNameParam(name, names) +
           "\r\nContent-Transfer-Encoding: base64\r\n\r\n";
    if (!AppendFileInBase64(platform::TextToLocal(path), out)) return false;
    out += "\r\n\r\n";
  }
  out += "--" + std::string(boundary) + "--\r\n";
  return true;
}

}  // namespace zelk::mime
