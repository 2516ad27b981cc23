#include "viewer/saving.h"

#include <vector>

#include "compose/reply.h"
#include "mime/content_types.h"
#include "mime/display_text.h"
#include "platform/files.h"
#include "platform/utf8.h"

namespace zelk::viewer {

namespace {

bool Replaced(char c) {
  const auto byte = static_cast<unsigned char>(c);
  if (byte < 0x20 || byte == 0x7F) return true;
  static constexpr std::string_view kReserved = "\"*,/:;<>?\\|";
  return kReserved.find(c) != std::string_view::npos;
}

platform::Text CleanName(std::string_view name, std::size_t units) {
  platform::Text out(platform::CutToUtf16Units(name, units));
  for (char& c : out) {
    if (Replaced(c)) c = '_';
  }
  // A whole name of dots would name this folder or the one above.
  if (out.find_first_not_of('.') == platform::Text::npos) out.assign(out.empty() ? 1 : out.size(), '_');
  return out;
}

}  // namespace

ProposedName AttachmentSaveName(const mime::MimePart& part) {
  const platform::Text type = part.contentType.value_or("");
  const std::string_view cutType = std::string_view(type).substr(0, type.find(';'));
  const std::optional<std::string_view> extension = mime::ExtensionForContentType(cutType);
  ProposedName proposed;
  if (extension) proposed.defaultExtension = extension->substr(1);
  if (part.fileName && !part.fileName->empty()) {
    proposed.name = CleanName(*part.fileName, kAttachmentNameUnits);
  } else {
    proposed.name = CleanName(extension ? *extension : cutType, kAttachmentNameUnits);
  }
  return proposed;
}

platform::Text TextSaveName(const store::MailItem& item) {
  const std::string_view subject = item.Subject ? std::string_view(*item.Subject) : std::string_view();
  if (subject.empty()) return ".txt";
  return CleanName(subject, kSubjectNameUnits) + ".txt";
}

bool SaveMessageAsText(const std::string& path, const store::MailItem& item, std::string_view headerTemplate,
                       std::string_view fallbackCharset) {
  std::vector<mime::MimePart> parts;
  const mime::DisplayText shown = mime::GetDisplayText(item, false, parts, fallbackCharset);
  const std::string text = platform::TextToLocal(compose::ExpandReplyHeader(headerTemplate, item)) +
                           platform::TextToLocal(shown.text);
  return platform::WriteFileAtomically(path, text);
}

bool SaveAttachment(const std::string& path, const mime::MimePart& part, const store::MailItem& item) {
  const std::string_view body = item.Body ? std::string_view(*item.Body) : std::string_view();
  return platform::WriteFileAtomically(path, mime::DecodePartData(part, body));
}

}  // namespace zelk::viewer
