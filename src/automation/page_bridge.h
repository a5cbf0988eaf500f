// The drawing interface as a web page's external object. A script that the
// browser runs as each document is created defines window.external with
// IBoard's members, taken from the member table. Each member is synchronous:
// it asks window.prompt with kBridgeMarker as the message and the call as
// JSON as the default value (which the engine passes whole, unlike the
// message), and the browser's prompt handler answers with AnswerBridgeCall's
// JSON in place of the user's text. A failure is thrown in the page as an
// Error carrying the member's message; "angle" is a read-write property.
// Member names are matched without regard to case, as script hosts always
// have for this interface.
//
//   call:   {"member": "Line", "kind": "method", "args": [0, 10, 50, 10]}
//           {"member": "angle", "kind": "get", "args": []}
//           {"member": "angle", "kind": "put", "args": [22.5]}
//   answer: {"ok": true, "result": 17}   {"ok": false, "error": "..."}
#pragma once

#include <string>
#include <string_view>

#include "automation/board.h"

namespace pixtrel::automation {

// The prompt message that marks a call of the bridge; any other prompt is
// the page's own.
inline constexpr char kBridgeMarker[] = "pixtrel:IBoard";

// The script to run at document creation.
std::string BridgeScript();

// Runs the call described by json on board and gives the answer. Arguments
// become variants as a script host passes them: whole numbers that fit in 32
// bits as integers, other numbers as reals, texts, truth values, null as
// nothing. A malformed call is answered with a failure.
std::string AnswerBridgeCall(Board& board, std::string_view json);

}  // namespace pixtrel::automation
