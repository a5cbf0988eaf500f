#include "automation/board_interface.h"

#include <cctype>

namespace pixtrel::automation {

const TypeLibraryFacts kTypeLibrary = {
    "Pixtrel10",
    "Pixtrel10 Library",
    1,
    0,
    1033,
    "{C05A41CA-0017-400D-8A92-909F43B6355F}",
    "IBoard",
    "Dispatch interface for Image Object",
    "{E41926CD-8DDD-47A4-87FE-1AD6D265DEAB}",
    "Board",
    "Image Object",
    "{7A6A7816-F874-437A-BFE2-F91CEEEF64A4}",
    "Pixtrel10.Board",
};

namespace {

using Args = std::span<const Variant>;

// One thunk per shape of member: the member function and how many variants
// it takes, with or without an out result.
template <BoardStatus (Board::*F)()>
BoardStatus Call0(Board& b, Args, Variant&) {
  return (b.*F)();
}
template <BoardStatus (Board::*F)(const Variant&)>
BoardStatus Call1(Board& b, Args a, Variant&) {
  return (b.*F)(a[0]);
}
template <BoardStatus (Board::*F)(const Variant&, const Variant&)>
BoardStatus Call2(Board& b, Args a, Variant&) {
  return (b.*F)(a[0], a[1]);
}
template <BoardStatus (Board::*F)(const Variant&, const Variant&, const Variant&)>
BoardStatus Call3(Board& b, Args a, Variant&) {
  return (b.*F)(a[0], a[1], a[2]);
}
template <BoardStatus (Board::*F)(const Variant&, const Variant&, const Variant&, const Variant&)>
BoardStatus Call4(Board& b, Args a, Variant&) {
  return (b.*F)(a[0], a[1], a[2], a[3]);
}
template <BoardStatus (Board::*F)(const Variant&, const Variant&, const Variant&, const Variant&, const Variant&,
                                  const Variant&)>
BoardStatus Call6(Board& b, Args a, Variant&) {
  return (b.*F)(a[0], a[1], a[2], a[3], a[4], a[5]);
}
template <BoardStatus (Board::*F)(Variant&)>
BoardStatus Out0(Board& b, Args, Variant& r) {
  return (b.*F)(r);
}
template <BoardStatus (Board::*F)(const Variant&, Variant&)>
BoardStatus Out1(Board& b, Args a, Variant& r) {
  return (b.*F)(a[0], r);
}
template <BoardStatus (Board::*F)(const Variant&, const Variant&, Variant&)>
BoardStatus Out2(Board& b, Args a, Variant& r) {
  return (b.*F)(a[0], a[1], r);
}

constexpr MemberKind M = MemberKind::Method;
constexpr ResultKind None = ResultKind::None;
constexpr ResultKind Int = ResultKind::Integer;

const std::vector<BoardMember>& Table() {
  static const std::vector<BoardMember> table = {
      {1, "Line", M, {"x1", "y1", "x2", "y2"}, None, "Line from (x1, y1) to (x2, y2) in the pen",
       Call4<&Board::Line>},
      {2, "Ellipse", M, {"x1", "y1", "x2", "y2"}, None, "Ellipse in the box, outlined by the pen, filled by the brush",
       Call4<&Board::Ellipse>},
      {3, "Rectangle", M, {"x1", "y1", "x2", "y2"}, None, "Rectangle in the pen and brush", Call4<&Board::Rectangle>},
      {4, "RoundRect", M, {"x1", "y1", "x2", "y2", "x3", "y3"}, None,
       "Rounded rectangle; x3, y3: size of the corner ellipse", Call6<&Board::RoundRect>},
      {5, "Text", M, {"x", "y", "value"}, None, "Text in the font on the brush", Call3<&Board::Text>},
      {6, "TextRotated", M, {"x", "y", "atext", "angle"}, None,
       "One line of text turned by angle degrees counter-clockwise", Call4<&Board::TextRotated>},
      {7, "FontName", M, {"value"}, None, "Font face name", Call1<&Board::FontName>},
      {8, "FontSize", M, {"value"}, None, "Font size in points", Call1<&Board::FontSize>},
      {9, "FontColor", M, {"value"}, None, "Font colour #RRGGBB", Call1<&Board::FontColor>},
      {10, "BrushColor", M, {"value"}, None, "Brush colour #RRGGBB", Call1<&Board::BrushColor>},
      {11, "BrushClear", M, {}, None, "No fill", Call0<&Board::BrushClear>},
      {12, "BrushSolid", M, {}, None, "Solid fill", Call0<&Board::BrushSolid>},
      {13, "PenColor", M, {"value"}, None, "Pen colour #RRGGBB", Call1<&Board::PenColor>},
      {14, "PenClear", M, {}, None, "No lines or outlines", Call0<&Board::PenClear>},
      {15, "PenSolid", M, {}, None, "Solid lines and outlines", Call0<&Board::PenSolid>},
      {16, "ImageHeight", M, {}, Int, "Height of the image in pixels", Out0<&Board::ImageHeight>},
      {17, "ImageWidth", M, {}, Int, "Width of the image in pixels", Out0<&Board::ImageWidth>},
      {18, "ShowImage", M, {}, None, "Bring the image page to the front", Call0<&Board::ShowImage>},
      {19, "Clear", M, {}, None, "White image of the same size, as one edit step", Call0<&Board::Clear>},
      {20, "NewImage", M, {"width", "height"}, None, "White image of the size, as one edit step",
       Call2<&Board::NewImage>},
      {21, "TextWidth", M, {"value"}, Int, "Width of the text in the font", Out1<&Board::TextWidth>},
      {22, "TextHeight", M, {"value"}, Int, "Height of the text in the font", Out1<&Board::TextHeight>},
      {23, "FontNormal", M, {}, None, "Font style: none", Call0<&Board::FontNormal>},
      {24, "FontItalic", M, {}, None, "Add italic", Call0<&Board::FontItalic>},
      {25, "FontBold", M, {}, None, "Add bold", Call0<&Board::FontBold>},
      {26, "FontUnderline", M, {}, None, "Add underline", Call0<&Board::FontUnderline>},
      {27, "LineAngled", M, {"angle", "length"}, None, "Line from the pen position at angle degrees (90 down)",
       Call2<&Board::LineAngled>},
      {28, "MoveTo", M, {"x", "y"}, None, "Move the pen position", Call2<&Board::MoveTo>},
      {29, "LineTo", M, {"x", "y"}, None, "Line from the pen position", Call2<&Board::LineTo>},
      {30, "angle", MemberKind::PropertyGet, {}, Int, "Turtle heading in degrees", Out0<&Board::get_angle>},
      {30, "angle", MemberKind::PropertyPut, {"value"}, None, "Turtle heading in degrees", Call1<&Board::set_angle>},
      {31, "PenUp", M, {}, None, "Turtle moves without drawing", Call0<&Board::PenUp>},
      {32, "PenDown", M, {}, None, "Turtle draws as it moves", Call0<&Board::PenDown>},
      {33, "Turn", M, {"angle"}, None, "Turn the turtle by angle degrees", Call1<&Board::Turn>},
      {34, "Move", M, {"distance"}, None, "Move the turtle forward", Call1<&Board::Move>},
      {38, "getPixelColor", M, {"x", "y"}, ResultKind::Text, "Colour #RRGGBB of a pixel",
       Out2<&Board::getPixelColor>},
      {39, "FloodFillSurface", M, {"x", "y", "color"}, None, "Fill the area of the colour around (x, y)",
       Call3<&Board::FloodFillSurface>},
      {40, "FloodFillBorder", M, {"x", "y", "color"}, None, "Fill from (x, y) up to a border of the colour",
       Call3<&Board::FloodFillBorder>},
      {35, "PenWidth", M, {"value"}, None, "Pen width in pixels", Call1<&Board::PenWidth>},
  };
  return table;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

}  // namespace

std::span<const BoardMember> BoardMembers() { return Table(); }

const BoardMember* FindBoardMember(std::string_view name, MemberKind kind) {
  for (const BoardMember& member : Table()) {
    if (!SameName(member.name, name)) continue;
    if (member.kind == kind) return &member;
  }
  return nullptr;
}

BoardStatus Invoke(Board& board, const BoardMember& member, std::span<const Variant> arguments, Variant& result) {
  if (arguments.size() != member.parameters.size()) {
    const EAutomationError error(AutomationError::ArgumentCount,
                                 std::string(member.name) + " takes " + std::to_string(member.parameters.size()));
    return {false, MessageWithContext(error), error.Code()};
  }
  return member.call(board, arguments, result);
}

}  // namespace pixtrel::automation
