// Draw scripts: IBoard calls written one a line, run on a workspace the way
// a script would call them, for drawings that are made again headless.
//
//   # a comment
//   PenColor "#FF0000"
//   Line 0, 10, 50, 10
//   angle = 22.5          writes the property
//   angle                 reads it
//   getPixelColor 20, 10  prints the result
//
// A call is the member's name (in any case), then its arguments separated by
// commas: texts in double quotes (a doubled quote inside stands for one),
// numbers as written (whole numbers stay whole, others are real).
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "automation/board_interface.h"

namespace pixtrel::automation {

struct ScriptCall {
  int line = 0;  // from 1
  const BoardMember* member = nullptr;
  std::vector<Variant> arguments;
};

// Where a script went wrong: its line and the message.
struct ScriptFailure {
  int line = 0;
  std::string message;
};

// The calls of a whole script, or the first line that is not a call.
struct ParsedScript {
  std::vector<ScriptCall> calls;
  std::optional<ScriptFailure> failure;
};
ParsedScript ParseBoardScript(std::string_view text);

// Runs the calls in order; each result is printed on out, one line each. The
// first failing call stops the run and is returned.
std::optional<ScriptFailure> RunBoardScript(Board& board, const std::vector<ScriptCall>& calls, std::ostream& out);

}  // namespace pixtrel::automation
