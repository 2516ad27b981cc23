#include "platform/iconv_converter.h"

#include <algorithm>
#include <cerrno>
#include <memory>
#include <strings.h>
#include <vector>

#include "platform/utf8.h"

namespace zelk::platform {

IconvConverter::IconvConverter(const std::string& to, const std::string& from) : cd_(iconv_open(to.c_str(), from.c_str())) {}

IconvConverter::~IconvConverter() {
  if (ok()) iconv_close(cd_);
}

bool IconvConverter::ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

void IconvConverter::Reset() { iconv(cd_, nullptr, nullptr, nullptr, nullptr); }

IconvConverter::Stop IconvConverter::Run(std::string_view in, std::string& out) {
  char* inPos = const_cast<char*>(in.data());
  std::size_t inLeft = in.size();
  for (;;) {
    const std::size_t start = out.size();
    const std::size_t room = inLeft * 4 + 16;
    out.resize(start + room);
    char* outPos = out.data() + start;
    std::size_t outLeft = room;
    const std::size_t result = iconv(cd_, &inPos, &inLeft, &outPos, &outLeft);
    const int error = result == static_cast<std::size_t>(-1) ? errno : 0;
    out.resize(static_cast<std::size_t>(outPos - out.data()));
    if (error == E2BIG) continue;
    return {in.size() - inLeft, error};
  }
}

void IconvConverter::Flush(std::string& out) {
  char buffer[32];
  char* outPos = buffer;
  std::size_t outLeft = sizeof buffer;
  iconv(cd_, nullptr, nullptr, &outPos, &outLeft);
  out.append(buffer, static_cast<std::size_t>(outPos - buffer));
}

bool IsUtf8Name(std::string_view name) {
  return (name.size() == 5 && strncasecmp(name.data(), "UTF-8", 5) == 0) ||
         (name.size() == 4 && strncasecmp(name.data(), "UTF8", 4) == 0);
}

namespace {

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

// iconv reads "//TRANSLIT", "//IGNORE" and commas after a name as options; mail is not allowed to
// choose them.
bool PlainName(const std::string& name) { return !name.empty() && name.find_first_of("/,") == std::string::npos; }

// A few descriptors per thread, most recently used last. Header words and bodies ask for the same
// handful of pairs over and over.
class DescriptorCache {
 public:
  IconvConverter* Get(const std::string& to, const std::string& from) {
    const auto hit = std::find_if(entries_.begin(), entries_.end(),
                                  [&](const Entry& e) { return e.to == to && e.from == from; });
    if (hit != entries_.end()) {
      std::rotate(hit, hit + 1, entries_.end());
      return entries_.back().converter.get();
    }
    auto converter = std::make_unique<IconvConverter>(to, from);
    if (!converter->ok()) return nullptr;
    if (entries_.size() == kCapacity) entries_.erase(entries_.begin());
    entries_.push_back({to, from, std::move(converter)});
    return entries_.back().converter.get();
  }

 private:
  // At least two, so that fetching an encoder never evicts the decoder fetched just before.
  static constexpr std::size_t kCapacity = 12;
  struct Entry {
    std::string to;
    std::string from;
    std::unique_ptr<IconvConverter> converter;
  };
  std::vector<Entry> entries_;
};

DescriptorCache& Cache() {
  thread_local DescriptorCache cache;
  return cache;
}

}  // namespace

// Decodes into UTF-8 first and encodes from there, so that a byte that does not decode and a
// character that the target lacks can be told apart (iconv reports both as EILSEQ).
Conversion ConvertCharset(std::string_view bytes, const std::string& from, const std::string& to,
                          Unrepresentable unrepresentable) {
  using Status = Conversion::Status;
  if (!PlainName(from) || !PlainName(to)) return {Status::kUnknownCharset, {}};
  IconvConverter* const decoder = Cache().Get("UTF-8", from);
  if (decoder == nullptr) return {Status::kUnknownCharset, {}};
  IconvConverter* encoder = nullptr;
  if (!IsUtf8Name(to)) {
    encoder = Cache().Get(to, "UTF-8");
    if (encoder == nullptr) return {Status::kUnknownCharset, {}};
    encoder->Reset();
  }
  decoder->Reset();

  std::string out;
  out.reserve(bytes.size());
  // Appends UTF-8 text in the target charset; false when a character has no place there.
  auto emit = [&](std::string_view utf8) {
    if (encoder == nullptr) {
      out += utf8;
      return true;
    }
    for (std::size_t pos = 0; pos < utf8.size();) {
      const IconvConverter::Stop stop = encoder->Run(utf8.substr(pos), out);
      pos += stop.consumed;
      if (stop.error == 0) break;
      if (unrepresentable == Unrepresentable::kFail) return false;
      pos += DecodeUtf8At(utf8, pos).length;
      encoder->Run("?", out);
    }
    return true;
  };
  auto replaceUndecodable = [&] {
    if (encoder == nullptr) {
      out += kReplacementCharacter;
    } else if (encoder->Run(kReplacementCharacter, out).error != 0) {
      encoder->Run("?", out);
    }
  };

  std::string utf8;
  for (std::size_t pos = 0;;) {
    utf8.clear();
    const IconvConverter::Stop stop = decoder->Run(bytes.substr(pos), utf8);
    pos += stop.consumed;
    if (!emit(utf8)) return {Status::kUnrepresentable, {}};
    if (stop.error == 0) break;
    replaceUndecodable();
    // EINVAL: the text ends inside a character. Otherwise skip the byte that did not decode and
    // go on in the same shift state.
    if (stop.error == EINVAL || ++pos >= bytes.size()) break;
  }
  utf8.clear();
  decoder->Flush(utf8);
  if (!emit(utf8)) return {Status::kUnrepresentable, {}};
  if (encoder != nullptr) encoder->Flush(out);
  return {Status::kDone, std::move(out)};
}

}  // namespace zelk::platform
