#include "config/sheet_fields.h"

#include "platform/utf8.h"

namespace zelk::config {

platform::Text CutField(std::string_view text) { return platform::Text(platform::CutToUtf16Units(text, kFieldLimit)); }

platform::Text FieldText(const store::OptionalText& value) { return value.value_or(platform::Text()); }

platform::Text StoredLineBreaks(std::string_view edited) {
  platform::Text stored;
  stored.reserve(edited.size());
  for (std::size_t i = 0; i < edited.size(); ++i) {
    if (edited[i] == '\n' && (i == 0 || edited[i - 1] != '\r')) stored += '\r';
    stored += edited[i];
  }
  return stored;
}

platform::Text EditedLineBreaks(std::string_view stored) {
  platform::Text edited;
  edited.reserve(stored.size());
  for (std::size_t i = 0; i < stored.size(); ++i) {
    if (stored[i] == '\r' && i + 1 < stored.size() && stored[i + 1] == '\n') continue;
    edited += stored[i];
  }
  return edited;
}

}  // namespace zelk::config
