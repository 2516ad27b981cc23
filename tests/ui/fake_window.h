#pragma once
#include <algorithm>
#include <deque>

#include <gtest/gtest.h>

#include "support/fake_ports.h"
#include "support/temp_dir.h"
#include "ui/exit_sequence.h"

namespace zelk::test {

// The main window's side, recorded in the same list as the dialogs and the list view; the account
// sheet answers from a script (nothing scripted: cancelled).
class FakeWindow final : public ui::QuietWindow, public store::SelectorPort, public ui::ExitPort {
 public:
  FakePorts ports;
  std::vector<std::string>& calls = ports.calls;
  std::deque<bool> sheetAnswers;
  bool conversationOpen = false;
  std::array<int, 4> widths = {150, 100, 110, 50};

  ui::WindowPorts Ports() { return ui::WindowPorts{ports, ports, *this, *this}; }
  void MailboxShown(int index, const store::ListFocus&) override { Add("shown ", index); }
  void ShowCounts() override { calls.push_back("counts"); }
  bool EditAccount(int) override {
    const bool answer = !sheetAnswers.empty() && sheetAnswers.front();
    if (!sheetAnswers.empty()) sheetAnswers.pop_front();
    return answer;
  }
  bool InitialiseAccount(int) override { return true; }
  void EntryAdded(const platform::Text& label) override { calls.push_back("entry add " + label); }
  void EntryRemoved(int index) override { Add("entry remove ", index); }
  void EntryRenamed(int, const platform::Text& label) override { calls.push_back("entry rename " + label); }
  void EntrySelected(int index) override { Add("entry select ", index); }
  bool StopConversation() override { return calls.push_back("stop"), conversationOpen; }
  bool Dialing() const override { return false; }
  void HangUp() override { calls.push_back("hang up"); }
  void CloseViewerAndComposers() override { calls.push_back("close windows"); }
  std::array<int, 4> ColumnWidths() const override { return widths; }

 private:
  void Add(const char* what, int index) { calls.push_back(what + std::to_string(index)); }
};

inline std::vector<std::string> Messages(const std::vector<std::string>& calls) {
  std::vector<std::string> found;
  std::copy_if(calls.begin(), calls.end(), std::back_inserter(found), [](auto& c) { return c.starts_with("message "); });
  return found;
}

inline store::ItemRef MakeItem(const char* subject, int status, int mark, const char* id = nullptr, int whole = 0) {
  auto item = std::make_shared<store::MailItem>();
  item->Subject = subject;
  item->Status = status;
  item->Mark = mark;
  item->Download = whole;
  if (id) item->MessageId = id;
  return item;
}

// The local folders and these accounts; lists in mailbox order.
inline void MakeTable(ui::ProgramState& state, const std::vector<std::string>& accounts) {
  store::Init(state.table);
  state.table.boxes[0]->Name = store::kSaveboxName;
  state.table.boxes[1]->Name = store::kOutboxName;
  store::NoSelector none;
  for (const std::string& name : accounts) state.table.boxes[std::size_t(store::AddMailBox(state.table, none))]->Name = name;
  state.list.settings.LvAutoSort = 0;
}

// The main window's commands over a state made in memory, with a recording window.
class ProgramTest : public ::testing::Test {
 protected:
  store::MailBox& Box(int index) { return *state_.table.boxes[std::size_t(index)]; }

  TempDir dir_;
  ui::ProgramState state_;
  FakeWindow window_;
  ui::WindowPorts ports_ = window_.Ports();
};

}  // namespace zelk::test
