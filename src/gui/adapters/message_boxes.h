#pragma once
#include <QWidget>

#include "ports/ports.h"

namespace zelk::gui {

// Message boxes and the password prompt as Qt dialogs over the main window. They are modal;
// timers and the conversation keep running beneath them.
class MessageBoxes final : public ports::DialogPort {
 public:
  explicit MessageBoxes(QWidget* parent) : parent_(parent) {}

  ports::Answer ShowMessage(const platform::Text& title, const platform::Text& text, ports::MessageIcon icon,
                            ports::MessageButtons buttons, bool defaultNo = false) override;
  std::optional<Password> AskPassword(const platform::Text& title) override;

 private:
  QWidget* parent_;
};

}  // namespace zelk::gui
