#pragma once
#include <array>
#include <string>
#include <vector>

#include "codec/charset.h"
#include "platform/code_page.h"
#include "store/mailbox_table.h"
#include "store/message_parse.h"

namespace zelk::config {

using platform::Text;

// One dial-up connection and the login it uses; shared by the accounts that name it.
struct RasInfo {
  Text RasEntry;
  Text RasUser;
  Text RasPass;
};

// The program-wide settings, loaded once at start. Fields bear the names of their profile keys.
struct Settings {
  Text DataFileDir;
  int SocLog = 0;
  Text FontName = "Tahoma";
  int FontSize = 9;
  int FontCharset = 1;
  Text LvFontName;
  int LvFontSize = 9;
  int LvFontCharset = 1;
  Text HeadCharset = "ISO-8859-1";
  int HeadEncoding = 3;
  Text BodyCharset = "ISO-8859-1";
  int BodyEncoding = 3;
  Text TimeZone;
  Text DateFormat = "dd/MM/yyyy";
  Text TimeFormat = "HH:mm";
  int ShowTrayIcon = 1;
  int StartHide = 0;
  int MinsizeHide = 0;
  int CloseHide = 0;
  int TrayIconToggle = 0;
  int StartInit = 0;
  int LvDefSelectPos = 1;
  int LvAutoSort = 1;
  int LvSortItem = 3;
  int LvThreadView = 0;
  int LvStyle = 9;
  int LvStyleEx = 1056;
  int MoveAllMailBox = 1;
  int RecvScroll = 1;
  int SaveMsg = 1;
  int AutoSave = 1;
  int StartPass = 0;
  int ShowPass = 0;
  Text pw;
  std::array<int, 4> LvColSize = {150, 100, 110, 50};
  std::array<int, 2> AddColSize = {250, 190};
  int ShowHeader = 0;
  int ListGetLine = 100;
  int ListDownload = 0;
  int ListSaveMode = 2;
  int WordBreakFlag = 1;
  int EditWordBreakFlag = 1;
  int ViewShowDate = 0;
  int MatchCase = 0;
  int AllFind = 1;
  int SubjectFind = 0;
  int ESMTP = 0;
  Text SendHelo;
  int SendMessageId = 1;
  int SendDate = 1;
  int SelectSendBox = 1;
  int PopBeforeSmtpIsLoginOnly = 1;
  int PopBeforeSmtpWait = 300;
  int AutoQuotation = 1;
  Text QuotationChar = "> ";
  int WordBreakSize = 70;
  int QuotationBreak = 1;
  Text ReSubject = "Re: ";
  Text ReHeader = "\r\n%f wrote:\r\n(%d)\r\n";
  Text Bura;
  Text Oida;
  Text sBura = ",.?!%:;)]}\u00A3\u00A1\u00A4\u00DE\u00DF";
  Text sOida = "\\$([{\u00A2";
  int IPCache = 1;
  int EncodeType = 0;
  int ShowNewMailMessage = 1;
  int ShowNoMailMessage = 0;
  int ActiveNewMailMessage = 1;
  int NewMailSound = 1;
  Text NewMailSoundFile;
  int ExecEndSound = 0;
  Text ExecEndSoundFile;
  int AutoCheck = 0;
  int AutoCheckTime = 10;
  int StartCheck = 0;
  int CheckAfterUpdate = 0;
  int SocIgnoreError = 0;
  int SendIgnoreError = 0;
  int CheckEndExec = 0;
  int CheckEndExecNoDelMsg = 1;
  int TimeoutInterval = 3;
  int ViewClose = 1;
  Text ViewApp;
  Text ViewAppCmdLine;
  Text ViewFileSuffix = "txt";
  Text ViewFileHeader = "From: %f\r\nTo: %t\r\nCc: %c\r\nSubject: %s\r\nDate: %d\r\n\r\n";
  int ViewAppClose = 0;
  int DefViewApp = 0;
  Text EditApp;
  Text EditAppCmdLine;
  Text EditFileSuffix = "txt";
  int DefEditApp = 0;
  Text URLApp;  // empty: the desktop's browser (xdg-open)
  int EnableLAN = 0;
  int RasCon = 1;
  int RasCheckEndDisCon = 1;
  int RasEndDisCon = 1;
  int RasNoCheck = 1;
  int RasWaitSec = 5;
  // What received text that declares no charset and is no UTF-8 is shown in.
  Text UndeclaredCharset = Text(codec::kDefaultUndeclaredCharset);
  // Where the desktop program's main window was left; a width of 0: never placed, the desktop
  // chooses.
  int WindowLeft = 0;
  int WindowTop = 0;
  int WindowWidth = 0;
  int WindowHeight = 0;
  std::vector<RasInfo> RasInfos;  // the RASINFO section; RasInfoCnt is its size
};

// Where the mailbox files and the address book lie (a path in the local code page, ending in a
// separator): DataFileDir as used, or the home directory when it is empty.
std::string DataDirectoryPath(const Settings& settings, const std::string& homeDirectory);

struct LoadResult {
  bool ok = false;                // false: an account's mailbox file could not be read
  bool needsAccountSetup = false; // the profile had no account: one was added, its settings must open
};

// Reads Zelk.ini from the home directory into the settings and the mailbox table (one account per
// MAILBOX-%d section, each followed by its mailbox file from the data directory).
LoadResult LoadSettings(const std::string& homeDirectory, Settings& settings, store::MailBoxTable& table,
                        store::SelectorPort& selector);
// Writes every setting and account into Zelk.ini, keeping whatever else the file holds. With
// full (at exit) also each account's LastMessageId and LastNo, and its mailbox file.
[[nodiscard]] bool SaveSettings(const std::string& homeDirectory, const Settings& settings,
                                const store::MailBoxTable& table, bool full);
// After one account's conversation: the profile with every account's counters, and the mailbox
// file of the account at table index `account` only, so the counters and that file agree.
[[nodiscard]] bool SaveAccountProgress(const std::string& homeDirectory, const Settings& settings,
                                       const store::MailBoxTable& table, int account);

// The dial-up entry of that connection name (exact match); -1 for an empty name or none.
int FindRasInfo(const Settings& settings, const Text& name);
// Updates the entry of that name or appends one; an empty name changes nothing.
void SetRasInfo(Settings& settings, const Text& name, const Text& user, const Text& password);

// How received messages are read under these settings: date pictures, ShowHeader and the
// charset of undeclared text, with the display zone `localOffset` (minutes east of UTC).
store::ParseContext ParseContextFor(const Settings& settings, std::int32_t localOffset);

}  // namespace zelk::config
