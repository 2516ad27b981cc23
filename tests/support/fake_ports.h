#pragma once
#include <deque>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "ports/ports.h"

namespace zelk::test {

// Ports for tests: every call is recorded as one readable line, and answers to questions and
// password prompts come from scripts (a question nobody scripted answers No, a prompt cancels).
class FakePorts final : public ports::DialogPort, public ports::StatusPort, public ports::ListViewPort, public ports::ShellPort {
 public:
  std::vector<std::string> calls;
  std::deque<ports::Answer> answers;
  std::deque<std::optional<Password>> passwords;
  bool shift = false;
  std::string status[2];

  ports::Answer ShowMessage(const platform::Text& title, const platform::Text& text, ports::MessageIcon, ports::MessageButtons buttons,
                         bool) override {
    calls.push_back("message " + title + ": " + text);
    if (buttons == ports::MessageButtons::kOk) return ports::Answer::kOk;
    if (answers.empty()) return ports::Answer::kNo;
    const ports::Answer answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::optional<Password> AskPassword(const platform::Text& title) override {
    calls.push_back("password " + title);
    if (passwords.empty()) return std::nullopt;
    std::optional<Password> answer = passwords.front();
    passwords.pop_front();
    return answer;
  }
  void SetStatusText(int part, const platform::Text& text) override {
    status[part == 0 ? 0 : 1] = text;
    calls.push_back("status " + std::to_string(part) + " " + text);
  }
  // Runs as a row is about to go, for tests that look at what the view could still ask for.
  std::function<void(int row)> removing;
  void ExpectRows(int count) override { calls.push_back("expect " + std::to_string(count)); }
  void InsertRow(int row) override { calls.push_back("insert " + std::to_string(row)); }
  void ResettingRows() override { calls.push_back("reset"); }
  void RowsReset() override { calls.push_back("reset done"); }
  void RemovingRow(int row) override {
    calls.push_back("delete " + std::to_string(row));
    if (removing) removing(row);
  }
  void RowRemoved(int row) override { calls.push_back("deleted " + std::to_string(row)); }
  void RedrawRow(int row) override { calls.push_back("redraw " + std::to_string(row)); }
  void SelectRow(int row, bool focus) override {
    calls.push_back("select " + std::to_string(row) + (focus ? " focus" : ""));
  }
  void ScrollToRow(int row) override { calls.push_back("scroll " + std::to_string(row)); }
  void SuspendRedraw() override { calls.push_back("suspend"); }
  void ResumeRedraw() override { calls.push_back("resume"); }
  void ListChanged() override { calls.push_back("list changed"); }
  void RefreshCommandStates() override { calls.push_back("commands"); }
  void SetTrayState(ports::TrayState state) override {
    const char* names[] = {"normal", "busy", "new mail"};
    calls.push_back(std::string("tray ") + names[static_cast<int>(state)]);
  }
  void SetWaitCursor(bool wait) override { calls.push_back(wait ? "cursor wait" : "cursor normal"); }
  bool ShiftHeld() const override { return shift; }
  void PlaySound(const platform::Text& file) override { calls.push_back("sound " + file); }
};

// The text of the first message box the ports showed, "" for none.
inline std::string FirstMessageText(const FakePorts& ports) {
  for (const std::string& call : ports.calls) {
    if (call.starts_with("message ")) return call.substr(call.find(": ") + 2);
  }
  return "";
}

// The recorded calls that begin with one of `kinds`, in order.
inline std::vector<std::string> CallsOfKinds(const FakePorts& ports, std::initializer_list<const char*> kinds) {
  std::vector<std::string> found;
  for (const std::string& call : ports.calls) {
    for (const char* kind : kinds) {
      if (call.starts_with(kind)) found.push_back(call);
    }
  }
  return found;
}

}  // namespace zelk::test
