#include "cli/command_line.h"

#include "cli/cli.h"
#include "workspace/saving.h"

#include <charconv>
#include <iostream>
#include <ostream>

#include <termios.h>
#include <unistd.h>

namespace pixtrel::cli {

void CommandLineInteraction::ShowMessage(const std::string& text) { err_ << text << '\n'; }

bool CommandLineInteraction::Confirm(const std::string& text) {
  if (text == "Icon must be 32x32. Resize now?") {
    err_ << text << (resizeIcons ? " [answered Yes]\n" : " [answered No]\n");
    return resizeIcons;
  }
  err_ << text << " [answered No]\n";
  return false;
}

std::optional<std::string> CommandLineInteraction::PasswordQuery(const std::string&, const std::string& prompt) {
  if (password) return password;
  if (!isatty(STDIN_FILENO)) {
    err_ << "error: a password is needed and standard input is not a terminal: give --password-file FILE\n";
    return std::nullopt;
  }
  return AskOnTerminal(prompt);
}

std::optional<IconColors> CommandLineInteraction::ChooseIconColors(IconColors preselected) {
  return iconColors ? iconColors : std::optional<IconColors>(preselected);
}

std::optional<std::string> CommandLineInteraction::AskOnTerminal(const std::string& prompt) {
  std::cerr << prompt << ": " << std::flush;
  termios saved{};
  const bool restore = tcgetattr(STDIN_FILENO, &saved) == 0;
  if (restore) {
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
  }
  std::string line;
  const bool got = static_cast<bool>(std::getline(std::cin, line));
  if (restore) tcsetattr(STDIN_FILENO, TCSANOW, &saved);
  std::cerr << '\n';
  if (!got) return std::nullopt;
  return line;
}

int SaveAndReport(const Invocation& call, const std::string& target, Bitmap& image, const std::string& format,
                  SaveOptions& options, bool echo) {
  switch (SaveDisplayedImage(target, image, format, options, call.interaction)) {
    case SaveOutcome::Written:
      if (echo) call.out << target << '\n';
      return kExitDone;
    case SaveOutcome::Abandoned:
      call.err << "error: the save of " << target << " was abandoned; nothing was written\n";
      return kExitError;
    case SaveOutcome::UnknownFormat:
      break;
  }
  call.err << "error: no writer for the format \"" << format << "\"\n";
  return kExitUsage;
}

const std::string& OptionValue(const std::vector<std::string>& args, std::size_t& i) {
  if (i + 1 >= args.size()) throw UsageError{args[i] + " needs a value"};
  return args[++i];
}

int ParseInt(const std::string& text, const std::string& option, int low, int high) {
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high)
    throw UsageError{option + " takes a whole number from " + std::to_string(low) + " to " + std::to_string(high)};
  return value;
}

std::pair<std::string, std::string> SplitAssignment(const std::string& text) {
  const std::size_t eq = text.find('=');
  if (eq == std::string::npos) return {text, std::string()};
  return {text.substr(0, eq), text.substr(eq + 1)};
}

}  // namespace pixtrel::cli
