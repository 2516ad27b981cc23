#include "config/options_sheet.h"

#include "config/sheet_fields.h"
#include "platform/line_breaks.h"

namespace zelk::config {

namespace {

int Flag(bool on) { return on ? 1 : 0; }

}  // namespace

void ShowOptionsPage(OptionsSheet& sheet, OptionsPage page, const Settings& s) {
  switch (page) {
    case OptionsPage::kRecv:
      if (!sheet.recv) sheet.recv = RecvPage{s.ListGetLine, s.ListDownload == 1, s.ShowHeader == 1, s.ListSaveMode};
      break;
    case OptionsPage::kSend:
      if (!sheet.send) {
        sheet.send = SendPage{s.WordBreakSize,    s.QuotationBreak == 1, s.SendMessageId == 1,
                              s.SendDate == 1,    s.SelectSendBox == 1,  s.EncodeType == 1};
      }
      break;
    case OptionsPage::kReply:
      if (!sheet.reply) {
        sheet.reply = ReplyPage{s.AutoQuotation == 1, s.QuotationChar, platform::WithLfLineBreaks(s.ReHeader)};
      }
      break;
    case OptionsPage::kCheck:
      if (!sheet.check) {
        sheet.check = CheckPage{s.ShowNewMailMessage == 1, s.ShowNoMailMessage == 1, s.NewMailSound == 1,
                                s.AutoCheck == 1,          s.AutoCheckTime,           s.StartCheck == 1,
                                s.CheckAfterUpdate == 1,   s.ExecEndSound == 1,       s.SocIgnoreError == 1,
                                s.SendIgnoreError == 1};
      }
      break;
    case OptionsPage::kDialUp:
      if (!sheet.dialUp) {
        sheet.dialUp = DialUpPage{s.RasCon == 1, s.RasCheckEndDisCon == 1, s.RasEndDisCon == 1, s.RasNoCheck == 1,
                                  s.RasWaitSec};
      }
      break;
    case OptionsPage::kOther:
      if (!sheet.other) sheet.other = OtherPage{s.ShowTrayIcon == 1, s.CloseHide == 1, s.MoveAllMailBox == 1};
      break;
  }
}

void ConfirmOptionsSheet(const OptionsSheet& sheet, Settings& s) {
  if (const auto& p = sheet.recv) {
    s.ListGetLine = p->linesToDownload;
    s.ListDownload = Flag(p->downloadEntireBody);
    s.ShowHeader = Flag(p->includeHeader);
    s.ListSaveMode = p->listSaveMode;
  }
  if (const auto& p = sheet.send) {
    s.WordBreakSize = p->wordWrapAt;
    s.QuotationBreak = Flag(p->quotedLinesDoNotWrap);
    s.SendMessageId = Flag(p->sendMessageId);
    s.SendDate = Flag(p->sendDate);
    s.SelectSendBox = Flag(p->showOutbox);
    s.EncodeType = Flag(p->encodedAttachmentNames);
  }
  if (const auto& p = sheet.reply) {
    s.AutoQuotation = Flag(p->quote);
    s.QuotationChar = CutField(p->quotationChar);
    s.ReHeader = platform::WithCrLfLineBreaks(p->replyHeader);
  }
  if (const auto& p = sheet.check) {
    s.ShowNewMailMessage = Flag(p->newMailMessage);
    s.ShowNoMailMessage = Flag(p->noMailMessage);
    s.NewMailSound = Flag(p->newMailSound);
    s.AutoCheck = Flag(p->autoCheck);
    s.AutoCheckTime = p->autoCheckMinutes;
    s.StartCheck = Flag(p->checkOnStart);
    s.CheckAfterUpdate = Flag(p->checkAfterUpdate);
    s.ExecEndSound = Flag(p->soundAfterUpdateOrSend);
    s.SocIgnoreError = Flag(p->ignoreReceiveError);
    s.SendIgnoreError = Flag(p->ignoreSendError);
  }
  if (const auto& p = sheet.dialUp) {
    s.RasCon = Flag(p->forceConnection);
    s.RasCheckEndDisCon = Flag(p->disconnectAfterWork);
    s.RasEndDisCon = Flag(p->disconnectOnExit);
    s.RasNoCheck = Flag(p->autoCheckOnlyIfConnected);
    s.RasWaitSec = p->pauseSeconds;
  }
  if (const auto& p = sheet.other) {
    s.ShowTrayIcon = Flag(p->trayIcon);
    s.CloseHide = Flag(p->closeHides);  // acts only while the icon is shown
    s.MoveAllMailBox = Flag(p->scanAllAccounts);
  }
}

OptionsAftermath AftermathOfOptions(const Settings& settings) {
  return {settings.ShowTrayIcon == 1, settings.AutoSave == 1};
}

}  // namespace zelk::config
