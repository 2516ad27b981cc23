#include "config/sheet_fields.h"

#include "platform/utf8.h"

namespace zelk::config {

platform::Text CutField(std::string_view text) { return platform::Text(platform::CutToUtf16Units(text, kFieldLimit)); }

platform::Text FieldText(const store::OptionalText& value) { return value.value_or(platform::Text()); }

}  // namespace zelk::config
