#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace zelk::net {

// The bytes a connection still has to send: appended behind, taken from the front as the peer
// accepts them.
class SendQueue {
 public:
  void Append(std::string_view bytes) {
    // Compacted only when empty or mostly sent, so a large message is not moved for every command.
    if (sent_ == bytes_.size()) {
      Clear();
    } else if (sent_ > bytes_.size() / 2) {
      bytes_.erase(0, sent_);
      sent_ = 0;
    }
    bytes_.append(bytes);
  }
  std::string_view waiting() const { return std::string_view(bytes_).substr(sent_); }
  void Taken(std::size_t count) { sent_ += count; }
  void Clear() {
    bytes_.clear();
    sent_ = 0;
  }
  std::size_t size() const { return bytes_.size() - sent_; }

 private:
  std::string bytes_;
  std::size_t sent_ = 0;  // bytes at the front already taken by the peer
};

}  // namespace zelk::net
