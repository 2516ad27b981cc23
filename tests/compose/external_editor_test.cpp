#include "compose/external_editor.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <thread>

#include "platform/files.h"
#include "support/temp_dir.h"

namespace zelk::compose {
namespace {

using Args = std::vector<std::string>;

TEST(ExternalEditor, ShiftSwapsTheDefault) {
  const struct {
    int defEditApp;
    bool shift;
    bool external;
  } cases[] = {{0, false, false}, {0, true, true}, {1, false, true}, {1, true, false}};
  for (const auto& c : cases) {
    EXPECT_EQ(UsesExternalEditor(c.defEditApp, c.shift), c.external) << c.defEditApp << " " << c.shift;
  }
}

TEST(ExternalEditor, CommandFromEditAppElseTheUsersEditorInATerminalElseTheDesktop) {
  const std::string file = ExternalEditorFile("/data/", "txt");
  const EditorEnvironment vim{"vim -u  NONE", "nano", true};
  const struct {
    const char* editApp;
    const char* commandLine;
    EditorEnvironment environment;
    Args argv;
  } cases[] = {
      {"/opt/ed", "-n %1", vim, {"/opt/ed", "-n", "/data/$zelk_edit.txt"}},
      {"/opt/ed", "100%% %1", {}, {"/opt/ed", "100%", file}},
      {"/opt/ed", "", {}, {"/opt/ed", file}},
      {"", "-n %1", vim, {"x-terminal-emulator", "-e", "vim", "-u", "NONE", file}},
      {"", "", {std::nullopt, "nano -R", true}, {"x-terminal-emulator", "-e", "nano", "-R", file}},
      {"", "", {" \t", "nano", true}, {"x-terminal-emulator", "-e", "nano", file}},  // a blank VISUAL is none
      {"", "", {}, {"xdg-open", file}},
      {"", "", {"vim", std::nullopt, false}, {"xdg-open", file}},  // no terminal to run it in
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ExternalEditorCommand(c.editApp, c.commandLine, file, c.environment), c.argv)
        << c.editApp << " " << c.commandLine << " " << c.environment.visual.value_or("-");
  }
}

// An editor played by a shell script that the test writes.
class ExternalEditTest : public ::testing::Test {
 protected:
  std::string Editor(const std::string& name, const std::string& body) {
    const std::string path = dir_.file(name);
    std::ofstream(path) << "#!/bin/sh\n" << body;
    ::chmod(path.c_str(), 0755);
    return path;
  }
  // Waits up to ten seconds.
  template <typename Condition>
  static bool Eventually(Condition condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
  }
  static bool Exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
  }
  test::TempDir dir_;
  const std::string file_ = ExternalEditorFile(dir_.path(), "txt");
};

TEST_F(ExternalEditTest, EditedTextComesBackWrappedAndEscapedAndTheFileGoes) {
  const std::string editor = Editor("editor", "printf '.dot\\nfrom here\\naaaa bbbb cccc\\n' >> \"$1\"\n");
  config::Settings settings;
  settings.WordBreakSize = 10;
  {
    const std::unique_ptr<ExternalEdit> edit = ExternalEdit::Start("Hi\r\n..kept\r\n", {editor, file_}, file_);
    ASSERT_TRUE(edit);
    ASSERT_TRUE(Eventually([&] { return edit->Ended(); }));
    // Stored dots stay doubled once: a line read back is escaped again, so it was written unescaped.
    EXPECT_EQ(edit->ReadBack(settings), "Hi\r\n..kept\r\n..dot\r\n>from here\r\naaaa bbbb \r\ncccc\r\n");
  }
  EXPECT_FALSE(Exists(file_));
}

TEST_F(ExternalEditTest, FileIsPrivateAndReplacesALinkPlantedAtItsName) {
  const std::string victim = dir_.file("victim");
  std::ofstream(victim) << "precious";
  ASSERT_EQ(::symlink(victim.c_str(), file_.c_str()), 0);
  const std::unique_ptr<ExternalEdit> edit =
      ExternalEdit::Start("line\r\n..dot\r\n", {Editor("editor", "exec sleep 2\n")}, file_);
  ASSERT_TRUE(edit);
  EXPECT_EQ(platform::ReadWholeFile(victim), "precious");
  struct stat info {};
  ASSERT_EQ(::lstat(file_.c_str(), &info), 0);
  EXPECT_TRUE(S_ISREG(info.st_mode));
  EXPECT_EQ(info.st_mode & 07777, 0600u);
  EXPECT_EQ(platform::ReadWholeFile(file_), "line\n.dot\n");  // as the user sees it
  EXPECT_FALSE(edit->Ended());
}

TEST_F(ExternalEditTest, AnEditorLeftRunningIsNotKilledAndIsReapedWhenItEnds) {
  // The editor runs in the test's directory and says when it starts and when it is done.
  const std::string editor = Editor("editor",
                                    "cd \"$(dirname \"$0\")\"\n"
                                    "echo $$ > pid.new && mv pid.new pid\n"
                                    "sleep 0.5\n"
                                    "echo > done\n");
  auto edit = ExternalEdit::Start(std::nullopt, {editor}, file_);
  ASSERT_TRUE(edit);
  ASSERT_TRUE(Eventually([&] { return Exists(dir_.file("pid")); }));
  const auto pid = static_cast<id_t>(std::stol(platform::ReadWholeFile(dir_.file("pid")).value_or("0")));
  ASSERT_GT(pid, 0u);
  edit.reset();
  EXPECT_FALSE(Exists(file_));
  EXPECT_TRUE(Eventually([&] { return Exists(dir_.file("done")); }));
  // WNOWAIT looks without reaping, so the test cannot take the reaping away from the program.
  EXPECT_TRUE(Eventually([&] {
    siginfo_t info{};
    return ::waitid(P_PID, pid, &info, WEXITED | WNOHANG | WNOWAIT) < 0 && errno == ECHILD;
  }));
}

TEST_F(ExternalEditTest, NothingStartsAndNoFileStaysWhenWritingOrStartingFails) {
  const std::string notExecutable = dir_.file("plain");
  std::ofstream(notExecutable) << "#!/bin/sh\n";
  const struct {
    Args argv;
    std::string file;
  } cases[] = {
      {{"zelk-no-such-editor", file_}, file_},
      {{notExecutable, file_}, file_},
      {{Editor("editor", "exit 0\n")}, dir_.file("missing/$zelk_edit.txt")},
  };
  for (const auto& c : cases) {
    std::ofstream(file_) << "left from a crash";
    EXPECT_FALSE(ExternalEdit::Start("body", c.argv, c.file)) << c.argv[0];
    EXPECT_FALSE(Exists(c.file)) << c.argv[0];
  }
}

TEST_F(ExternalEditTest, AnEditorThatDeletesTheFileGivesNothingBack) {
  const auto edit = ExternalEdit::Start("body", {Editor("editor", "rm \"$1\"\n"), file_}, file_);
  ASSERT_TRUE(edit);
  ASSERT_TRUE(Eventually([&] { return edit->Ended(); }));
  EXPECT_EQ(edit->ReadBack(config::Settings()), std::nullopt);
}

}  // namespace
}  // namespace zelk::compose
