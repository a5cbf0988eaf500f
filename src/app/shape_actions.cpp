#include "app/shape_actions.h"

#include <QActionGroup>
#include <QBoxLayout>
#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

#include "app/app_dialogs.h"
#include "app/commands.h"
#include "app/guarded.h"
#include "app/overlay_actions.h"
#include "app/workspace_view.h"
#include "core/qimage_bitmap.h"

namespace pixtrel {

namespace {

Color ToColor(const QColor& c) { return RGB(c.red(), c.green(), c.blue()); }

QFont ToQFont(const pixtrel::Font& font) {
  QFont q(QString::fromStdString(font.name));
  q.setPointSize(std::max(1, font.Size()));
  q.setBold(font.bold);
  q.setItalic(font.italic);
  q.setUnderline(font.underline);
  return q;
}

}  // namespace

// ---- ShapeView ----------------------------------------------------------------

ShapeView::ShapeView(shapes::ZepShape& shape, shapes::ShapeController& controller, const Workspace& workspace,
                     UserInteraction& ui, WorkspaceView& view)
    : QWidget(view.Canvas()), shape_(shape), controller_(controller), workspace_(workspace), ui_(ui), view_(view) {
  connect(&view, &WorkspaceView::zoomChanged, this, &ShapeView::Refresh);
  setObjectName(QStringLiteral("zepShape1"));
  setAttribute(Qt::WA_OpaquePaintEvent);
  menu_ = new QMenu(this);
  menu_->setObjectName(QStringLiteral("zepShapeController1"));
  connect(menu_, &QMenu::aboutToShow, this, &ShapeView::SyncPopup);
  Refresh();
}

void ShapeView::Refresh() {
  setGeometry(view_.CanvasRect(QRect(shape_.Left(), shape_.Top(), shape_.Width(), shape_.Height())));
  setVisible(shape_.Visible());
  if (isVisible()) raise();
  update();
}

void ShapeView::paintEvent(QPaintEvent*) {
  // What lies beneath the control, then the shape painted over it.
  Bitmap& surface = shape_.Surface();
  const QColor window = palette().color(QPalette::Window);
  surface.Fill(ToColor(window));
  const Bitmap& image = workspace_.Image();
  if (!image.Empty()) surface.Canvas().Draw(-shape_.Left(), -shape_.Top(), image);
  shape_.Paint();
  QPainter painter(this);
  if (view_.Zoom() < 1.0) painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(rect(), BitmapToQImage(surface));
}

QPoint ShapeView::ShapePoint(QPoint widgetPosition) const {
  return view_.ImagePoint(mapToParent(widgetPosition)) - QPoint(shape_.Left(), shape_.Top());
}

void ShapeView::mousePressEvent(QMouseEvent* event) {
  const QPoint p = ShapePoint(event->position().toPoint());
  const shapes::MouseButton button = event->button() == Qt::LeftButton    ? shapes::MouseButton::Left
                                     : event->button() == Qt::RightButton ? shapes::MouseButton::Right
                                                                          : shapes::MouseButton::Middle;
  const shapes::DragRules rules = controller_.Rules();
  const bool shift = (event->modifiers() & Qt::ShiftModifier) != 0;
  if (shapes::ShapeMouseDown(shape_, drag_, button, shift, p.x(), p.y(), &rules)) controller_.ToggleSelection(shape_);
}

void ShapeView::mouseMoveEvent(QMouseEvent* event) {
  if (!drag_.dragging) return;
  const QPoint p = ShapePoint(event->position().toPoint());
  const shapes::DragRules rules = controller_.Rules();
  const int left = shape_.Left(), top = shape_.Top();
  shapes::ShapeMouseMove(shape_, drag_, p.x(), p.y(), &rules);
  if (rules.mouseModeController && shape_.MouseMode() == shapes::mmMoveObject)
    controller_.MoveGroup(shape_, shape_.Left() - left, shape_.Top() - top);
}

void ShapeView::mouseReleaseEvent(QMouseEvent*) { shapes::ShapeMouseUp(drag_); }

void ShapeView::contextMenuEvent(QContextMenuEvent* event) { menu_->popup(event->globalPos()); }

void ShapeView::BuildPopup() {
  menu_->clear();
  entries_.clear();
  AddItems(menu_, controller_.Items(), {});
}

void ShapeView::AddItems(QMenu* menu, std::vector<shapes::ShapeMenuItem>& items, std::vector<std::string> path) {
  QActionGroup* radios = nullptr;
  const std::vector<Bitmap>& images = controller_.Images();
  for (shapes::ShapeMenuItem& item : items) {
    std::vector<std::string> itemPath = path;
    itemPath.push_back(item.caption);
    QAction* action = nullptr;
    if (item.kind == shapes::ShapeMenuItem::Separator) {
      action = menu->addSeparator();
    } else if (item.kind == shapes::ShapeMenuItem::Submenu) {
      QMenu* sub = menu->addMenu(QString::fromStdString(item.caption));
      AddItems(sub, item.items, itemPath);
      action = sub->menuAction();
    } else {
      action = menu->addAction(QString::fromStdString(item.caption));
      if (item.kind == shapes::ShapeMenuItem::Check || item.kind == shapes::ShapeMenuItem::Radio)
        action->setCheckable(true);
      if (item.kind == shapes::ShapeMenuItem::Radio) {
        if (!radios) radios = new QActionGroup(menu);
        radios->addAction(action);
      }
      shapes::ShapeMenuItem* target = &item;
      connect(action, &QAction::triggered, this, [this, target] {
        if (!target->run) return;
        Guarded(ui_, [&] { target->run(shape_, ui_); });
      });
    }
    if (item.image >= 0 && item.image < static_cast<int>(images.size()))
      action->setIcon(QIcon(QPixmap::fromImage(BitmapToQImage(images[static_cast<std::size_t>(item.image)]))));
    action->setVisible(item.visible);
    entries_.push_back({itemPath, action, &item});
  }
}

QAction* ShapeView::PopupAction(const std::vector<std::string>& path) const {
  for (const Entry& entry : entries_)
    if (entry.path == path) return entry.action;
  return nullptr;
}

void ShapeView::SyncPopup() {
  controller_.SyncChecks(shape_);
  for (const Entry& entry : entries_)
    if (entry.action->isCheckable()) entry.action->setChecked(entry.item->checked);
}

// ---- ShapeActions --------------------------------------------------------------

ShapeActions::ShapeActions(shapes::ZepShape& shape, Workspace& workspace, CompositionActions& compositions,
                           UserInteraction& ui, AppDialogs& dialogs, WorkspaceView* view, QBoxLayout* imageArea,
                           QWidget* window)
    : QObject(window),
      shape_(shape),
      workspace_(workspace),
      compositions_(compositions),
      ui_(ui),
      dialogs_(dialogs),
      view_(view),
      window_(window) {
  viewShape = NewCommand(this, "&View Shape", "ViewShape1", "F3");
  viewShape->setCheckable(true);
  paintShape = NewCommand(this, "Paint Shape", "PaintShape1", "F9");
  shapeAsOverlay = NewCommand(this, "Shape as Overlay", "ShapeasOverlay1", "Ctrl+Shift+F9");

  // The form's zepShape1 and its controller, whose menu the window trims.
  shapes::LoadMainFormShape(shape_);
  controller_.BrushColor = clBlue;
  controller_.GradientColor = clWhite;
  controller_.BackColor = clWhite;
  controller_.MouseMode = shapes::mmMoveObject;
  controller_.MouseModeController = true;
  controller_.BuildMenu();
  shapes::TrimMainWindowMenu(controller_);
  controller_.chooseFont = [this](const pixtrel::Font& start) -> std::optional<pixtrel::Font> {
    const std::optional<QFont> chosen = dialogs_.ChooseFont(window_, ToQFont(start));
    if (!chosen) return std::nullopt;
    pixtrel::Font font = start;
    font.name = chosen->family().toStdString();
    if (chosen->pointSize() > 0) font.SetSize(chosen->pointSize());
    font.bold = chosen->bold();
    font.italic = chosen->italic();
    font.underline = chosen->underline();
    return font;
  };
  controller_.onMouseModeChanged = [this](shapes::ShapeController&, shapes::ShapeMouseMode mode) {
    PressModeButton(mode);
  };

  shapeView_ = new ShapeView(shape_, controller_, workspace_, ui_, *view_);
  shapeView_->BuildPopup();
  shape_.repaintRequested = [this] { shapeView_->Refresh(); };
  connect(view_, &WorkspaceView::refreshed, shapeView_, [this] { shapeView_->update(); });

  // The tool bar.
  panel_ = new QWidget;
  panel_->setObjectName(QStringLiteral("shapepanel"));
  auto* row = new QHBoxLayout(panel_);
  row->setContentsMargins(2, 2, 2, 2);
  row->setSpacing(1);
  modes_ = new QButtonGroup(this);
  modes_->setExclusive(true);
  AddButton("btnStamp", "Stamp", "Stamp", &ShapeActions::Stamp);
  QToolButton* overlayButton = AddButton("btnShapeOverlay", "Overlay", "Shape as Overlay", &ShapeActions::MakeOverlay);
  row->addSpacing(6);
  const struct {
    const char* name;
    const char* text;
    const char* hint;
    shapes::ShapeMouseMode mode;
  } modeButtons[] = {{"btnmoveObject", "Move", "Move shape", shapes::mmMoveObject},
                     {"btnsizeobject", "Size", "Resize shape", shapes::mmSizeObject},
                     {"btnmovetext", "Move text", "Move text", shapes::mmMoveText},
                     {"btnrotatetext", "Rotate", "Rotate text", shapes::mmRotateText}};
  for (const auto& m : modeButtons) {
    auto* button = new QToolButton;
    button->setObjectName(QString::fromLatin1(m.name));
    button->setText(QString::fromUtf8(m.text));
    button->setToolTip(QString::fromUtf8(m.hint));
    button->setCheckable(true);
    button->setAutoRaise(true);
    row->addWidget(button);
    modes_->addButton(button);
    modeButtons_.emplace_back(m.mode, button);
    const shapes::ShapeMouseMode mode = m.mode;
    connect(button, &QToolButton::clicked, this, [this, mode] { shape_.SetMouseMode(mode); });
  }
  PressModeButton(shape_.MouseMode());
  row->addSpacing(6);
  AddButton("btnTextOnly", "Text only", "Clear brush and pen, text only", &ShapeActions::TextOnly);
  AddButton("SpeedButton1", "Brush", "Solid brush", &ShapeActions::SolidBrush);
  AddButton("SpeedButton2", "Pen", "Solid pen", &ShapeActions::SolidPen);
  AddButton("SpeedButton3", "Color", "Font color", &ShapeActions::FontColor);
  QToolButton* bold = AddButton("SpeedButton4", "B", "Bold", &ShapeActions::ToggleBold);
  QToolButton* italic = AddButton("SpeedButton5", "I", "Italic", &ShapeActions::ToggleItalic);
  QToolButton* underline = AddButton("SpeedButton6", "U", "Underline", &ShapeActions::ToggleUnderline);
  QFont face = bold->font();
  face.setBold(true);
  bold->setFont(face);
  face = italic->font();
  face.setItalic(true);
  italic->setFont(face);
  face = underline->font();
  face.setUnderline(true);
  underline->setFont(face);
  AddButton("SpeedButton7", "Font", "Select Font", &ShapeActions::SelectFont);
  AddButton("btncaption", "Caption", "Shape caption", &ShapeActions::EditCaption);
  AddButton("SpeedButton8", "A+", "Larger", &ShapeActions::Larger);
  AddButton("SpeedButton9", "A-", "Smaller", &ShapeActions::Smaller);
  AddButton("btnframe", "Frame", "Size to image", &ShapeActions::SizeToImage);
  row->addStretch(1);
  (void)overlayButton;
  panel_->setVisible(false);
  imageArea->insertWidget(0, panel_);

  connect(viewShape, &QAction::toggled, this, [this](bool checked) {
    shape_.SetVisible(checked);
    panel_->setVisible(checked);
    shapeView_->Refresh();
  });
  connect(paintShape, &QAction::triggered, this, &ShapeActions::Stamp);
  connect(shapeAsOverlay, &QAction::triggered, this, &ShapeActions::MakeOverlay);
}

ShapeActions::~ShapeActions() {
  shape_.repaintRequested = nullptr;
  delete shapeView_;
  delete panel_;
}

QToolButton* ShapeActions::AddButton(const char* name, const char* text, const char* hint,
                                     void (ShapeActions::*run)()) {
  auto* button = new QToolButton;
  button->setObjectName(QString::fromLatin1(name));
  button->setText(QString::fromUtf8(text));
  button->setToolTip(QString::fromUtf8(hint));
  button->setAutoRaise(true);
  panel_->layout()->addWidget(button);
  connect(button, &QToolButton::clicked, this, [this, run] { Guarded(ui_, [&] { (this->*run)(); }); });
  return button;
}

QToolButton* ShapeActions::Button(const QString& name) const { return panel_->findChild<QToolButton*>(name); }

void ShapeActions::PressModeButton(shapes::ShapeMouseMode mode) {
  modes_->setExclusive(false);
  for (const auto& [buttonMode, button] : modeButtons_) button->setChecked(buttonMode == mode);
  modes_->setExclusive(true);
}

void ShapeActions::Stamp() {
  shapes::PaintShape(shape_, workspace_.Image());
  view_->Refresh();
}

void ShapeActions::MakeOverlay() {
  const Bitmap& image = workspace_.Image();
  Overlay& overlay = compositions_.CurrentOverlay();
  overlay.Take(shapes::ShapeAsOverlay(shape_, image.Width(), image.Height()));
  overlay.SetVisible(true);
}

void ShapeActions::TextOnly() { shapes::TextOnly(shape_); }

void ShapeActions::SolidBrush() {
  pixtrel::Brush brush = shape_.Brush();
  brush.style = bsSolid;
  shape_.SetBrush(brush);
}

void ShapeActions::SolidPen() {
  pixtrel::Pen pen = shape_.Pen();
  pen.style = psSolid;
  shape_.SetPen(pen);
}

void ShapeActions::FontColor() {
  const std::optional<Color> color = ui_.ChooseColor(shape_.Font().color);
  if (!color) return;
  pixtrel::Font font = shape_.Font();
  font.color = *color;
  shape_.SetFont(font);
}

void ShapeActions::ToggleBold() {
  pixtrel::Font font = shape_.Font();
  font.bold = !font.bold;
  shape_.SetFont(font);
}

void ShapeActions::ToggleItalic() {
  pixtrel::Font font = shape_.Font();
  font.italic = !font.italic;
  shape_.SetFont(font);
}

void ShapeActions::ToggleUnderline() {
  pixtrel::Font font = shape_.Font();
  font.underline = !font.underline;
  shape_.SetFont(font);
}

void ShapeActions::SelectFont() {
  const std::optional<pixtrel::Font> font = controller_.chooseFont(shape_.Font());
  if (font) shape_.SetFont(*font);
}

void ShapeActions::EditCaption() {
  const std::optional<std::string> caption = ui_.InputQuery("Pixtrel shape", "Enter caption:", shape_.Caption());
  if (caption) shape_.SetCaption(*caption);
}

void ShapeActions::Larger() {
  pixtrel::Font font = shape_.Font();
  const int size = font.Size();
  const int larger = shapes::LargerFontSize(size);
  if (larger == size) return;
  font.SetSize(larger);
  shape_.SetFont(font);
}

void ShapeActions::Smaller() {
  pixtrel::Font font = shape_.Font();
  const int size = font.Size();
  const int smaller = shapes::SmallerFontSize(size);
  if (smaller == size) return;
  font.SetSize(smaller);
  shape_.SetFont(font);
}

void ShapeActions::SizeToImage() { shapes::SizeToImage(shape_, workspace_.Image()); }

}  // namespace pixtrel
