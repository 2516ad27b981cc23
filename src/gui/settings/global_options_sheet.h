#pragma once
#include <functional>
#include <vector>

#include "config/options_sheet.h"
#include "gui/settings/sheet_widgets.h"

namespace zelk::gui {

// "Global Options": the pages "Recv", "Send", "Reply", "Check", "Dial-up" and "Other". OK stores
// the pages that were shown into the settings.
class GlobalOptionsSheet final : public PropertySheet {
 public:
  GlobalOptionsSheet(config::Settings& settings, QWidget* parent);

 private:
  bool Confirm() override;
  void BuildRecv(QWidget& page);
  void BuildSend(QWidget& page);
  void BuildReply(QWidget& page);
  void BuildCheck(QWidget& page);
  void BuildDialUp(QWidget& page);
  void BuildOther(QWidget& page);

  config::Settings& settings_;
  config::OptionsSheet sheet_;
  // What each shown page does on OK: its controls into sheet_.
  std::vector<std::function<void()>> collectors_;
};

}  // namespace zelk::gui
