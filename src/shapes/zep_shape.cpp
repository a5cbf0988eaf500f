// The shape's properties, names and the user vector string.
#include "shapes/zep_shape.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>

namespace pixtrel::shapes {

namespace {

constexpr std::array<const char*, kShapeTypeCount> kShapeTypeNames = {
    "zstRectangle",
    "zstSquare",
    "zstRoundRect",
    "zstRoundSquare",
    "zstEllipse",
    "zstCircle",
    "zstValve",
    "zstValveUp",
    "zstHouse",
    "zstTriangleRight",
    "zstTriangleUp",
    "zstTriangleLeft",
    "zstTriangleDown",
    "zstArrowRight",
    "zstArrowUp",
    "zstArrowLeft",
    "zstArrowDown",
    "zstArrowUpDown",
    "zstArrowLeftRight",
    "zstDiamond",
    "zstOctagon",
    "zstHexagon",
    "zstHexagonFlat",
    "zstUBarUp",
    "zstUBarLeft",
    "zstUBarDown",
    "zstUBarRight",
    "zstChairLeft",
    "zstChairRight",
    "zstBowlLeft",
    "zstBowlRight",
    "zstBowlDown",
    "zstBowlUp",
    "zstIBar",
    "zstHBar",
    "zst4Point",
    "zstWaggle",
    "zstCloudLeft",
    "zstCloudRight",
    "zstDoubleOval",
    "zstDoubleOvalV",
    "zstTorus",
    "zstFrame",
    "zstFrameNarrow",
    "zstLBarUpLeft",
    "zstLBarUpRight",
    "zstLBarLeft",
    "zstLBarRight",
    "zst2HoleHoriz",
    "zst2HoleVert",
    "zstCubeUpRight",
    "zstCubeUpLeft",
    "zstCubeDownRight",
    "zstCubeDownLeft",
    "zstCubeHalf",
    "zstRoofRight",
    "zstRoofLeft",
    "zstRoofFront",
    "zstRoofBack",
    "zstPyramid",
    "zstMoret",
    "zstZ",
    "zstN",
    "zstMatta",
    "zstPistacheTop",
    "zstPistacheBottom",
    "zstPistacheLeft",
    "zstPistacheRight",
    "zst1Hole",
    "zst1HoleBig",
    "zstflower",
    "zstFatArrowUp",
    "zstFatArrowLeft",
    "zstFatArrowDown",
    "zstFatArrowRight",
    "zstUser",
};

constexpr std::array<const char*, kFillDirectionCount> kFillDirectionNames = {
    "zgdUp",         "zgdDown",    "zgdLeft",   "zgdRight",  "zgdRectOut",   "zgdRectIn",   "zgdHorizCenter",
    "zgdVertCenter", "zgdCircOut", "zgdCircIn", "zgdNWSE",   "zgdNESW",      "zgdSENW",     "zgdSWNE",
    "zgdUright",     "zgdULeft",   "zgdUUp",    "zgdUDown",  "zgdRCMix",     "zgdRCModulo", "zgdQuatro",
    "zgdDuo",        "zgdLNE",     "zgdLNW",    "zgdUpDown", "zgdLeftRight",
};

constexpr std::array<const char*, 8> kBrushStyleNames = {"bsSolid",     "bsClear",     "bsHorizontal", "bsVertical",
                                                         "bsFDiagonal", "bsBDiagonal", "bsCross",      "bsDiagCross"};
constexpr std::array<const char*, 7> kPenStyleNames = {"psSolid",      "psDash",  "psDot",        "psDashDot",
                                                       "psDashDotDot", "psClear", "psInsideFrame"};
constexpr std::array<const char*, 5> kMouseModeNames = {"mmfixed", "mmMoveObject", "mmSizeObject", "mmMoveText",
                                                        "mmRotateText"};

template <class Enum, std::size_t N>
const char* NameOf(const std::array<const char*, N>& names, Enum value) {
  const auto i = static_cast<std::size_t>(value);
  return i < N ? names[i] : "";
}

template <class Enum, std::size_t N>
std::optional<Enum> FromName(const std::array<const char*, N>& names, std::string_view name) {
  for (std::size_t i = 0; i < N; ++i)
    if (name == names[i]) return static_cast<Enum>(i);
  return std::nullopt;
}

// Comma-separated text as a string list takes it: items end at a comma or
// at a space (or any control character); spaces around commas are skipped;
// an item may be enclosed in double quotes, "" standing for one quote.
std::vector<std::string> SplitCommaText(std::string_view text) {
  std::vector<std::string> items;
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  std::size_t i = 0;
  while (i < text.size() && blank(text[i])) ++i;
  while (i < text.size()) {
    std::string item;
    if (text[i] == '"') {
      ++i;
      while (i < text.size()) {
        if (text[i] == '"') {
          if (i + 1 < text.size() && text[i + 1] == '"') {
            item += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        item += text[i++];
      }
      // Text after the closing quote up to the separator belongs to the item.
      while (i < text.size() && !blank(text[i]) && text[i] != ',') item += text[i++];
    } else {
      while (i < text.size() && !blank(text[i]) && text[i] != ',') item += text[i++];
    }
    items.push_back(std::move(item));
    while (i < text.size() && blank(text[i])) ++i;
    if (i < text.size() && text[i] == ',') {
      ++i;
      // A comma at the very end still opens one last, empty item.
      if (i == text.size()) items.emplace_back();
      while (i < text.size() && blank(text[i])) ++i;
    }
  }
  return items;
}

// A decimal number with "." as the decimal separator: an optional sign,
// digits with at most one point, at least one digit, an optional exponent.
std::optional<double> ParseNumber(const std::string& text) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const std::size_t start = i;
  int digits = 0;
  bool point = false;
  for (; i < n; ++i) {
    if (std::isdigit(static_cast<unsigned char>(text[i]))) {
      ++digits;
    } else if (text[i] == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (digits == 0) return std::nullopt;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
    int expDigits = 0;
    while (i < n && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, ++expDigits;
    if (expDigits == 0) return std::nullopt;
  }
  if (i != n) return std::nullopt;
  double value = 0;
  const char* first = text.data() + start;
  const auto [end, ec] = std::from_chars(first, text.data() + n, value);
  // Out of range counts as not a number.
  if (ec != std::errc() || end != text.data() + n) return std::nullopt;
  return negative ? -value : value;
}

bool SamePen(const pixtrel::Pen& a, const pixtrel::Pen& b) {
  return a.color == b.color && a.width == b.width && a.style == b.style && a.mode == b.mode;
}
bool SameBrush(const pixtrel::Brush& a, const pixtrel::Brush& b) { return a.color == b.color && a.style == b.style; }
bool SameFont(const pixtrel::Font& a, const pixtrel::Font& b) {
  return a.name == b.name && a.height == b.height && a.bold == b.bold && a.italic == b.italic &&
         a.underline == b.underline && a.strikeOut == b.strikeOut && a.color == b.color && a.escapement == b.escapement;
}

}  // namespace

const char* ShapeTypeName(ZepShapeType kind) { return NameOf(kShapeTypeNames, kind); }
const char* FillDirectionName(ZepFillDirection direction) { return NameOf(kFillDirectionNames, direction); }
const char* BrushStyleName(BrushStyle style) { return NameOf(kBrushStyleNames, style); }
const char* PenStyleName(PenStyle style) { return NameOf(kPenStyleNames, style); }
const char* MouseModeName(ShapeMouseMode mode) { return NameOf(kMouseModeNames, mode); }

std::optional<ZepShapeType> ShapeTypeFromName(std::string_view name) {
  return FromName<ZepShapeType>(kShapeTypeNames, name);
}
std::optional<ZepFillDirection> FillDirectionFromName(std::string_view name) {
  return FromName<ZepFillDirection>(kFillDirectionNames, name);
}
std::optional<BrushStyle> BrushStyleFromName(std::string_view name) {
  return FromName<BrushStyle>(kBrushStyleNames, name);
}
std::optional<PenStyle> PenStyleFromName(std::string_view name) { return FromName<PenStyle>(kPenStyleNames, name); }

std::optional<std::vector<UserPoint>> ParseUserVector(std::string_view text) {
  const std::size_t eq = text.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  const std::vector<std::string> items = SplitCommaText(text.substr(eq + 1));
  if (items.empty() || items.size() % 2 != 0 || items.size() > 100) return std::nullopt;
  std::vector<UserPoint> points;
  points.reserve(items.size() / 2);
  for (std::size_t i = 0; i < items.size(); i += 2) {
    const auto x = ParseNumber(items[i]);
    const auto y = ParseNumber(items[i + 1]);
    if (!x || !y) return std::nullopt;
    points.push_back(UserPoint{*x, *y});
  }
  return points;
}

// ---- ZepShape --------------------------------------------------------------

ZepShape::ZepShape() : surface_(65, 65, pf24bit) { surface_.Fill(clWhite); }

void ZepShape::Repaint() {
  if (repaintRequested) repaintRequested();
}

void ZepShape::SetBounds(int left, int top, int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  const bool resized = width != width_ || height != height_;
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  if (resized) surface_.SetSize(width, height);
  Repaint();
}

void ZepShape::SetVisible(bool visible) { Store(visible_, visible); }

void ZepShape::SetUserVectorString(const std::string& text) {
  if (text == userVectorString_) return;
  auto points = ParseUserVector(text);
  if (!points) return;
  userVectorString_ = text;
  userPoints_ = std::move(*points);
  Repaint();
}

void ZepShape::SetBrush(const pixtrel::Brush& brush) {
  if (SameBrush(brush, brush_)) return;
  brush_ = brush;
  Repaint();
}

void ZepShape::SetPen(const pixtrel::Pen& pen) {
  if (SamePen(pen, pen_)) return;
  pen_ = pen;
  Repaint();
}

void ZepShape::SetFont(const pixtrel::Font& font) {
  if (SameFont(font, font_)) return;
  font_ = font;
  Repaint();
}

void ZepShape::SetGradientColor(Color color) { Store(gradientColor_, color); }
void ZepShape::SetGradient(bool gradient) { Store(gradient_, gradient); }
void ZepShape::SetShape(ZepShapeType shape) { Store(shape_, shape); }
void ZepShape::SetFillDirection(ZepFillDirection direction) { Store(fillDirection_, direction); }
void ZepShape::SetCaption(const std::string& caption) { Store(caption_, caption); }
void ZepShape::SetCaptionX(int x) { Store(captionX_, x); }
void ZepShape::SetCaptionY(int y) { Store(captionY_, y); }
void ZepShape::SetCaptionCentered(bool centered) { Store(captionCentered_, centered); }
void ZepShape::SetCaptionAngle(int angle) { Store(captionAngle_, angle); }
void ZepShape::SetByUser(bool byUser) { Store(byUser_, byUser); }
void ZepShape::SetPolyLineMode(bool polyLine) { Store(polyLineMode_, polyLine); }
void ZepShape::SetSelected(bool selected) { Store(selected_, selected); }

void ZepShape::PaintTo(Canvas& canvas, int offsetX, int offsetY, double scaleX, double scaleY) {
  scaleX_ = scaleX;
  scaleY_ = scaleY;
  offsetX_ = offsetX;
  offsetY_ = offsetY;
  target_ = &canvas;
  foreign_ = true;
  struct Restore {
    ZepShape& s;
    ~Restore() {
      s.target_ = nullptr;
      s.foreign_ = false;
      s.scaleX_ = 1.0;
      s.scaleY_ = 1.0;
      s.offsetX_ = 0;
      s.offsetY_ = 0;
    }
  } restore{*this};
  Paint();
}

void LoadMainFormShape(ZepShape& shape) {
  shape.SetBounds(232, 88, 65, 65);
  shape.SetGradientColor(clBlack);
  shape.SetFillDirection(zgdUp);
  shape.SetCaptionX(0);
  shape.SetCaptionY(0);
  shape.SetCaptionCentered(true);
  shape.SetCaptionAngle(0);
  shape.SetByUser(false);
  shape.SetActiveMouse(true);
  shape.SetMouseMode(mmMoveObject);
  shape.SetPolyLineMode(false);
  shape.SetSelected(false);
  shape.SetVisible(false);
}

}  // namespace pixtrel::shapes
