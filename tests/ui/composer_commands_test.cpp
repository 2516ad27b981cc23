// Storing a message from the composer: the questions before, the Outbox and its list after.
#include <gtest/gtest.h>

#include <algorithm>

#include "fake_window.h"
#include "compose/composer_text.h"
#include "platform/files.h"
#include "store/mailbox_file.h"
#include "ui/composer_commands.h"
#include "ui/mailbox_selection.h"

namespace zelk::ui {
namespace {

class SavingFromTheComposer : public test::ProgramTest {
 protected:
  void SetUp() override {
    test::MakeTable(state_, {"Work"});
    state_.home = dir_.path();
    Box(1).Items = {test::MakeItem("older", 0, 0)};
    SelectMailbox(state_, 2, ports_);
    window_.calls.clear();
    item_ = std::make_shared<store::MailItem>();
    item_->Subject = "Hi";
    item_->MailBoxName = "Work";
  }
  SaveSteps Typed(const std::string& text) {
    SaveSteps steps;
    steps.editedText = text;
    steps.selectInBody = [this](std::size_t position) { selected_ = position; };
    steps.property = [this] {
      ++propertyShown_;
      if (propertyAnswer_) item_->Subject = "Given";
      return propertyAnswer_;
    };
    return steps;
  }

  store::ItemRef item_;
  std::optional<std::size_t> selected_;
  int propertyShown_ = 0;
  bool propertyAnswer_ = false;
};

TEST_F(SavingFromTheComposer, StoresTheEditedTextAndShowsItInTheOutbox) {
  state_.settings.WordBreakSize = 10;
  ASSERT_TRUE(SaveToOutbox(state_, ports_, item_, Typed(".\nfrom me to you all")));
  EXPECT_EQ(item_->Body, "..\r\n>from me \r\nto you all");  // wrapped, then escaped for sending
  EXPECT_EQ(item_->Size, std::to_string(item_->Body->size()));
  EXPECT_EQ(Box(1).Items.back(), item_);
  // SelectSendBox 1: the list moves to the Outbox, where the new row is chosen.
  EXPECT_EQ(state_.table.selected, store::kOutboxIndex);
  const std::vector<std::string> shown = {"select 1 focus", "scroll 1", "redraw 1"};
  EXPECT_TRUE(std::equal(shown.rbegin(), shown.rend(), window_.calls.rbegin()));
  // Opened again, the editor shows the dots as typed.
  EXPECT_EQ(compose::EditorText(*item_), ".\n>from me \nto you all");

  window_.calls.clear();
  ASSERT_TRUE(SaveToOutbox(state_, ports_, item_, Typed("again")));  // already there: not appended twice
  EXPECT_EQ(Box(1).Items.size(), 2u);
  EXPECT_EQ(window_.calls, (std::vector<std::string>{"select 1 focus", "scroll 1", "redraw 1"}));
}

TEST_F(SavingFromTheComposer, AnEmptySubjectAsksForThePropertyDialogFirst) {
  item_->Subject.reset();
  EXPECT_FALSE(SaveToOutbox(state_, ports_, item_, Typed("text")));
  EXPECT_EQ(propertyShown_, 1);
  EXPECT_EQ(Box(1).Items.size(), 1u);  // cancelled: the Outbox as it was
  EXPECT_FALSE(item_->Body);
  propertyAnswer_ = true;
  EXPECT_TRUE(SaveToOutbox(state_, ports_, item_, Typed("text")));
  EXPECT_EQ(Box(1).Items.size(), 2u);
}

TEST_F(SavingFromTheComposer, AModelDependentCharacterIsSelectedWhenTheUserStops) {
  state_.settings.BodyCharset = "ISO-2022-JP";
  window_.ports.answers = {ports::Answer::kNo};
  EXPECT_FALSE(SaveToOutbox(state_, ports_, item_, Typed("ab\u2460")));
  EXPECT_EQ(selected_, 2u);
  EXPECT_EQ(test::Messages(window_.calls).back(), std::string("message Zelk: ") + kModelDependentQuestion);
  EXPECT_EQ(Box(1).Items.size(), 1u);
  window_.ports.answers = {ports::Answer::kYes};
  EXPECT_TRUE(SaveToOutbox(state_, ports_, item_, Typed("ab\u2460")));
}

TEST_F(SavingFromTheComposer, SilentSavesAskNothingAndLeaveTheListWhereItIs) {
  // The program closing a composer: no subject, a model-dependent character, nothing asked.
  state_.settings.BodyCharset = "ISO-2022-JP";
  item_->Subject.reset();
  SaveSteps steps = Typed("\u2460 " + std::string(40000, 'a'));
  steps.silent = true;
  ASSERT_TRUE(SaveToOutbox(state_, ports_, item_, steps));
  EXPECT_EQ(propertyShown_, 0);
  EXPECT_TRUE(test::Messages(window_.calls).empty());
  EXPECT_EQ(state_.table.selected, 2);
  EXPECT_EQ(std::count(item_->Body->begin(), item_->Body->end(), 'a'), 40000);  // nothing cut

  // A body that came back from the external editor is stored as it is.
  item_->Body = "from the editor";
  steps.editedText.reset();
  ASSERT_TRUE(SaveToOutbox(state_, ports_, item_, steps));
  EXPECT_EQ(item_->Body, "from the editor");
}

TEST_F(SavingFromTheComposer, AutoSaveWritesTheOutboxWhenTheComposerLetsGo) {
  ASSERT_TRUE(SaveToOutbox(state_, ports_, item_, Typed("text")));
  item_->EditWindow = 1;
  state_.settings.AutoSave = 0;
  EXPECT_TRUE(ReleaseSavedItem(state_, *item_));
  EXPECT_EQ(item_->EditWindow, 0);
  const std::string file = config::DataDirectoryPath(state_.settings, state_.home) + store::kOutboxFile;
  EXPECT_FALSE(platform::FileSize(file));
  state_.settings.AutoSave = 1;
  EXPECT_TRUE(ReleaseSavedItem(state_, *item_));
  EXPECT_NE(platform::ReadWholeFile(file).value_or("").find("Subject: Hi"), std::string::npos);
}

}  // namespace
}  // namespace zelk::ui
