#pragma once
#include <optional>

#include "config/settings.h"

// The "Global Options" sheet without the widgets: what each page shows of the settings and what
// confirming the sheet stores. Only pages that were shown store anything.
namespace zelk::config {

struct RecvPage {
  int linesToDownload = 0;
  bool downloadEntireBody = false;
  bool includeHeader = false;
  int listSaveMode = 2;  // 2 header and body, 1 header only, 0 nothing
};

struct SendPage {
  int wordWrapAt = 0;
  bool quotedLinesDoNotWrap = false;
  bool sendMessageId = false;
  bool sendDate = false;
  bool showOutbox = false;
  bool encodedAttachmentNames = false;  // EncodeType 1
};

struct ReplyPage {
  bool quote = false;
  platform::Text quotationChar;
  platform::Text replyHeader;
};

struct CheckPage {
  bool newMailMessage = false;
  bool noMailMessage = false;
  bool newMailSound = false;
  bool autoCheck = false;
  int autoCheckMinutes = 0;
  bool checkOnStart = false;
  bool checkAfterUpdate = false;
  bool soundAfterUpdateOrSend = false;  // ExecEndSound
  bool ignoreReceiveError = false;
  bool ignoreSendError = false;
};

struct DialUpPage {
  bool forceConnection = false;
  bool disconnectAfterWork = false;  // RasCheckEndDisCon
  bool disconnectOnExit = false;     // RasEndDisCon
  bool autoCheckOnlyIfConnected = false;
  int pauseSeconds = 0;
};

struct OtherPage {
  bool trayIcon = false;
  bool closeHides = false;  // the box is enabled only with the tray icon
  bool scanAllAccounts = false;
};

enum class OptionsPage { kRecv, kSend, kReply, kCheck, kDialUp, kOther };

struct OptionsSheet {
  std::optional<RecvPage> recv;
  std::optional<SendPage> send;
  std::optional<ReplyPage> reply;
  std::optional<CheckPage> check;
  std::optional<DialUpPage> dialUp;
  std::optional<OtherPage> other;
};

// Reads one page from the settings when it is shown for the first time.
void ShowOptionsPage(OptionsSheet& sheet, OptionsPage page, const Settings& settings);

// OK: every page shown stores its values (the quotation mark cut to the field limit).
void ConfirmOptionsSheet(const OptionsSheet& sheet, Settings& settings);

// What the main window does once the sheet has closed, confirmed or not, beside arming or
// stopping the automatic check as AutoCheck says.
struct OptionsAftermath {
  bool trayIcon = false;     // shown, else removed
  bool saveProfile = false;  // AutoSave
};
OptionsAftermath AftermathOfOptions(const Settings& settings);

}  // namespace zelk::config
