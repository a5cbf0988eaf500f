// The vector shape that floats over the workspace image: one of 76 outline
// kinds or a free polygon, filled with the brush or one of 26 gradient
// patterns, outlined with the pen and carrying a caption. It paints on its
// own surface (what the desktop program shows) and, through PaintTo, onto
// any canvas at an offset and a scale: that is how it is stamped into the
// image, turned into an overlay image or used as a transparency mask.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/bitmap.h"
#include "core/canvas.h"

namespace pixtrel::shapes {

// The outline kinds; the value is the position in this list.
enum ZepShapeType {
  zstRectangle,
  zstSquare,
  zstRoundRect,
  zstRoundSquare,
  zstEllipse,
  zstCircle,
  zstValve,
  zstValveUp,
  zstHouse,
  zstTriangleRight,
  zstTriangleUp,
  zstTriangleLeft,
  zstTriangleDown,
  zstArrowRight,
  zstArrowUp,
  zstArrowLeft,
  zstArrowDown,
  zstArrowUpDown,
  zstArrowLeftRight,
  zstDiamond,
  zstOctagon,
  zstHexagon,
  zstHexagonFlat,
  zstUBarUp,
  zstUBarLeft,
  zstUBarDown,
  zstUBarRight,
  zstChairLeft,
  zstChairRight,
  zstBowlLeft,
  zstBowlRight,
  zstBowlDown,
  zstBowlUp,
  zstIBar,
  zstHBar,
  zst4Point,
  zstWaggle,
  zstCloudLeft,
  zstCloudRight,
  zstDoubleOval,
  zstDoubleOvalV,
  zstTorus,
  zstFrame,
  zstFrameNarrow,
  zstLBarUpLeft,
  zstLBarUpRight,
  zstLBarLeft,
  zstLBarRight,
  zst2HoleHoriz,
  zst2HoleVert,
  zstCubeUpRight,
  zstCubeUpLeft,
  zstCubeDownRight,
  zstCubeDownLeft,
  zstCubeHalf,
  zstRoofRight,
  zstRoofLeft,
  zstRoofFront,
  zstRoofBack,
  zstPyramid,
  zstMoret,
  zstZ,
  zstN,
  zstMatta,
  zstPistacheTop,
  zstPistacheBottom,
  zstPistacheLeft,
  zstPistacheRight,
  zst1Hole,
  zst1HoleBig,
  zstflower,
  zstFatArrowUp,
  zstFatArrowLeft,
  zstFatArrowDown,
  zstFatArrowRight,
  zstUser,
};
constexpr int kShapeTypeCount = 76;

// The gradient patterns.
enum ZepFillDirection {
  zgdUp,
  zgdDown,
  zgdLeft,
  zgdRight,
  zgdRectOut,
  zgdRectIn,
  zgdHorizCenter,
  zgdVertCenter,
  zgdCircOut,
  zgdCircIn,
  zgdNWSE,
  zgdNESW,
  zgdSENW,
  zgdSWNE,
  zgdUright,
  zgdULeft,
  zgdUUp,
  zgdUDown,
  zgdRCMix,
  zgdRCModulo,
  zgdQuatro,
  zgdDuo,
  zgdLNE,
  zgdLNW,
  zgdUpDown,
  zgdLeftRight,
};
constexpr int kFillDirectionCount = 26;

enum ShapeMouseMode { mmfixed, mmMoveObject, mmSizeObject, mmMoveText, mmRotateText };

// Names as the menus and the command line show them ("zstRectangle").
const char* ShapeTypeName(ZepShapeType kind);
const char* FillDirectionName(ZepFillDirection direction);
const char* BrushStyleName(BrushStyle style);
const char* PenStyleName(PenStyle style);
const char* MouseModeName(ShapeMouseMode mode);
std::optional<ZepShapeType> ShapeTypeFromName(std::string_view name);
std::optional<ZepFillDirection> FillDirectionFromName(std::string_view name);
std::optional<BrushStyle> BrushStyleFromName(std::string_view name);
std::optional<PenStyle> PenStyleFromName(std::string_view name);

// A vertex of the free polygon as fractions of the shape's box.
struct UserPoint {
  double x = 0;
  double y = 0;
  friend bool operator==(const UserPoint&, const UserPoint&) = default;
};

// The vertices of a user vector string ("name=x,y,x,y,..."): the text after
// the first "=" as comma-separated text (commas and spaces separate, double
// quotes enclose), an even number of 2 to 100 numbers. Nothing when any of
// that fails.
std::optional<std::vector<UserPoint>> ParseUserVector(std::string_view text);

class ZepShape {
 public:
  // 65 x 65 at (0, 0) with the values every shape starts with.
  ZepShape();

  // ---- The control's place ----
  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetBounds(int left, int top, int width, int height);
  void SetLeft(int left) { SetBounds(left, top_, width_, height_); }
  void SetTop(int top) { SetBounds(left_, top, width_, height_); }
  void SetWidth(int width) { SetBounds(left_, top_, width, height_); }
  void SetHeight(int height) { SetBounds(left_, top_, width_, height); }
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);

  // ---- Published properties ----
  // Called after the outline instead of the caption when byUser is set.
  std::function<void(ZepShape&)> onUserDraw;

  const std::string& GroupName() const { return groupName_; }
  void SetGroupName(std::string name) { groupName_ = std::move(name); }
  const std::string& ConnectorN() const { return connectorN_; }
  const std::string& ConnectorS() const { return connectorS_; }
  const std::string& ConnectorE() const { return connectorE_; }
  const std::string& ConnectorW() const { return connectorW_; }
  void SetConnectorN(std::string v) { connectorN_ = std::move(v); }
  void SetConnectorS(std::string v) { connectorS_ = std::move(v); }
  void SetConnectorE(std::string v) { connectorE_ = std::move(v); }
  void SetConnectorW(std::string v) { connectorW_ = std::move(v); }

  const std::string& UserVectorString() const { return userVectorString_; }
  // Takes the string and its vertices when it parses (ParseUserVector);
  // otherwise nothing changes.
  void SetUserVectorString(const std::string& text);
  const std::vector<UserPoint>& UserPoints() const { return userPoints_; }

  const pixtrel::Brush& Brush() const { return brush_; }
  void SetBrush(const pixtrel::Brush& brush);
  Color GradientColor() const { return gradientColor_; }
  void SetGradientColor(Color color);
  bool Gradient() const { return gradient_; }
  void SetGradient(bool gradient);
  const pixtrel::Pen& Pen() const { return pen_; }
  void SetPen(const pixtrel::Pen& pen);
  ZepShapeType Shape() const { return shape_; }
  void SetShape(ZepShapeType shape);
  ZepFillDirection FillDirection() const { return fillDirection_; }
  void SetFillDirection(ZepFillDirection direction);
  const pixtrel::Font& Font() const { return font_; }
  void SetFont(const pixtrel::Font& font);
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  int CaptionX() const { return captionX_; }
  void SetCaptionX(int x);
  int CaptionY() const { return captionY_; }
  void SetCaptionY(int y);
  bool CaptionCentered() const { return captionCentered_; }
  void SetCaptionCentered(bool centered);
  // Degrees, counter-clockwise.
  int CaptionAngle() const { return captionAngle_; }
  void SetCaptionAngle(int angle);
  bool byUser() const { return byUser_; }
  void SetByUser(bool byUser);
  bool ActiveMouse() const { return activeMouse_; }
  void SetActiveMouse(bool active) { activeMouse_ = active; }
  ShapeMouseMode MouseMode() const { return mouseMode_; }
  void SetMouseMode(ShapeMouseMode mode) { mouseMode_ = mode; }
  bool PolyLineMode() const { return polyLineMode_; }
  void SetPolyLineMode(bool polyLine);
  bool Selected() const { return selected_; }
  void SetSelected(bool selected);

  // ---- Painting ----
  // Paints on the target canvas: the shape's own surface, or the canvas
  // PaintTo passes.
  void Paint();
  // Paints on canvas with every coordinate scaled and then shifted by the
  // offset; the selection mark is left out.
  void PaintTo(Canvas& canvas, int offsetX, int offsetY, double scaleX, double scaleY);

  // The painting parameters in force (1.0, 1.0, 0, 0 outside PaintTo), for
  // onUserDraw.
  double ScaleX() const { return scaleX_; }
  double ScaleY() const { return scaleY_; }
  int OffsetX() const { return offsetX_; }
  int OffsetY() const { return offsetY_; }
  // The canvas being painted on (for onUserDraw).
  Canvas& TargetCanvas() { return target_ ? *target_ : surface_.Canvas(); }
  bool PaintingForeign() const { return foreign_; }

  // The shape's own surface, the size of the control: the desktop program
  // fills it with what lies beneath, runs Paint and shows it. Its origin is
  // the control's top-left corner, so clip regions need no shift here.
  Bitmap& Surface() { return surface_; }

  // Called whenever a change needs the shape repainted.
  std::function<void()> repaintRequested;

 private:
  void Repaint();
  // The caption on a white sheet of the control's (scaled) size, drawn on
  // canvas with white transparent; right and bottom are the box's edges.
  void DrawCaption(Canvas& canvas, int right, int bottom);
  void DrawRotatedText(Canvas& canvas, int x, int y, int angle);
  template <class T>
  void Store(T& field, const T& value) {
    if (field == value) return;
    field = value;
    Repaint();
  }

  int left_ = 0, top_ = 0, width_ = 65, height_ = 65;
  bool visible_ = true;
  std::string groupName_, connectorN_, connectorS_, connectorE_, connectorW_;
  std::string userVectorString_ = "usrRectangle=0,0,1,0,1,1,0,1";
  std::vector<UserPoint> userPoints_{{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  pixtrel::Brush brush_{clWhite, bsSolid};
  Color gradientColor_ = clBlack;
  bool gradient_ = false;
  pixtrel::Pen pen_{clBlack, 1, psSolid, pmCopy};
  ZepShapeType shape_ = zstRectangle;
  ZepFillDirection fillDirection_ = zgdUp;
  pixtrel::Font font_;
  std::string caption_;
  int captionX_ = 0, captionY_ = 0;
  bool captionCentered_ = true;
  int captionAngle_ = 0;
  bool byUser_ = false;
  bool activeMouse_ = false;
  ShapeMouseMode mouseMode_ = mmfixed;
  bool polyLineMode_ = false;
  bool selected_ = false;

  Bitmap surface_;
  Canvas* target_ = nullptr;
  bool foreign_ = false;
  double scaleX_ = 1.0, scaleY_ = 1.0;
  int offsetX_ = 0, offsetY_ = 0;
};

// The main window's zepShape1 as it is loaded: 65 x 65 at (232, 88),
// hidden, dragged by its own mouse mode mmMoveObject.
void LoadMainFormShape(ZepShape& shape);

}  // namespace pixtrel::shapes
