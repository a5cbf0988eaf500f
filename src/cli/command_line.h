// What pixtrel-cli's subcommands share: the table row each one is, the usage
// error, the interaction that answers for a run without a user, and the
// small parsers of option values.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/byte_reader.h"
#include "core/scripted_interaction.h"
#include "io/image_io.h"

namespace pixtrel::shapes {
struct StampRequest;
}

namespace pixtrel::cli {

// A wrong command line: shown with a pointer to --help, exit code 2.
struct UsageError {
  std::string message;
};

// Answers the logic's questions for a run without a user: messages go to
// standard error as they stand, questions are declined. The password prompt
// is answered from --password-file, else asked on the terminal without echo;
// with neither it is cancelled.
class CommandLineInteraction : public ScriptedInteraction {
 public:
  explicit CommandLineInteraction(std::ostream& err) : err_(err) {}

  std::optional<std::string> password;
  // The icon options window's answer and the icon resize question's.
  std::optional<IconColors> iconColors;
  bool resizeIcons = true;

  void ShowMessage(const std::string& text) override;
  bool Confirm(const std::string& text) override;
  std::optional<std::string> PasswordQuery(const std::string& caption, const std::string& prompt) override;
  std::optional<IconColors> ChooseIconColors(IconColors preselected) override;

 private:
  std::optional<std::string> AskOnTerminal(const std::string& prompt);

  std::ostream& err_;
};

// One run of a subcommand: the command line without the general options
// (args[0] is the subcommand's name), the output streams, the interaction and
// the general options' values.
struct Invocation {
  const std::vector<std::string>& args;
  std::ostream& out;
  std::ostream& err;
  CommandLineInteraction& interaction;
  std::int64_t maxPixels = kDefaultMaxPixels;  // --max-pixels: what any file read may hold
  LoadOptions opening = {};  // --auto-orient, --keep-metadata, --to-srgb: how every file opens
};

// One subcommand as the table in cli.cpp lists it. --help is put together
// from the rows: the usage lines of all, then their option blocks, then the
// general options, then their appendices, then the formats.
struct Subcommand {
  const char* name;
  const char* usage;                   // its lines under "Commands:"
  const char* options;                 // its "Options of ..." block, or nullptr
  std::string (*appendix)();           // more text for --help, or nullptr
  int (*run)(const Invocation& call);  // the exit code; UsageError for a wrong command line
};

// The subcommands, each in its own file.
int ConvertCommand(const Invocation& call);
int InfoCommand(const Invocation& call);
int BatchCommand(const Invocation& call);
int EffectsCommand(const Invocation& call);
int StampCommand(const Invocation& call);
int IclCommand(const Invocation& call);
int FormatsCommand(const Invocation& call);
int OverlayCommand(const Invocation& call);
int BlendCommand(const Invocation& call);
int DrawCommand(const Invocation& call);
std::string DrawAppendix();
extern const char kConvertOptions[];
extern const char kBatchOptions[];
std::string EffectsAppendix();
std::string StampAppendix();
extern const char kOverlayOptions[];

// One of stamp's shape options at args[i] (and its value, moving i on) into
// the request; false when args[i] is none of them. --box sets haveBox.
bool ParseStampOption(const std::vector<std::string>& args, std::size_t& i, shapes::StampRequest& request,
                      bool& haveBox);

// Saves image as target in format as the program's Save As does
// (SaveDisplayedImage) and reports it as every command does: the target on
// standard output once written (unless echo is off), an abandoned save or a
// format without a writer on standard error. Returns the exit code.
int SaveAndReport(const Invocation& call, const std::string& target, Bitmap& image, const std::string& format,
                  SaveOptions& options, bool echo = true);

// The value of the option args[i], moving i on to it; a UsageError when the
// command line ends first.
const std::string& OptionValue(const std::vector<std::string>& args, std::size_t& i);

// A whole number from low to high, else a UsageError naming the option.
int ParseInt(const std::string& text, const std::string& option, int low, int high);
// Splits "NAME=VALUE"; the value is empty when there is no "=".
std::pair<std::string, std::string> SplitAssignment(const std::string& text);

// The value of a word option: the index of text among names.
template <typename Value, std::size_t N>
Value ParseChoice(const std::string& text, const std::string& option, const char* const (&names)[N]) {
  for (std::size_t i = 0; i < N; ++i)
    if (text == names[i]) return static_cast<Value>(i);
  std::string list;
  for (std::size_t i = 0; i < N; ++i) list += (i ? ", " : "") + std::string(names[i]);
  throw UsageError{option + " takes one of " + list};
}

}  // namespace pixtrel::cli
