#include "net/nmcli_link.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "platform/files.h"
#include "platform/process.h"
#include "platform/utf8.h"

namespace zelk::net {
namespace {

constexpr std::size_t kMaxErrorUnits = 255;

// The fields of one line of nmcli's terse output: separated by ":", with "\:" and "\\" standing
// for the characters themselves.
std::vector<std::string> TerseFields(std::string_view line) {
  std::vector<std::string> fields(1);
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '\\' && i + 1 < line.size()) {
      fields.back() += line[++i];
    } else if (line[i] == ':') {
      fields.emplace_back();
    } else {
      fields.back() += line[i];
    }
  }
  return fields;
}

std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (!line.empty()) lines.push_back(line);
    text.remove_prefix(std::min(end + 1, text.size()));
  }
  return lines;
}

// The setting that holds the password of a profile of this type, for nmcli's passwd-file; empty
// where the secret has another name or the type takes no password.
std::string PasswordSetting(std::string_view type) {
  if (type == "gsm" || type == "cdma" || type == "pppoe") return std::string(type) + ".password";
  return {};
}

// A file only this user can read, created anew (never an existing one or a planted link).
std::string WritePrivateFile(std::string_view bytes) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  const char* temporary = std::getenv("TMPDIR");
  std::string path = runtime != nullptr && *runtime != '\0'     ? runtime
                     : temporary != nullptr && *temporary != '\0' ? temporary
                                                                  : "/tmp";
  path += "/zelk-dial-XXXXXX";
  const int fd = ::mkstemp(path.data());
  if (fd < 0) return {};
  bool written = true;
  while (!bytes.empty() && written) {
    const ssize_t done = ::write(fd, bytes.data(), bytes.size());
    written = done > 0;
    if (written) bytes.remove_prefix(static_cast<std::size_t>(done));
  }
  ::close(fd);
  if (written) return path;
  platform::DeleteFile(path);
  return {};
}

// What nmcli said last, which is its error, within the length of a status text.
platform::Text ErrorText(const std::string& output, std::optional<int> status) {
  const std::vector<std::string_view> lines = Lines(output);
  if (lines.empty()) return status ? "Dial-up connection failed" : "Dial-up was cut or line dropped";
  return std::string(platform::CutToUtf16Units(platform::LocalToText(lines.back()), kMaxErrorUnits));
}

}  // namespace

struct NmcliLink::Activation {
  std::unique_ptr<platform::ChildProcess> child;  // none: the profile was up already
  std::string output;
  Progress progress;
  std::string passwordFile;

  Activation() = default;
  Activation(const Activation&) = delete;
  Activation& operator=(const Activation&) = delete;
  ~Activation() {
    child.reset();
    if (!passwordFile.empty()) platform::DeleteFile(passwordFile);
  }
};

NmcliLink::NmcliLink(platform::EventLoop& loop, std::string_view program)
    : loop_(loop), program_(platform::FindProgram(program)) {}

NmcliLink::~NmcliLink() { EndActivation(); }

std::optional<std::vector<NmcliLink::Profile>> NmcliLink::Profiles(bool active) const {
  if (!program_) return std::nullopt;
  std::vector<std::string> argv{*program_, "-t", "-e", "yes", "-f", "NAME,TYPE,STATE", "connection", "show"};
  if (active) argv.push_back("--active");
  const std::optional<platform::ProcessResult> result = platform::RunProcess(argv);
  if (!result || result->exitStatus != 0) return std::nullopt;
  std::vector<Profile> profiles;
  for (const std::string_view line : Lines(result->output)) {
    std::vector<std::string> fields = TerseFields(line);
    fields.resize(3);
    if (fields[0].empty() || fields[1] == "loopback") continue;
    profiles.push_back({platform::LocalToText(fields[0]), std::move(fields[1]), std::move(fields[2])});
  }
  return profiles;
}

std::vector<platform::Text> NmcliLink::Entries() {
  std::vector<platform::Text> names;
  for (Profile& profile : Profiles(false).value_or(std::vector<Profile>{})) names.push_back(std::move(profile.name));
  return names;
}

std::optional<std::vector<platform::Text>> NmcliLink::ActiveEntries() {
  std::optional<std::vector<Profile>> profiles = Profiles(true);
  if (!profiles) return std::nullopt;
  std::vector<platform::Text> names;
  for (Profile& profile : *profiles) {
    if (profile.state == "activated") names.push_back(std::move(profile.name));
  }
  return names;
}

bool NmcliLink::Dial(const platform::Text& entry, const platform::Text& /*user*/, const platform::Text& password,
                     Progress progress, platform::Text& error) {
  EndActivation();
  dialled_.reset();
  if (!program_) {
    error = "Dial-up connection failed";
    return false;
  }
  auto activation = std::make_shared<Activation>();
  activation->progress = std::move(progress);
  const std::weak_ptr<Activation> reported = activation;
  const auto report = [this, reported](DialEvent event) {
    loop_.Post([reported, event] {
      if (const std::shared_ptr<Activation> live = reported.lock()) live->progress(event);
    });
  };

  std::string setting;
  bool up = false;
  for (const Profile& profile : Profiles(false).value_or(std::vector<Profile>{})) {
    if (profile.name != entry) continue;
    setting = PasswordSetting(profile.type);
    up = up || profile.state == "activated";
  }
  if (up) {
    // Up through someone else: used as it is, and never ours to take down.
    activation_ = std::move(activation);
    report({DialState::kConnected, {}});
    return true;
  }

  std::vector<std::string> argv{*program_, "connection", "up", "id", platform::TextToLocal(entry)};
  // A line break would let the password write further settings into the file.
  if (!password.empty() && !setting.empty() && password.find_first_of("\r\n") == platform::Text::npos) {
    activation->passwordFile = WritePrivateFile(setting + ":" + password + "\n");
    if (activation->passwordFile.empty()) {
      error = "Dial-up connection failed";
      return false;
    }
    argv.insert(argv.end(), {"passwd-file", activation->passwordFile});
  }
  activation->child = platform::ChildProcess::Start(argv);
  if (!activation->child) {
    error = "Dial-up connection failed";
    return false;
  }
  activation_ = std::move(activation);
  dialled_ = entry;
  loop_.WatchReadable(activation_->child->outputFd(), [this] { OnOutput(); });
  report({DialState::kOpenPort, {}});
  return true;
}

void NmcliLink::OnOutput() {
  const std::shared_ptr<Activation> activation = activation_;
  if (!activation || !activation->child) return;
  if (activation->child->ReadOutput(activation->output)) return;
  loop_.Unwatch(activation->child->outputFd());
  const std::optional<int> status = activation->child->Finish(activation->output);
  activation->child.reset();
  // The password has been read: it does not stay on disk while the connection is up.
  if (!activation->passwordFile.empty()) platform::DeleteFile(activation->passwordFile);
  activation->passwordFile.clear();
  DialEvent event{DialState::kConnected, {}};
  if (status != 0) event.error = ErrorText(activation->output, status);
  activation->progress(event);
}

void NmcliLink::HangUp() {
  EndActivation();
  if (!dialled_) return;
  // Also cancels an activation that NetworkManager goes on with after nmcli was stopped.
  platform::RunProcess({*program_, "connection", "down", "id", platform::TextToLocal(*dialled_)});
  dialled_.reset();
}

void NmcliLink::EndActivation() {
  if (!activation_) return;
  if (activation_->child) loop_.Unwatch(activation_->child->outputFd());
  activation_.reset();
}

}  // namespace zelk::net
