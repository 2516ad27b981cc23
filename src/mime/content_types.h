#pragma once
#include <optional>
#include <string_view>

// File extensions and the content types attachments are sent with.
namespace zelk::mime {

// The content type for a file name, by its extension (from its last "."; letter case ignored):
// "application/octet-stream" for an extension the table does not hold, and for ".txt", so that a
// text file arrives as an attachment rather than as more of the message text.
std::string_view ContentTypeForFile(std::string_view fileName);

// The extension, leading dot included, for a content type (letter case ignored); nothing when
// the table does not hold the type. "text/plain" gives ".txt".
std::optional<std::string_view> ExtensionForContentType(std::string_view contentType);

}  // namespace zelk::mime
