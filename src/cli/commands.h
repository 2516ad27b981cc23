#pragma once
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "store/list_model.h"

// The commands of zelk-cli. Each returns the exit status: 0 done, 1 failed (the error text on
// stderr), 2 bad arguments (the caller prints the usage).
namespace zelk::cli {

struct GlobalOptions {
  std::optional<std::string> home;
};

int ListCommand(const GlobalOptions& options, const std::vector<std::string>& args);
int ShowCommand(const GlobalOptions& options, const std::vector<std::string>& args);
int MarkCommand(const GlobalOptions& options, const std::vector<std::string>& args);

int CheckCommand(const GlobalOptions& options, const std::vector<std::string>& args);
int UpdateCommand(const GlobalOptions& options, const std::vector<std::string>& args);

int ComposeCommand(const GlobalOptions& options, const std::vector<std::string>& args);
int SendCommand(const GlobalOptions& options, const std::vector<std::string>& args);

int AccountCommand(const GlobalOptions& options, const std::vector<std::string>& args);
int CopyCommand(const GlobalOptions& options, const std::vector<std::string>& args);
int DeleteCommand(const GlobalOptions& options, const std::vector<std::string>& args);
int BookCommand(const GlobalOptions& options, const std::vector<std::string>& args);

// The rows of the list as `list` prints them (tab-separated), those of the wanted items only.
int PrintRows(const store::ListModel& model, const std::function<bool(const store::MailItem&)>& wanted);

// Prints "zelk-cli: " and the text on stderr; returns 1.
int Fail(const std::string& text);
// The exit status of a command whose error the terminal's message box has printed already.
inline constexpr int kFailedAndShown = 1;
// Tab and line breaks would break the one-line, tab-separated output.
std::string OneLine(std::string text);

}  // namespace zelk::cli
