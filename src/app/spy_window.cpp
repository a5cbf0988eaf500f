#include "app/spy_window.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>
#include <QWindow>
#include <algorithm>
#include <utility>

#include "app/file_browser.h"
#include "app/screen_grab.h"

namespace pixtrel {

namespace {

constexpr char kCaption[] = "Close to Capture";
// The title band as designed at 120 pixels per inch; never lower than the caption's text.
constexpr int kDesignTitleHeight = 20;
// Along the border, this far from a corner a drag sizes both edges.
constexpr int kCornerGrip = 14;
// The smallest hole the frame shrinks to.
constexpr int kMinimumHole = 16;

bool OnWayland() { return QGuiApplication::platformName() == QStringLiteral("wayland"); }

}  // namespace

SpyF::SpyF(QWidget* parent) : QDialog(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setObjectName(QStringLiteral("SpyF"));
  setWindowTitle(QString::fromLatin1(kCaption));
  QPalette black = palette();
  black.setColor(QPalette::Window, Qt::black);
  setPalette(black);
  // Wayland has no shaped windows: there the hole is transparent pixels and
  // the mask only lets clicks through.
  if (OnWayland()) setAttribute(Qt::WA_TranslucentBackground);
  setMouseTracking(true);

  titleHeight_ = std::max(ScaleFromDesign(kDesignTitleHeight, logicalDpiY()), fontMetrics().height() + 4);
  closeButton_ = new QToolButton(this);
  closeButton_->setObjectName(QStringLiteral("closeButton"));
  closeButton_->setText(QStringLiteral("\u00d7"));
  closeButton_->setToolTip(tr("Close to capture the area under the frame"));
  closeButton_->setAutoRaise(false);
  closeButton_->setFocusPolicy(Qt::NoFocus);
  connect(closeButton_, &QToolButton::clicked, this, &QWidget::close);

  const int b = acquire::kCaptureFrameBorder;
  setMinimumSize(2 * b + std::max(kMinimumHole, 2 * titleHeight_), 2 * b + titleHeight_ + b + kMinimumHole);
  setGeometry(acquire::CaptureFrameStartBounds(logicalDpiY()));
  Recut();
}

QImage SpyF::TakeCapture() { return std::exchange(capture_, QImage()); }

acquire::FrameSize SpyF::Frame() const { return acquire::DrawnFrameSize(size(), titleHeight_); }

QRect SpyF::CaptureRectOnScreen() const {
  return acquire::CaptureRect(Frame(), mapToGlobal(acquire::DrawnClientOrigin(titleHeight_)));
}

void SpyF::done(int result) {
  // The portal answers through the event loop, where a second close could
  // arrive; the first one captures.
  if (capturing_) return;
  // The hole still shows what lies beneath, and the rectangle lies within it.
  if (isVisible()) {
    capturing_ = true;
    capture_ = GrabScreenArea(CaptureRectOnScreen());
    capturing_ = false;
  }
  drag_ = Drag::None;
  QDialog::done(result);
}

QRect SpyF::TitleBand() const {
  const int b = acquire::kCaptureFrameBorder;
  return QRect(b, b, width() - 2 * b, titleHeight_);
}

void SpyF::Recut() {
  setMask(acquire::CaptureFrameRegion(Frame()));
  const QRect band = TitleBand();
  const int side = std::max(titleHeight_ - 4, 8);
  closeButton_->setGeometry(band.right() - 1 - side, band.top() + (band.height() - side) / 2, side, side);
  update();
}

void SpyF::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // Escape and Enter reach the frame at once, wherever the pointer is.
  activateWindow();
}

void SpyF::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  // The title band shows whether the frame has the keyboard.
  if (event->type() == QEvent::ActivationChange) update();
}

void SpyF::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  Recut();
}

void SpyF::paintEvent(QPaintEvent*) {
  const acquire::FrameSize frame = Frame();
  QPainter painter(this);
  painter.setClipRegion(acquire::CaptureFrameRegion(frame));
  painter.fillRect(rect(), Qt::black);

  // The sizing border, raised, and the title band with the caption.
  const int b = acquire::kCaptureFrameBorder;
  const QPalette& colours = palette();
  QRegion border(rect());
  border -= QRegion(rect().adjusted(b, b, -b, -b));
  painter.setClipRegion(border);
  painter.fillRect(rect(), colours.button());
  painter.setPen(colours.light().color());
  painter.drawLine(0, 0, width() - 1, 0);
  painter.drawLine(0, 0, 0, height() - 1);
  painter.setPen(colours.shadow().color());
  painter.drawLine(width() - 1, 0, width() - 1, height() - 1);
  painter.drawLine(0, height() - 1, width() - 1, height() - 1);
  painter.setClipping(false);

  const QRect band = TitleBand();
  painter.fillRect(band, isActiveWindow() ? colours.highlight() : colours.mid());
  painter.setPen(colours.highlightedText().color());
  const QRect text = band.adjusted(3, 0, -(closeButton_->width() + 4), 0);
  painter.drawText(text, Qt::AlignVCenter | Qt::AlignLeft,
                   fontMetrics().elidedText(windowTitle(), Qt::ElideRight, text.width()));
}

void SpyF::keyPressEvent(QKeyEvent* event) {
  // Enter closes as Escape does: either way the area is captured.
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

Qt::Edges SpyF::EdgesAt(QPoint at) const {
  const int b = acquire::kCaptureFrameBorder;
  const bool inBorder = at.x() < b || at.y() < b || at.x() >= width() - b || at.y() >= height() - b;
  if (!inBorder || !rect().contains(at)) return {};
  Qt::Edges edges;
  if (at.x() < kCornerGrip) edges |= Qt::LeftEdge;
  if (at.x() >= width() - kCornerGrip) edges |= Qt::RightEdge;
  if (at.y() < kCornerGrip) edges |= Qt::TopEdge;
  if (at.y() >= height() - kCornerGrip) edges |= Qt::BottomEdge;
  // Along a side away from the corners only that side moves.
  if (at.x() < b && !(edges & (Qt::TopEdge | Qt::BottomEdge))) return Qt::LeftEdge;
  if (at.x() >= width() - b && !(edges & (Qt::TopEdge | Qt::BottomEdge))) return Qt::RightEdge;
  if (at.y() < b && !(edges & (Qt::LeftEdge | Qt::RightEdge))) return Qt::TopEdge;
  if (at.y() >= height() - b && !(edges & (Qt::LeftEdge | Qt::RightEdge))) return Qt::BottomEdge;
  return edges;
}

void SpyF::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QDialog::mousePressEvent(event);
  const QPoint at = event->position().toPoint();
  const Qt::Edges edges = EdgesAt(at);
  Drag drag = Drag::None;
  if (edges)
    drag = Drag::Resize;
  else if (TitleBand().contains(at))
    drag = Drag::Move;
  if (drag == Drag::None) return QDialog::mousePressEvent(event);
  // The desktop moves and sizes the window where it can (Wayland, most X11
  // window managers); elsewhere the frame follows the mouse itself.
  if (QWindow* window = windowHandle()) {
    const bool byDesktop = drag == Drag::Move ? window->startSystemMove() : window->startSystemResize(edges);
    if (byDesktop) return;
  }
  drag_ = drag;
  dragEdges_ = edges;
  dragStart_ = event->globalPosition().toPoint();
  startGeometry_ = geometry();
}

void SpyF::mouseMoveEvent(QMouseEvent* event) {
  if (drag_ == Drag::None) {
    const Qt::Edges edges = EdgesAt(event->position().toPoint());
    if ((edges & Qt::LeftEdge && edges & Qt::TopEdge) || (edges & Qt::RightEdge && edges & Qt::BottomEdge))
      setCursor(Qt::SizeFDiagCursor);
    else if (edges & (Qt::LeftEdge | Qt::RightEdge) && edges & (Qt::TopEdge | Qt::BottomEdge))
      setCursor(Qt::SizeBDiagCursor);
    else if (edges & (Qt::LeftEdge | Qt::RightEdge))
      setCursor(Qt::SizeHorCursor);
    else if (edges)
      setCursor(Qt::SizeVerCursor);
    else
      unsetCursor();
    return QDialog::mouseMoveEvent(event);
  }
  const QPoint delta = event->globalPosition().toPoint() - dragStart_;
  QRect bounds = startGeometry_;
  if (drag_ == Drag::Move) {
    bounds.translate(delta);
  } else {
    const QSize least = minimumSize();
    if (dragEdges_ & Qt::LeftEdge)
      bounds.setLeft(std::min(bounds.left() + delta.x(), bounds.right() + 1 - least.width()));
    if (dragEdges_ & Qt::RightEdge)
      bounds.setRight(std::max(bounds.right() + delta.x(), bounds.left() - 1 + least.width()));
    if (dragEdges_ & Qt::TopEdge)
      bounds.setTop(std::min(bounds.top() + delta.y(), bounds.bottom() + 1 - least.height()));
    if (dragEdges_ & Qt::BottomEdge)
      bounds.setBottom(std::max(bounds.bottom() + delta.y(), bounds.top() - 1 + least.height()));
  }
  setGeometry(bounds);
}

void SpyF::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && drag_ != Drag::None) {
    drag_ = Drag::None;
    return;
  }
  QDialog::mouseReleaseEvent(event);
}

}  // namespace pixtrel
