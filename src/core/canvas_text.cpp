// Text on the canvas: fonts as the drawing calls describe them, single lines
// at an angle and text laid out in a rectangle.
#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "core/canvas_painting.h"
#include "core/qt_support.h"

namespace pixtrel {

using namespace canvas_detail;

namespace {

QString ToQString(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Text needs a QGuiApplication; without one (none at all, or a plain
// QCoreApplication) text is left out.
bool FontsAvailable() { return HasGuiApplication(); }

QFont MakeQFont(const Font& font) {
  QFont q;
  const QString family = ToQString(font.name);
  if (!family.isEmpty() && QFontDatabase::hasFamily(family)) {
    q.setFamily(family);
  } else {
    q.setStyleHint(QFont::SansSerif);
    q.setFamily(QFontDatabase::systemFont(QFontDatabase::GeneralFont).family());
  }
  q.setStyleStrategy(QFont::StyleStrategy(QFont::NoAntialias | QFont::PreferMatch));
  q.setHintingPreference(QFont::PreferFullHinting);
  q.setKerning(false);
  q.setBold(font.bold);
  q.setItalic(font.italic);
  q.setUnderline(font.underline);
  q.setStrikeOut(font.strikeOut);
  int pixels = font.height < 0 ? -font.height : font.height;
  if (pixels == 0) pixels = 11;
  pixels = std::min(pixels, 4096);
  q.setPixelSize(pixels);
  if (font.height > 0) {
    // A positive height is the whole cell: scale the character height so
    // that ascent plus descent fits it.
    const int cell = QFontMetrics(q).height();
    if (cell > 0 && cell != font.height) {
      int scaled = std::max(1, static_cast<int>(std::lround(double(pixels) * font.height / cell)));
      q.setPixelSize(scaled);
      while (scaled > 1 && QFontMetrics(q).height() > font.height) q.setPixelSize(--scaled);
    }
  }
  return q;
}

void PaintText(Canvas& c, int x, int y, const std::string& text) {
  if (text.empty() || !FontsAvailable()) return;
  x = Near(x);
  y = Near(y);
  const QFont font = MakeQFont(c.Font());
  const QFontMetrics fm(font);
  const QString s = ToQString(text);
  const int w = fm.horizontalAdvance(s), h = fm.height();
  QTransform t;
  t.translate(x, y);
  t.rotate(-c.Font().escapement / 10.0);
  const int margin = h / 2 + 2;
  const QRect local(-margin, -margin, w + 2 * margin, h + 2 * margin);
  CanvasPainter cp(c, t.mapRect(local).adjusted(-1, -1, 1, 1));
  if (cp.Empty()) return;
  const QRect area = cp.Area();
  if (c.Brush().style == bsSolid) {
    const QImage box = RenderMask(area, [&](QPainter& p) {
      p.setTransform(t, true);
      p.fillRect(QRect(0, 0, w, h), Qt::white);
    });
    cp.PaintMask(box, area.topLeft(), c.Brush().color, pmCopy);
  }
  const QImage glyphs = RenderMask(area, [&](QPainter& p) {
    p.setTransform(t, true);
    p.setFont(font);
    p.setPen(QColor(255, 255, 255));
    p.drawText(QPoint(0, fm.ascent()), s);
  });
  cp.PaintMask(glyphs, area.topLeft(), c.Font().color, pmCopy);
}

int QtTextFlags(unsigned flags) {
  int q = 0;
  q |= (flags & dtCenter) ? Qt::AlignHCenter : (flags & dtRight) ? Qt::AlignRight : Qt::AlignLeft;
  // Vertical placement applies to single lines only.
  if (flags & dtSingleLine)
    q |= (flags & dtVCenter) ? Qt::AlignVCenter : (flags & dtBottom) ? Qt::AlignBottom : Qt::AlignTop;
  else
    q |= Qt::AlignTop;
  if (flags & dtWordBreak) q |= Qt::TextWordWrap;
  if (flags & dtSingleLine) q |= Qt::TextSingleLine;
  if (flags & dtNoClip) q |= Qt::TextDontClip;
  return q;
}

int DrawTextIn(Canvas& c, const std::string& text, Rect& rect, unsigned flags) {
  if (!FontsAvailable()) return 0;
  const QFont font = MakeQFont(c.Font());
  const QFontMetrics fm(font);
  const QString s = ToQString(text);
  const int qflags = QtTextFlags(flags);
  const int left = Near(rect.Left), top = Near(rect.Top);
  const QRect box(left, top, std::max(0, Near(rect.Right) - left), std::max(0, Near(rect.Bottom) - top));
  if (flags & dtCalcRect) {
    if (s.isEmpty()) {
      rect.Right = rect.Left;
      rect.Bottom = rect.Top;
      return 0;
    }
    const QRect layoutBox(box.left(), box.top(), box.width(), std::max(box.height(), 1 << 20));
    const QRect br = fm.boundingRect(
        layoutBox, qflags & ~(Qt::AlignHCenter | Qt::AlignRight | Qt::AlignVCenter | Qt::AlignBottom), s);
    constexpr std::int64_t kMax = std::numeric_limits<int>::max();
    rect.Right = static_cast<int>(std::min<std::int64_t>(std::int64_t(rect.Left) + br.width(), kMax));
    rect.Bottom = static_cast<int>(std::min<std::int64_t>(std::int64_t(rect.Top) + br.height(), kMax));
    return br.height();
  }
  if (s.isEmpty()) return 0;
  const QRect br = fm.boundingRect(box, qflags, s);
  const QRect target = (flags & dtNoClip) ? br.united(box) : box;
  CanvasPainter cp(c, ExpandedBox(target, 0));
  if (cp.Empty()) return br.height();
  const QRect area = cp.Area();
  const QRect clipTo = (flags & dtNoClip) ? area : (box & area);
  if (c.Brush().style == bsSolid) {
    const QImage back = RenderMask(area, [&](QPainter& p) {
      p.setClipRect(clipTo);
      p.fillRect(br, Qt::white);
    });
    cp.PaintMask(back, area.topLeft(), c.Brush().color, pmCopy);
  }
  const QImage glyphs = RenderMask(area, [&](QPainter& p) {
    p.setClipRect(clipTo);
    p.setFont(font);
    p.setPen(QColor(255, 255, 255));
    p.drawText(box, qflags, s);
  });
  cp.PaintMask(glyphs, area.topLeft(), c.Font().color, pmCopy);
  return br.height();
}

}  // namespace

void PainterEngine::TextOut(Canvas& canvas, int x, int y, const std::string& text) const {
  PaintText(canvas, x, y, text);
}

int PainterEngine::TextWidth(const Font& font, const std::string& text) const {
  if (text.empty() || !FontsAvailable()) return 0;
  return QFontMetrics(MakeQFont(font)).horizontalAdvance(ToQString(text));
}

int PainterEngine::TextHeight(const Font& font) const {
  if (!FontsAvailable()) return 0;
  return QFontMetrics(MakeQFont(font)).height();
}

int PainterEngine::DrawText(Canvas& canvas, const std::string& text, Rect& rect, unsigned flags) const {
  return DrawTextIn(canvas, text, rect, flags);
}

}  // namespace pixtrel
