#pragma once
#include <QLocalServer>
#include <QString>
#include <functional>
#include <string>

namespace zelk::gui {

// One running program per home directory. The first start listens on a local socket there; a
// second start hands its command line over (empty when it had none) and ends once the first has
// taken it, so a command line is never lost while the first is busy.
class SingleInstance {
 public:
  explicit SingleInstance(const std::string& homeDirectory);

  enum class Role { kFirst, kHandedOver, kFailed };
  // Becomes the first instance, or hands `commandLine` to the one that is.
  Role Claim(const std::string& commandLine);
  // Called for every command line a later start hands over.
  std::function<void(const std::string& commandLine)> received;

  const QString& path() const { return path_; }

 private:
  bool HandOver(const std::string& commandLine) const;
  void Accept();

  QString path_;
  QLocalServer server_;
};

}  // namespace zelk::gui
