#include "config/settings.h"

#include <algorithm>
#include <optional>
#include <type_traits>

#include "config/password.h"
#include "config/profile_file.h"
#include "platform/files.h"
#include "store/mailbox_file.h"

namespace zelk::config {

namespace {

using store::MailBox;
using store::OptionalText;

constexpr char kProfileName[] = "Zelk.ini";
constexpr char kGeneral[] = "GENERAL";
constexpr char kRasInfo[] = "RASINFO";
constexpr std::size_t kTextSize = 255;          // texts hold at most 254 characters
constexpr std::size_t kMultiLineSize = 1023;    // stored form of a multi-line text
constexpr std::size_t kSignatureSize = 32767;
// A damaged profile must not make the program create millions of accounts or filters.
constexpr int kMaxListCount = 10000;

// Multi-line texts are stored on one line: TAB as \t, line feed as \n, backslash doubled, CR dropped.
Text EscapeMultiLine(std::string_view text) {
  Text out;
  for (const char c : text) {
    if (c == '\t') {
      out += "\\t";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c != '\r') {
      out += c;
    }
  }
  return out;
}

// \n gives CR LF; an unknown escape is dropped with its character, as is a backslash at the end.
Text UnescapeMultiLine(std::string_view stored) {
  Text out;
  for (std::size_t i = 0; i < stored.size(); ++i) {
    if (stored[i] != '\\') {
      out += stored[i];
      continue;
    }
    if (++i == stored.size()) break;
    if (stored[i] == '\\') out += '\\';
    if (stored[i] == 'n') out += "\r\n";
    if (stored[i] == 't') out += '\t';
  }
  return out;
}

Text Numbered(std::string_view prefix, int n, std::string_view suffix = {}) {
  return Text(prefix) + std::to_string(n) + Text(suffix);
}

// --- One list of keys, walked by a reader and by a writer, so both keep the same order. ---

class Reader {
 public:
  Reader(const profile::ProfileFile& profile, Text section) : profile_(profile), section_(std::move(section)) {}
  void Int(std::string_view key, int& field) { field = profile::GetInt(profile_, section_, key, field); }
  void String(std::string_view key, Text& field, std::size_t size = kTextSize) {
    field = profile::GetString(profile_, section_, key, field, size);
  }
  void String(std::string_view key, OptionalText& field, std::size_t size = kTextSize) {
    field = profile::GetString(profile_, section_, key, field.value_or(Text()), size);
  }
  template <typename Field>
  void MultiLine(std::string_view key, Field& field, std::size_t size = kMultiLineSize) {
    const Text stored = profile::GetString(profile_, section_, key, EscapeMultiLine(Value(field)), size);
    field = UnescapeMultiLine(stored);
  }
  template <typename Field>
  void Scrambled(std::string_view key, Field& field, std::string_view keyText) {
    field = DecodePassword(keyText, profile::GetString(profile_, section_, key, "", kTextSize));
  }
  // A value this program does not know reads as no TLS, as an absent key does.
  void Mode(std::string_view key, store::TlsMode& field) {
    const int value = profile::GetInt(profile_, section_, key, static_cast<int>(field));
    field = value == static_cast<int>(store::TlsMode::kImplicit) || value == static_cast<int>(store::TlsMode::kStartTls)
                ? static_cast<store::TlsMode>(value)
                : store::TlsMode::kNone;
  }
  int Count(std::string_view key) {
    return std::clamp(profile::GetInt(profile_, section_, key, 0), 0, kMaxListCount);
  }
  const profile::ProfileFile& profile() const { return profile_; }
  const Text& section() const { return section_; }

  static const Text& Value(const Text& field) { return field; }
  static Text Value(const OptionalText& field) { return field.value_or(Text()); }

 private:
  const profile::ProfileFile& profile_;
  Text section_;
};

class Writer {
 public:
  Writer(profile::ProfileFile& profile, Text section) : profile_(profile), section_(std::move(section)) {}
  void Int(std::string_view key, int field) { profile::SetInt(profile_, section_, key, field); }
  void Mode(std::string_view key, store::TlsMode field) { Int(key, static_cast<int>(field)); }
  void String(std::string_view key, const Text& field, std::size_t = kTextSize) {
    profile::SetString(profile_, section_, key, field);
  }
  void String(std::string_view key, const OptionalText& field, std::size_t = kTextSize) {
    profile::SetString(profile_, section_, key, field);
  }
  template <typename Field>
  void MultiLine(std::string_view key, const Field& field, std::size_t = kMultiLineSize) {
    profile::SetString(profile_, section_, key, EscapeMultiLine(Reader::Value(field)));
  }
  template <typename Field>
  void Scrambled(std::string_view key, const Field& field, std::string_view keyText) {
    profile::SetString(profile_, section_, key, EncodePassword(keyText, Reader::Value(field)));
  }
  profile::ProfileFile& profile() { return profile_; }
  const Text& section() const { return section_; }

 private:
  profile::ProfileFile& profile_;
  Text section_;
};

// The GENERAL keys in file order. RasInfoCnt and MailBoxCnt are counts of lists kept elsewhere;
// `counts` receives them on reading and supplies them on writing.
struct Counts {
  int rasInfo = 0;
  int mailBoxes = 0;
};

template <typename S, typename V>
void VisitGeneral(S& s, V& v, Counts& counts) {
  v.String("DataFileDir", s.DataFileDir);
  v.Int("SocLog", s.SocLog);
  v.String("FontName", s.FontName);
  v.Int("FontSize", s.FontSize);
  v.Int("FontCharset", s.FontCharset);
  v.String("LvFontName", s.LvFontName);
  v.Int("LvFontSize", s.LvFontSize);
  v.Int("LvFontCharset", s.LvFontCharset);
  v.String("HeadCharset", s.HeadCharset);
  v.Int("HeadEncoding", s.HeadEncoding);
  v.String("BodyCharset", s.BodyCharset);
  v.Int("BodyEncoding", s.BodyEncoding);
  v.String("TimeZone", s.TimeZone);
  v.String("DateFormat", s.DateFormat);
  v.String("TimeFormat", s.TimeFormat);
  v.Int("ShowTrayIcon", s.ShowTrayIcon);
  v.Int("StartHide", s.StartHide);
  v.Int("MinsizeHide", s.MinsizeHide);
  v.Int("CloseHide", s.CloseHide);
  v.Int("TrayIconToggle", s.TrayIconToggle);
  v.Int("StartInit", s.StartInit);
  v.Int("LvDefSelectPos", s.LvDefSelectPos);
  v.Int("LvAutoSort", s.LvAutoSort);
  v.Int("LvSortItem", s.LvSortItem);
  v.Int("LvThreadView", s.LvThreadView);
  v.Int("LvStyle", s.LvStyle);
  v.Int("LvStyleEx", s.LvStyleEx);
  v.Int("MoveAllMailBox", s.MoveAllMailBox);
  v.Int("RecvScroll", s.RecvScroll);
  v.Int("SaveMsg", s.SaveMsg);
  v.Int("AutoSave", s.AutoSave);
  v.Int("StartPass", s.StartPass);
  v.Int("ShowPass", s.ShowPass);
  v.Scrambled("pw", s.pw, "_qz_");
  for (int i = 0; i < 4; ++i) v.Int(Numbered("LvColSize-", i), s.LvColSize[static_cast<std::size_t>(i)]);
  for (int i = 0; i < 2; ++i) v.Int(Numbered("AddColSize-", i), s.AddColSize[static_cast<std::size_t>(i)]);
  v.Int("ShowHeader", s.ShowHeader);
  v.Int("ListGetLine", s.ListGetLine);
  v.Int("ListDownload", s.ListDownload);
  v.Int("ListSaveMode", s.ListSaveMode);
  v.Int("WordBreakFlag", s.WordBreakFlag);
  v.Int("EditWordBreakFlag", s.EditWordBreakFlag);
  v.Int("ViewShowDate", s.ViewShowDate);
  v.Int("MatchCase", s.MatchCase);
  v.Int("AllFind", s.AllFind);
  v.Int("SubjectFind", s.SubjectFind);
  v.Int("ESMTP", s.ESMTP);
  v.String("SendHelo", s.SendHelo);
  v.Int("SendMessageId", s.SendMessageId);
  v.Int("SendDate", s.SendDate);
  v.Int("SelectSendBox", s.SelectSendBox);
  v.Int("PopBeforeSmtpIsLoginOnly", s.PopBeforeSmtpIsLoginOnly);
  v.Int("PopBeforeSmtpWait", s.PopBeforeSmtpWait);
  v.Int("AutoQuotation", s.AutoQuotation);
  v.String("QuotationChar", s.QuotationChar);
  v.Int("WordBreakSize", s.WordBreakSize);
  v.Int("QuotationBreak", s.QuotationBreak);
  v.String("ReSubject", s.ReSubject);
  v.MultiLine("ReHeader", s.ReHeader);
  v.String("Bura", s.Bura);
  v.String("Oida", s.Oida);
  v.String("sBura", s.sBura);
  v.String("sOida", s.sOida);
  v.Int("IPCache", s.IPCache);
  v.Int("EncodeType", s.EncodeType);
  v.Int("ShowNewMailMessage", s.ShowNewMailMessage);
  v.Int("ShowNoMailMessage", s.ShowNoMailMessage);
  v.Int("ActiveNewMailMessage", s.ActiveNewMailMessage);
  v.Int("NewMailSound", s.NewMailSound);
  v.String("NewMailSoundFile", s.NewMailSoundFile);
  v.Int("ExecEndSound", s.ExecEndSound);
  v.String("ExecEndSoundFile", s.ExecEndSoundFile);
  v.Int("AutoCheck", s.AutoCheck);
  v.Int("AutoCheckTime", s.AutoCheckTime);
  v.Int("StartCheck", s.StartCheck);
  v.Int("CheckAfterUpdate", s.CheckAfterUpdate);
  v.Int("SocIgnoreError", s.SocIgnoreError);
  v.Int("SendIgnoreError", s.SendIgnoreError);
  v.Int("CheckEndExec", s.CheckEndExec);
  v.Int("CheckEndExecNoDelMsg", s.CheckEndExecNoDelMsg);
  v.Int("TimeoutInterval", s.TimeoutInterval);
  v.Int("ViewClose", s.ViewClose);
  v.String("ViewApp", s.ViewApp);
  v.String("ViewAppCmdLine", s.ViewAppCmdLine);
  v.String("ViewFileSuffix", s.ViewFileSuffix);
  v.MultiLine("ViewFileHeader", s.ViewFileHeader);
  v.Int("ViewAppClose", s.ViewAppClose);
  v.Int("DefViewApp", s.DefViewApp);
  v.String("EditApp", s.EditApp);
  v.String("EditAppCmdLine", s.EditAppCmdLine);
  v.String("EditFileSuffix", s.EditFileSuffix);
  v.Int("DefEditApp", s.DefEditApp);
  v.String("URLApp", s.URLApp);
  v.Int("EnableLAN", s.EnableLAN);
  v.Int("RasCon", s.RasCon);
  v.Int("RasCheckEndDisCon", s.RasCheckEndDisCon);
  v.Int("RasEndDisCon", s.RasEndDisCon);
  v.Int("RasNoCheck", s.RasNoCheck);
  v.Int("RasWaitSec", s.RasWaitSec);
  v.Int("RasInfoCnt", counts.rasInfo);
  v.Int("MailBoxCnt", counts.mailBoxes);
  // Keys added later come after the ones above, so older profiles read the same.
  v.String("UndeclaredCharset", s.UndeclaredCharset);
  v.Int("WindowLeft", s.WindowLeft);
  v.Int("WindowTop", s.WindowTop);
  v.Int("WindowWidth", s.WindowWidth);
  v.Int("WindowHeight", s.WindowHeight);
}

template <typename S, typename V>
void VisitRasInfo(S& entry, V& v, int n) {
  v.String(Numbered("RASINFO-", n, "_RasEntry"), entry.RasEntry);
  v.String(Numbered("RASINFO-", n, "_RasUser"), entry.RasUser);
  v.Scrambled(Numbered("RASINFO-", n, "_RasPass"), entry.RasPass, entry.RasUser);
}

template <typename R, typename V>
void VisitFilter(R& rule, V& v, int n) {
  v.Int(Numbered("FILTER-", n, "_Enable"), rule.Enable);
  v.Int(Numbered("FILTER-", n, "_Action"), rule.Action);
  v.String(Numbered("FILTER-", n, "_Header1"), rule.Header1);
  v.String(Numbered("FILTER-", n, "_Content1"), rule.Content1);
  v.String(Numbered("FILTER-", n, "_Header2"), rule.Header2);
  v.String(Numbered("FILTER-", n, "_Content2"), rule.Content2);
}

// What the account keys do that is not a plain read or write differs between the two ways.
struct AccountReading {
  bool startInit;
};
struct AccountWriting {
  bool full;
};

void LastSeen(MailBox& box, Reader& v, const AccountReading& how) {
  if (how.startInit) {
    box.LastMessageId.reset();
    box.LastNo = -1;
    return;
  }
  box.LastMessageId = platform::TextToLocal(profile::GetString(v.profile(), v.section(), "LastMessageId", "", kTextSize));
  v.Int("LastNo", box.LastNo);
}

void LastSeen(const MailBox& box, Writer& v, const AccountWriting& how) {
  if (!how.full) return;
  // Written even when empty: the profile keeps keys it is not given, so a forgotten identifier
  // (initialised, or another account's after a delete or a move) would otherwise come back.
  v.String("LastMessageId", platform::LocalToText(box.LastMessageId.value_or("")));
  v.Int("LastNo", box.LastNo);
}

void SignatureKey(MailBox& box, Reader& v, const AccountReading&) { v.MultiLine("Signature", box.Signature, kSignatureSize); }

void SignatureKey(const MailBox& box, Writer& v, const AccountWriting&) {
  if (box.Signature) v.MultiLine("Signature", box.Signature);
}

void FilterKeys(MailBox& box, Reader& v, const AccountReading&) {
  const int count = v.Count("FilterCnt");
  const int flag = profile::GetInt(v.profile(), v.section(), "FilterFlag", -1);
  box.Filters.assign(static_cast<std::size_t>(count), store::FilterRule{});
  for (int n = 0; n < count; ++n) {
    store::FilterRule& rule = box.Filters[static_cast<std::size_t>(n)];
    VisitFilter(rule, v, n);
    if (flag != -1) rule.Action = flag;
  }
}

void FilterKeys(const MailBox& box, Writer& v, const AccountWriting&) {
  v.Int("FilterCnt", static_cast<int>(box.Filters.size()));
  for (std::size_t n = 0; n < box.Filters.size(); ++n) VisitFilter(box.Filters[n], v, static_cast<int>(n));
}

template <typename B, typename V, typename How>
void VisitAccount(B& box, V& v, const How& how) {
  v.String("Name", box.Name);
  v.String("Server", box.Server);
  v.Int("Port", box.Port);
  v.String("User", box.User);
  v.Scrambled("Pass", box.Pass, Reader::Value(box.User));
  v.Int("APOP", box.APOP);
  v.Int("MailCnt", box.MailCnt);
  v.Int("MailSize", box.MailSize);
  LastSeen(box, v, how);
  v.Int("CyclicFlag", box.CyclicFlag);
  v.String("SmtpServer", box.SmtpServer);
  v.Int("SmtpPort", box.SmtpPort);
  v.String("UserName", box.UserName);
  v.String("MailAddress", box.MailAddress);
  SignatureKey(box, v, how);
  v.String("ReplyTo", box.ReplyTo);
  v.Int("MyAddr2Bcc", box.MyAddr2Bcc);
  v.String("BccAddr", box.BccAddr);
  v.Int("PopBeforeSmtp", box.PopBeforeSmtp);
  v.Int("SmtpAuth", box.SmtpAuth);
  v.Int("SmtpAuthType", box.SmtpAuthType);
  v.Int("AuthUserPass", box.AuthUserPass);
  v.String("SmtpUser", box.SmtpUser);
  v.Scrambled("SmtpPass", box.SmtpPass, Reader::Value(box.SmtpUser));
  v.Int("FilterEnable", box.FilterEnable);
  FilterKeys(box, v, how);
  v.Int("RasMode", box.RasMode);
  v.String("RasEntry", box.RasEntry);
  v.Int("RasReCon", box.RasReCon);
  // Keys added later come after the ones above, so older profiles read the same.
  v.Mode("PopTls", box.PopTls);
  v.String("PopFingerprint", box.PopFingerprint);
  v.Mode("SmtpTls", box.SmtpTls);
  v.String("SmtpFingerprint", box.SmtpFingerprint);
}

std::string MailBoxFile(const std::string& dataDirectory, int account) {
  return dataDirectory + Numbered("MailBox", account, ".dat");
}

std::string ProfilePath(const std::string& homeDirectory) { return homeDirectory + kProfileName; }

}  // namespace

LoadResult LoadSettings(const std::string& homeDirectory, Settings& settings, store::MailBoxTable& table,
                        store::SelectorPort& selector) {
  settings = Settings{};
  profile::ProfileFile file;
  // A profile that cannot be read leaves every setting at its default.
  (void)profile::Load(file, ProfilePath(homeDirectory));

  Reader general(file, kGeneral);
  Counts counts;
  VisitGeneral(settings, general, counts);
  settings.DataFileDir = settings.DataFileDir.empty() ? Text() : store::DataDirectory(settings.DataFileDir, homeDirectory);
  const std::string dataDirectory = DataDirectoryPath(settings, homeDirectory);
  settings.TimeoutInterval = std::max(settings.TimeoutInterval, 1);

  Reader ras(file, kRasInfo);
  settings.RasInfos.assign(static_cast<std::size_t>(std::clamp(counts.rasInfo, 0, kMaxListCount)), RasInfo{});
  for (std::size_t n = 0; n < settings.RasInfos.size(); ++n) VisitRasInfo(settings.RasInfos[n], ras, static_cast<int>(n));

  LoadResult result{true, false};
  const int accounts = std::clamp(counts.mailBoxes, 0, kMaxListCount);
  for (int i = 0; i < accounts; ++i) {
    MailBox& box = *table.boxes[static_cast<std::size_t>(store::AddMailBox(table, selector))];
    Reader section(file, Numbered("MAILBOX-", i));
    VisitAccount(box, section, AccountReading{settings.StartInit == 1});
    if (!store::LoadMailBox(MailBoxFile(dataDirectory, i), box)) {
      result.ok = false;
      return result;
    }
  }
  if (accounts == 0) {
    store::AddMailBox(table, selector);
    result.needsAccountSetup = true;
  }
  return result;
}

namespace {

// The profile; with full also the counters and the mailbox files: every account's (`only` -1) or
// the one at table index `only`.
bool SaveProfile(const std::string& homeDirectory, const Settings& settings, const store::MailBoxTable& table,
                 bool full, int only) {
  profile::ProfileFile file;
  // Loading first keeps comments and keys this program does not know.
  (void)profile::Load(file, ProfilePath(homeDirectory));

  std::vector<const RasInfo*> named;
  for (const RasInfo& entry : settings.RasInfos) {
    if (!entry.RasEntry.empty()) named.push_back(&entry);
  }
  Counts counts{static_cast<int>(named.size()), store::AccountCount(table)};
  Writer general(file, kGeneral);
  VisitGeneral(settings, general, counts);

  Writer ras(file, kRasInfo);
  for (std::size_t n = 0; n < named.size(); ++n) VisitRasInfo(*named[n], ras, static_cast<int>(n));

  for (int i = 0; i < counts.mailBoxes; ++i) {
    Writer section(file, Numbered("MAILBOX-", i));
    VisitAccount(*table.boxes[static_cast<std::size_t>(i + store::kFirstAccountIndex)], section, AccountWriting{full});
  }
  // The mailbox files go first: cut off between the two, the profile's counters still point
  // before the mail the files already hold, so the next check fetches it again instead of
  // never.
  bool ok = true;
  const std::string dataDirectory = DataDirectoryPath(settings, homeDirectory);
  if (full) {
    for (int i = 0; i < counts.mailBoxes; ++i) {
      if (only >= 0 && i + store::kFirstAccountIndex != only) continue;
      const MailBox& box = *table.boxes[static_cast<std::size_t>(i + store::kFirstAccountIndex)];
      ok = store::SaveMailBox(MailBoxFile(dataDirectory, i), box, settings.ListSaveMode) && ok;
    }
  }
  ok = profile::Save(file, ProfilePath(homeDirectory)) && ok;
  if (full) {
    // Files of positions no account holds any more (after a delete) would become the mail of the
    // next account added there.
    for (int i = counts.mailBoxes; only < 0 && platform::FileSize(MailBoxFile(dataDirectory, i)); ++i) {
      ok = platform::DeleteFile(MailBoxFile(dataDirectory, i)) && ok;
    }
  }
  return ok;
}

}  // namespace

bool SaveSettings(const std::string& homeDirectory, const Settings& settings, const store::MailBoxTable& table,
                  bool full) {
  return SaveProfile(homeDirectory, settings, table, full, -1);
}

bool SaveAccountProgress(const std::string& homeDirectory, const Settings& settings, const store::MailBoxTable& table,
                         int account) {
  return SaveProfile(homeDirectory, settings, table, true, account);
}

std::string DataDirectoryPath(const Settings& settings, const std::string& homeDirectory) {
  return platform::TextToLocal(store::DataDirectory(settings.DataFileDir, homeDirectory));
}

int FindRasInfo(const Settings& settings, const Text& name) {
  if (name.empty()) return -1;
  for (std::size_t i = 0; i < settings.RasInfos.size(); ++i) {
    if (settings.RasInfos[i].RasEntry == name) return static_cast<int>(i);
  }
  return -1;
}

void SetRasInfo(Settings& settings, const Text& name, const Text& user, const Text& password) {
  if (name.empty()) return;
  const int index = FindRasInfo(settings, name);
  if (index < 0) {
    settings.RasInfos.push_back({name, user, password});
  } else {
    settings.RasInfos[static_cast<std::size_t>(index)].RasUser = user;
    settings.RasInfos[static_cast<std::size_t>(index)].RasPass = password;
  }
}

store::ParseContext ParseContextFor(const Settings& settings, std::int32_t localOffset) {
  store::ParseContext context;
  context.localOffset = localOffset;
  context.pictures = {settings.DateFormat, settings.TimeFormat};
  context.keepHeader = settings.ShowHeader == 1;
  context.fallbackCharset = settings.UndeclaredCharset;
  return context;
}

}  // namespace zelk::config
