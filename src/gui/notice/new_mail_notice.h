#pragma once
#include <QDialog>
#include <functional>

namespace zelk::gui {

// "You've got new mail!": a small window over everything, shown without taking the focus unless
// asked to. Yes and No (closing counts as No) go to `answered`.
class NewMailNotice final : public QDialog {
 public:
  explicit NewMailNotice(std::function<void(bool yes)> answered);
  void ShowCentred(bool activate);

 protected:
  void reject() override;

 private:
  void Answer(bool yes);
  std::function<void(bool)> answered_;
};

}  // namespace zelk::gui
