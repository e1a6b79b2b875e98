#include "platform/drawing.h"

#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <map>
#include <memory>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/window_internal.h"

namespace tq {

struct DeviceContext {
  window_detail::Window* window = nullptr;  // null: a memory context
  std::unique_ptr<QImage> own_image;
  bool clipped = false;
  QRect clip;
  Font font;
  Pen pen;
  Brush brush;
  ColorRef text_color = Rgb(0, 0, 0);
  ColorRef bk_color = Rgb(255, 255, 255);
  int bk_mode = OPAQUE;
  Point position;

  QImage* Target() {
    if (window == nullptr) return own_image.get();
    return window->alive ? &window->image : nullptr;
  }
};

struct BitmapData {
  QImage image;
};

namespace window_detail {
namespace {

constexpr const char* kScreenFontFile = "/usr/share/wine/fonts/ms_sans_serif.ttf";
constexpr const char* kScalableFontFile = "/usr/share/wine/fonts/tahoma.ttf";
constexpr const char* kScalableBoldFontFile = "/usr/share/wine/fonts/tahomabd.ttf";

// A font as drawn, with the metrics the drawing calls need; built once per
// height and weight, since building a QFont and its metrics looks the face up.
struct Face {
  Font font;
  QFont qfont;
  int height = 0;
  int ascent = 0;
  int max_width = 0;
};

struct FontState {
  QString family = "DejaVu Sans";
  QString scalable_family = "DejaVu Sans Condensed";
  bool clone_loaded = false;
  bool bold_synthetic = false;
  std::vector<std::unique_ptr<Face>> faces;
};

FontState& Fonts() {
  static FontState state;
  return state;
}

std::unordered_set<DeviceContext*>& LiveContexts() {
  static std::unordered_set<DeviceContext*> contexts;
  return contexts;
}

DeviceContext* ResolveDc(DcHandle dc) {
  if (dc == nullptr || !OnUiThread() || !LiveContexts().contains(dc)) return nullptr;
  return dc->Target() != nullptr ? dc : nullptr;
}

DeviceContext* NewContext() {
  auto* dc = new DeviceContext;
  LiveContexts().insert(dc);
  return dc;
}

void FreeContext(DeviceContext* dc) {
  LiveContexts().erase(dc);
  delete dc;
}

// Bitmap-strike faces render the same at every size: renders a sample both
// ways and compares.
bool BoldLooksBold(const QString& family) {
  auto render = [&](bool bold) {
    QFont f(family);
    f.setPixelSize(14);
    f.setBold(bold);
    f.setStyleStrategy(QFont::NoAntialias);
    QImage image(120, 20, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setFont(f);
    p.setPen(Qt::black);
    p.drawText(2, 15, "Hamburgefonstiv");
    p.end();
    return image;
  };
  return render(false) != render(true);
}

// A painter on the context's image with its clip, exact pixels. `changed`
// bounds what the operation may touch: only that part of the window is shown
// again, so that a few fields redrawn many times a second do not repaint the
// whole window and its controls each time. Empty: the whole window.
class DcPainter {
 public:
  explicit DcPainter(DeviceContext* dc, const QRect& changed = QRect())
      : dc_(dc), changed_(changed), painter_(dc->Target()) {
    painter_.setRenderHint(QPainter::Antialiasing, false);
    painter_.setRenderHint(QPainter::TextAntialiasing, false);
    if (dc->clipped) painter_.setClipRect(dc->clip);
  }
  ~DcPainter() {
    painter_.end();
    if (dc_->window == nullptr) return;
    if (changed_.isNull()) {
      ShowImageChanges(dc_->window);
    } else {
      QRect shown = dc_->clipped ? changed_.intersected(dc_->clip) : changed_;
      if (!shown.isEmpty()) ShowImageChanges(dc_->window, shown);
    }
  }
  QPainter& operator*() { return painter_; }
  QPainter* operator->() { return &painter_; }

 private:
  DeviceContext* dc_;
  QRect changed_;
  QPainter painter_;
};

// The box around `points` with room for a pen `pen_width` wide.
QRect AroundPoints(std::initializer_list<QPoint> points, int pen_width) {
  QRect box;
  for (const QPoint& q : points) box = box.united(QRect(q, QSize(1, 1)));
  int margin = std::max(pen_width, 1) + 1;
  return box.adjusted(-margin, -margin, margin, margin);
}

const Face& FaceOf(Font font) {
  FontState& fonts = Fonts();
  for (const auto& face : fonts.faces) {
    if (face->font == font) return *face;
  }
  auto face = std::make_unique<Face>();
  face->font = font;
  face->qfont = QtFont(font);
  QFontMetrics fm(face->qfont);
  face->height = fm.height();
  face->ascent = fm.ascent();
  face->max_width = fm.maxWidth();
  fonts.faces.push_back(std::move(face));
  return *fonts.faces.back();
}

// Where text drawn with its cell's corner at (x, y) may land: a bold face
// drawn twice, and glyphs that reach a little past their advance. Bounded by
// the widest glyph rather than measured: measuring shapes the text a second
// time, and the fields of a reading are drawn many times a second.
QRect AroundText(const DeviceContext* dc, int x, int y, const QString& text) {
  const Face& face = FaceOf(dc->font);
  return QRect(x - 2, y - 1, static_cast<int>(text.size()) * face.max_width + 6, face.height + 2);
}

QPen QtPen(const Pen& pen) {
  if (pen.style == PS_NULL) return QPen(Qt::NoPen);
  QPen q(ToQColor(pen.color));
  int width = std::max(pen.width, 1);
  q.setWidth(width);
  // A 1-pixel line leaves out its end point; wider pens are round, as the
  // system's geometric pens are.
  q.setCapStyle(width == 1 ? Qt::FlatCap : Qt::RoundCap);
  q.setJoinStyle(width == 1 ? Qt::MiterJoin : Qt::RoundJoin);
  if (pen.style == 1) q.setStyle(Qt::DashLine);
  if (pen.style == 2) q.setStyle(Qt::DotLine);
  return q;
}

int AlphabetWidth(const QFontMetrics& fm) {
  return fm.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
}

bool WantsSyntheticBold(Font font) { return font.weight >= 600 && Fonts().bold_synthetic; }

void DrawTextAt(QPainter& p, DeviceContext* dc, int x, int y, const QString& text) {
  const Face& face = FaceOf(dc->font);
  bool synthetic = WantsSyntheticBold(dc->font);
  if (dc->bk_mode == OPAQUE) {
    int width = QFontMetrics(face.qfont).horizontalAdvance(text) + (synthetic ? 1 : 0);
    p.fillRect(QRect(x, y, width, face.height), ToQColor(dc->bk_color));
  }
  p.setFont(face.qfont);
  p.setPen(ToQColor(dc->text_color));
  p.drawText(x, y + face.ascent, text);
  if (synthetic) p.drawText(x + 1, y + face.ascent, text);
}

// The dot a coinciding run draws, as wide as the pen.
void DrawDot(QPainter& p, const Pen& pen, Point at) {
  if (pen.style == PS_NULL) return;
  int w = std::max(pen.width, 1);
  p.fillRect(QRect(at.x - w / 2, at.y - w / 2, w, w), ToQColor(pen.color));
}

QString BitmapPath(std::string_view name) {
  QDir dir(":/resources/bitmaps");
  QString wanted = ToQt(name).toUpper();
  for (const QFileInfo& info : dir.entryInfoList(QDir::Files)) {
    if (info.completeBaseName().toUpper() == wanted) return info.filePath();
  }
  return {};
}

// A block moved within one image (the chart scrolling several times a
// second): rows are moved in place, in the order that reads each source row
// before it is overwritten, with no copy of the block and no painter.
void MoveWithinImage(DeviceContext* dc, QRect from, QPoint to) {
  QImage& image = *dc->Target();
  QRect target = QRect(to, from.size()).intersected(image.rect());
  if (target.isEmpty()) return;
  from = QRect(from.topLeft() + (target.topLeft() - to), target.size());
  const int bytes_per_pixel = image.depth() / 8;
  const size_t row_bytes = static_cast<size_t>(target.width() * bytes_per_pixel);
  auto move_row = [&](int row) {
    std::memmove(image.scanLine(target.top() + row) + target.left() * bytes_per_pixel,
                 image.constScanLine(from.top() + row) + from.left() * bytes_per_pixel, row_bytes);
  };
  if (target.top() <= from.top()) {
    for (int row = 0; row < target.height(); ++row) move_row(row);
  } else {
    for (int row = target.height() - 1; row >= 0; --row) move_row(row);
  }
  if (dc->window != nullptr) ShowImageChanges(dc->window, target);
}

}  // namespace

void LoadScreenFont() {
  FontState& fonts = Fonts();
  int id = QFontDatabase::addApplicationFont(kScreenFontFile);
  QStringList families = id >= 0 ? QFontDatabase::applicationFontFamilies(id) : QStringList();
  if (!families.isEmpty()) {
    fonts.family = families.front();
    fonts.clone_loaded = true;
  } else {
    fonts.family = "DejaVu Sans";
  }
  fonts.bold_synthetic = !BoldLooksBold(fonts.family);
  fonts.faces.clear();
  int scalable = QFontDatabase::addApplicationFont(kScalableFontFile);
  QStringList scalable_families = scalable >= 0 ? QFontDatabase::applicationFontFamilies(scalable) : QStringList();
  if (!scalable_families.isEmpty()) fonts.scalable_family = scalable_families.front();
  QFontDatabase::addApplicationFont(kScalableBoldFontFile);
}

QFont ControlFont(Font font) {
  if (ScreenScale() == 1) return QtFont(font);
  // Four fifths of the height gives the outline face the clone's widths.
  int height = std::max(1, font.height < 0 ? -font.height : font.height);
  QFont q(Fonts().scalable_family);
  q.setPixelSize(std::max(8, (height * 4 + 2) / 5));
  q.setBold(font.weight >= 600);
  q.setStyleStrategy(QFont::NoAntialias);
  return q;
}

QFont QtFont(Font font) {
  FontState& fonts = Fonts();
  QFont q(fonts.family);
  q.setPixelSize(std::max(1, font.height < 0 ? -font.height : font.height));
  q.setBold(font.weight >= 600 && !fonts.bold_synthetic);
  q.setStyleStrategy(QFont::NoAntialias);
  q.setHintingPreference(QFont::PreferFullHinting);
  return q;
}

bool BoldIsSynthetic() { return Fonts().bold_synthetic; }

QString ToQt(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string FromQt(const QString& text) { return text.toUtf8().toStdString(); }

QColor ToQColor(ColorRef color) { return QColor(RedOf(color), GreenOf(color), BlueOf(color)); }

ColorRef FromQColor(const QColor& color) { return Rgb(color.red(), color.green(), color.blue()); }

}  // namespace window_detail

using namespace window_detail;

DcHandle BeginPaint(WindowHandle window, PaintInfo* paint) {
  Window* w = Resolve(window);
  if (w == nullptr || paint == nullptr) return nullptr;
  QRect area = w->dirty.isEmpty() ? QRect() : w->dirty;
  bool erase = w->erase_pending;
  w->dirty = QRect();
  w->erase_pending = false;
  w->begin_paint_called = true;
  DeviceContext* dc = NewContext();
  dc->window = w;
  dc->clipped = true;
  dc->clip = area;
  if (erase && !area.isEmpty()) {
    ColorRef fill = GetSysColor(COLOR_BTNFACE);
    bool has_background = true;
    if (w->window_class != nullptr) {
      fill = w->window_class->background;
      has_background = w->window_class->has_background;
    }
    if (has_background) {
      QPainter p(&w->image);
      p.fillRect(area, ToQColor(fill));
    }
  }
  paint->dc = dc;
  paint->paint = Rect{area.left(), area.top(), area.left() + area.width(), area.top() + area.height()};
  paint->erase = erase;
  return dc;
}

void EndPaint(WindowHandle window, const PaintInfo& paint) {
  (void)window;
  if (paint.dc != nullptr && LiveContexts().contains(paint.dc)) {
    if (paint.dc->window != nullptr) ShowImageChanges(paint.dc->window);
    FreeContext(paint.dc);
  }
}

DcHandle GetDC(WindowHandle window) {
  Window* w = Resolve(window);
  if (w == nullptr || w->image.isNull()) return nullptr;
  DeviceContext* dc = NewContext();
  dc->window = w;
  return dc;
}

int ReleaseDC(WindowHandle window, DcHandle dc) {
  (void)window;
  if (dc == nullptr || !LiveContexts().contains(dc) || dc->window == nullptr) return 0;
  FreeContext(dc);
  return 1;
}

DcHandle CreateMemoryDC(int width, int height) {
  if (!OnUiThread() || width <= 0 || height <= 0) return nullptr;
  DeviceContext* dc = NewContext();
  dc->own_image = std::make_unique<QImage>(width, height, QImage::Format_RGB32);
  dc->own_image->fill(Qt::white);
  return dc;
}

bool DeleteDC(DcHandle dc) {
  if (dc == nullptr || !LiveContexts().contains(dc) || dc->window != nullptr) return false;
  FreeContext(dc);
  return true;
}

namespace {

// Swaps one piece of a context's state; the type's zero on failure.
template <typename T>
T ExchangeState(DcHandle handle, T DeviceContext::*field, T value) {
  DeviceContext* dc = ResolveDc(handle);
  return dc == nullptr ? T{} : std::exchange(dc->*field, value);
}

}  // namespace

Font SelectFont(DcHandle handle, Font font) { return ExchangeState(handle, &DeviceContext::font, font); }
Pen SelectPen(DcHandle handle, Pen pen) { return ExchangeState(handle, &DeviceContext::pen, pen); }
Brush SelectBrush(DcHandle handle, Brush brush) { return ExchangeState(handle, &DeviceContext::brush, brush); }

ColorRef SetTextColor(DcHandle handle, ColorRef color) {
  return ExchangeState(handle, &DeviceContext::text_color, color);
}

ColorRef SetBkColor(DcHandle handle, ColorRef color) {
  return ExchangeState(handle, &DeviceContext::bk_color, color);
}

int SetBkMode(DcHandle handle, int mode) {
  DeviceContext* dc = ResolveDc(handle);
  if (dc == nullptr || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
  return std::exchange(dc->bk_mode, mode);
}

bool TextOut(DcHandle handle, int x, int y, std::string_view text) {
  DeviceContext* dc = ResolveDc(handle);
  if (dc == nullptr) return false;
  QString q = ToQt(text);
  DcPainter p(dc, AroundText(dc, x, y, q));
  DrawTextAt(*p, dc, x, y, q);
  return true;
}

int DrawText(DcHandle handle, std::string_view text, const Rect& rect, uint32_t format) {
  DeviceContext* dc = ResolveDc(handle);
  if (dc == nullptr) return 0;
  QFontMetrics fm(FaceOf(dc->font).qfont);
  QString all = ToQt(text);
  QStringList lines = (format & DT_SINGLELINE) ? QStringList{all} : all.split('\n');
  int line_height = fm.height();
  int total = line_height * static_cast<int>(lines.size());
  int y = rect.top;
  if (format & DT_SINGLELINE) {
    if (format & DT_VCENTER) y = rect.top + (rect.Height() - line_height) / 2;
    if (format & DT_BOTTOM) y = rect.bottom - line_height;
  }
  // The system clips DrawText to its rectangle.
  QRect box(rect.left, rect.top, rect.Width(), rect.Height());
  DcPainter p(dc, box);
  p->setClipRect(dc->clipped ? box.intersected(dc->clip) : box);
  for (QString line : lines) {
    if (line.endsWith('\r')) line.chop(1);
    int width = fm.horizontalAdvance(line) + (WantsSyntheticBold(dc->font) ? 1 : 0);
    int x = rect.left;
    if (format & DT_CENTER) x = rect.left + (rect.Width() - width) / 2;
    if (format & DT_RIGHT) x = rect.right - width;
    DrawTextAt(*p, dc, x, y, line);
    y += line_height;
  }
  return total;
}

Size GetTextExtent(DcHandle handle, std::string_view text) {
  DeviceContext* dc = ResolveDc(handle);
  return dc == nullptr ? Size{} : MeasureText(dc->font, text);
}

TextMetrics GetTextMetrics(DcHandle handle) {
  DeviceContext* dc = ResolveDc(handle);
  return dc == nullptr ? TextMetrics{} : MeasureFont(dc->font);
}

TextMetrics MeasureFont(Font font) {
  if (!OnUiThread()) return TextMetrics{};
  QFontMetrics fm(QtFont(font));
  TextMetrics m;
  m.height = fm.height();
  m.ascent = fm.ascent();
  m.descent = fm.descent();
  m.ave_char_width = (AlphabetWidth(fm) + 26) / 52;
  m.max_char_width = fm.maxWidth();
  return m;
}

Size MeasureText(Font font, std::string_view text) {
  if (!OnUiThread()) return Size{};
  const Face& face = FaceOf(font);
  int width = QFontMetrics(face.qfont).horizontalAdvance(ToQt(text));
  if (WantsSyntheticBold(font) && !text.empty()) width += 1;
  return Size{width, face.height};
}

bool IsScreenFontLoaded() { return Fonts().clone_loaded; }

bool MoveTo(DcHandle handle, int x, int y, Point* previous) {
  DeviceContext* dc = ResolveDc(handle);
  if (dc == nullptr) return false;
  if (previous != nullptr) *previous = dc->position;
  dc->position = Point{x, y};
  return true;
}

bool LineTo(DcHandle handle, int x, int y) {
  DeviceContext* dc = ResolveDc(handle);
  if (dc == nullptr) return false;
  {
    QPoint from(dc->position.x, dc->position.y);
    DcPainter p(dc, AroundPoints({from, QPoint(x, y)}, dc->pen.width));
    p->setPen(QtPen(dc->pen));
    p->drawLine(from, QPoint(x, y));
  }
  dc->position = Point{x, y};
  return true;
}

bool Polyline(DcHandle handle, std::span<const Point> points) {
  DeviceContext* dc = ResolveDc(handle);
  if (dc == nullptr || points.empty()) return false;
  QRect box;
  for (const Point& q : points) box = box.united(AroundPoints({QPoint(q.x, q.y)}, dc->pen.width));
  DcPainter p(dc, box);
  bool all_same = std::all_of(points.begin(), points.end(), [&](const Point& q) { return q == points[0]; });
  if (all_same) {
    DrawDot(*p, dc->pen, points[0]);
    return true;
  }
  std::vector<QPoint> qpoints;
  qpoints.reserve(points.size());
  for (const Point& q : points) qpoints.emplace_back(q.x, q.y);
  p->setPen(QtPen(dc->pen));
  p->drawPolyline(qpoints.data(), static_cast<int>(qpoints.size()));
  return true;
}

bool FillRect(DcHandle handle, const Rect& rect, Brush brush) {
  DeviceContext* dc = ResolveDc(handle);
  if (dc == nullptr) return false;
  if (brush.hollow || rect.Width() <= 0 || rect.Height() <= 0) return true;
  QRect box(rect.left, rect.top, rect.Width(), rect.Height());
  DcPainter p(dc, box);
  p->fillRect(box, ToQColor(brush.color));
  return true;
}

bool Rectangle(DcHandle handle, int left, int top, int right, int bottom) {
  DeviceContext* dc = ResolveDc(handle);
  if (dc == nullptr) return false;
  if (right <= left || bottom <= top) return true;
  DcPainter p(dc, QRect(left, top, right - left, bottom - top));
  if (!dc->brush.hollow) p->fillRect(QRect(left, top, right - left, bottom - top), ToQColor(dc->brush.color));
  if (dc->pen.style != PS_NULL) {
    QPen pen = QtPen(dc->pen);
    pen.setCapStyle(Qt::SquareCap);
    pen.setJoinStyle(Qt::MiterJoin);
    p->setPen(pen);
    p->setBrush(Qt::NoBrush);
    int inset = (std::max(dc->pen.width, 1) - 1) / 2;
    p->drawRect(QRect(left + inset, top + inset, right - left - 1 - 2 * inset, bottom - top - 1 - 2 * inset));
  }
  return true;
}

bool Ellipse(DcHandle handle, int left, int top, int right, int bottom) {
  DeviceContext* dc = ResolveDc(handle);
  if (dc == nullptr) return false;
  if (right <= left || bottom <= top) return true;
  DcPainter p(dc, QRect(left, top, right - left, bottom - top));
  p->setBrush(dc->brush.hollow ? QBrush(Qt::NoBrush) : QBrush(ToQColor(dc->brush.color)));
  if (dc->pen.style == PS_NULL) {
    p->setPen(Qt::NoPen);
    p->drawEllipse(QRect(left, top, right - left, bottom - top));
  } else {
    p->setPen(QtPen(dc->pen));
    p->drawEllipse(QRect(left, top, right - left - 1, bottom - top - 1));
  }
  return true;
}

bool BitBlt(DcHandle dest_handle, int x, int y, int width, int height, DcHandle source_handle, int sx,
            int sy) {
  DeviceContext* dest = ResolveDc(dest_handle);
  DeviceContext* source = ResolveDc(source_handle);
  if (dest == nullptr || source == nullptr) return false;
  if (width <= 0 || height <= 0) return true;
  // Only the part of the block that lies inside the source is copied.
  QRect from = QRect(sx, sy, width, height).intersected(source->Target()->rect());
  if (from.isEmpty()) return true;
  QPoint to(x + (from.left() - sx), y + (from.top() - sy));
  if (source->Target() == dest->Target() && !dest->clipped) {
    MoveWithinImage(dest, from, to);
    return true;
  }
  QImage block = source->Target()->copy(from);
  DcPainter p(dest, QRect(to, from.size()));
  p->drawImage(to, block);
  return true;
}

ColorRef GetPixel(DcHandle handle, int x, int y) {
  DeviceContext* dc = ResolveDc(handle);
  if (dc == nullptr || !dc->Target()->valid(x, y)) return 0xFFFFFFFFu;
  return FromQColor(QColor(dc->Target()->pixel(x, y)));
}

bool SetPixel(DcHandle handle, int x, int y, ColorRef color) {
  DeviceContext* dc = ResolveDc(handle);
  if (dc == nullptr || !dc->Target()->valid(x, y)) return false;
  if (dc->clipped && !dc->clip.contains(x, y)) return true;
  dc->Target()->setPixel(x, y, ToQColor(color).rgb());
  if (dc->window != nullptr) ShowImageChanges(dc->window, QRect(x, y, 1, 1));
  return true;
}

BitmapHandle LoadBitmap(std::string_view name) {
  if (!OnUiThread()) return nullptr;
  static std::map<std::string, std::unique_ptr<BitmapData>> cache;
  std::string key = FromQt(ToQt(name).toUpper());
  auto it = cache.find(key);
  if (it != cache.end()) return it->second.get();
  QString path = BitmapPath(name);
  if (path.isEmpty()) return nullptr;
  QImage image(path);
  if (image.isNull()) return nullptr;
  auto data = std::make_unique<BitmapData>();
  data->image = image.convertToFormat(QImage::Format_RGB32);
  BitmapHandle handle = data.get();
  cache.emplace(key, std::move(data));
  return handle;
}

Size GetBitmapSize(BitmapHandle bitmap) {
  return bitmap == nullptr ? Size{} : Size{bitmap->image.width(), bitmap->image.height()};
}

bool DrawBitmap(DcHandle handle, int x, int y, BitmapHandle bitmap) {
  DeviceContext* dc = ResolveDc(handle);
  if (dc == nullptr || bitmap == nullptr) return false;
  DcPainter p(dc, QRect(QPoint(x, y), bitmap->image.size()));
  p->drawImage(x, y, bitmap->image);
  return true;
}

ColorRef GetSysColor(int index) {
  switch (index) {
    case COLOR_WINDOW:
    case COLOR_BTNHIGHLIGHT:
      return Rgb(255, 255, 255);
    case COLOR_WINDOWTEXT:
    case COLOR_BTNTEXT:
    case COLOR_3DDKSHADOW:
      return Rgb(0, 0, 0);
    case COLOR_BTNFACE:
    case COLOR_3DLIGHT:
      return Rgb(192, 192, 192);
    case COLOR_BTNSHADOW:
      return Rgb(128, 128, 128);
    default:
      return Rgb(192, 192, 192);
  }
}

}  // namespace tq
