#include "net/conversation_log.h"

#include <fcntl.h>
#include <unistd.h>

#include "platform/date_picture.h"
#include "platform/files.h"

namespace zelk::net {

namespace {

platform::Text Masked(const platform::Text& text) {
  for (const std::string_view command : {"PASS ", "APOP "}) {
    if (text.starts_with(command)) return platform::Text(command) + "****\r\n";
  }
  return text;
}

}  // namespace

ConversationLog::ConversationLog(std::string homeDirectory, bool enabled)
    : path_(std::move(homeDirectory) + "Zelk.log"), enabled_(enabled) {}

void ConversationLog::DeleteOldLog() const {
  if (enabled_) platform::DeleteFile(path_);
}

void ConversationLog::StartConversation(std::string_view kind, const platform::Clock& clock) const {
  if (!enabled_) return;
  const platform::CalendarTime now = clock.LocalNow();
  Append("\r\n" + std::string(32, '-') + " " + platform::FormatDatePicture("", now).value_or("") + " " +
         platform::FormatTimePicture("", now).value_or("") + " (" + std::string(kind) + ")");
}

void ConversationLog::Append(const platform::Text& text) const {
  if (!enabled_) return;
  std::string bytes = platform::TextToLocal(Masked(text));
  if (!bytes.ends_with('\n')) bytes += "\r\n";
  // Appended as it happens, so the log shows what came before a crash; the log is private.
  const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (fd < 0) return;
  for (std::string_view rest = bytes; !rest.empty();) {
    const ssize_t written = ::write(fd, rest.data(), rest.size());
    if (written <= 0) break;
    rest.remove_prefix(static_cast<std::size_t>(written));
  }
  ::close(fd);
}

}  // namespace zelk::net
