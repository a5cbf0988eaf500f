#include "automation/board_script.h"

#include <cctype>
#include <charconv>
#include <ostream>

namespace pixtrel::automation {

namespace {

struct ScriptSyntaxError {
  std::string message;
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

class LineReader {
 public:
  explicit LineReader(std::string_view text) : text_(text) {}

  void SkipBlanks() {
    while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;
  }
  bool AtEnd() {
    SkipBlanks();
    return pos_ >= text_.size();
  }
  bool Take(char c) {
    SkipBlanks();
    if (pos_ < text_.size() && text_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }

  std::string Name() {
    SkipBlanks();
    const std::size_t start = pos_;
    while (pos_ < text_.size() && (std::isalnum(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '_')) ++pos_;
    return std::string(text_.substr(start, pos_ - start));
  }

  Variant Value() {
    SkipBlanks();
    if (pos_ >= text_.size()) throw ScriptSyntaxError{"an argument is missing"};
    if (text_[pos_] == '"') return QuotedText();
    const std::size_t start = pos_;
    while (pos_ < text_.size() && text_[pos_] != ',' && !IsBlank(text_[pos_])) ++pos_;
    const std::string word(text_.substr(start, pos_ - start));
    if (word.empty()) throw ScriptSyntaxError{"an argument is missing"};
    // A number as written: the variant reading decides whether it is one.
    double real = 0;
    try {
      real = Variant(word).ToReal();
    } catch (const Exception&) {
      throw ScriptSyntaxError{"\"" + word + "\" is neither a number nor a text in quotes"};
    }
    std::int64_t whole = 0;
    const char* first = word.data() + (word[0] == '+' ? 1 : 0);
    const char* last = word.data() + word.size();
    if (word.find_first_of(".eE") == std::string::npos) {
      const auto [end, ec] = std::from_chars(first, last, whole);
      if (ec == std::errc() && end == last) return Variant(whole);
    }
    return Variant(real);
  }

 private:
  Variant QuotedText() {
    std::string value;
    ++pos_;
    for (;;) {
      if (pos_ >= text_.size()) throw ScriptSyntaxError{"a text has no closing quote"};
      const char c = text_[pos_++];
      if (c != '"') {
        value += c;
      } else if (pos_ < text_.size() && text_[pos_] == '"') {
        value += '"';
        ++pos_;
      } else {
        return Variant(std::move(value));
      }
    }
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

std::optional<ScriptCall> ParseLine(std::string_view text, int number) {
  LineReader reader(text);
  if (reader.AtEnd() || reader.Take('#')) return std::nullopt;
  const std::string name = reader.Name();
  if (name.empty()) throw ScriptSyntaxError{"a line begins with a member's name"};
  ScriptCall call;
  call.line = number;
  if (reader.Take('=')) {
    call.member = FindBoardMember(name, MemberKind::PropertyPut);
    if (!call.member) throw ScriptSyntaxError{name + " is no property that can be written"};
    call.arguments.push_back(reader.Value());
    if (!reader.AtEnd()) throw ScriptSyntaxError{"a property takes one value"};
    return call;
  }
  call.member = FindBoardMember(name, MemberKind::Method);
  if (!call.member) call.member = FindBoardMember(name, MemberKind::PropertyGet);
  if (!call.member) throw ScriptSyntaxError{"unknown member " + name};
  if (!reader.AtEnd()) {
    do {
      call.arguments.push_back(reader.Value());
    } while (reader.Take(','));
    if (!reader.AtEnd()) throw ScriptSyntaxError{"arguments are separated by commas"};
  }
  const std::size_t wanted = call.member->parameters.size();
  if (call.arguments.size() != wanted)
    throw ScriptSyntaxError{std::string(call.member->name) + " takes " + std::to_string(wanted) +
                            (wanted == 1 ? " argument" : " arguments")};
  return call;
}

}  // namespace

ParsedScript ParseBoardScript(std::string_view text) {
  ParsedScript script;
  int number = 0;
  while (!text.empty() || number == 0) {
    ++number;
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    try {
      if (std::optional<ScriptCall> call = ParseLine(line, number)) script.calls.push_back(std::move(*call));
    } catch (const ScriptSyntaxError& error) {
      script.failure = ScriptFailure{number, error.message};
      return script;
    }
    if (text.empty()) break;
  }
  return script;
}

std::optional<ScriptFailure> RunBoardScript(Board& board, const std::vector<ScriptCall>& calls, std::ostream& out) {
  for (const ScriptCall& call : calls) {
    Variant result;
    const BoardStatus status = Invoke(board, *call.member, call.arguments, result);
    if (!status) return ScriptFailure{call.line, status.message};
    if (call.member->result != ResultKind::None) out << result.ToText() << '\n';
  }
  return std::nullopt;
}

}  // namespace pixtrel::automation
