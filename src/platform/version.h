#pragma once

namespace zelk::platform {

// The program's name and version as it shows them (About, the notice's title, --version) and as
// it signs the mail it sends (X-Mailer).
inline constexpr char kVersionText[] = "Zelk Ver 1.0.1 (UK fix-1)";

}  // namespace zelk::platform
