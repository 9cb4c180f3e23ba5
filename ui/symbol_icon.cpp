#include "ui/symbol_icon.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QQuickWindow>
#include <QSGRenderNode>
#include <QSGRendererInterface>
#include <QThreadPool>
#include <QXmlStreamReader>
#include <QtQml>
#include <cmath>
#include <map>
#include <mutex>

namespace qh {

namespace {

// One cubic piece of an elliptical arc, for at most a quarter turn: angles
// `t0` to `t1` of the unit circle at `centre`, stretched by the radii and
// turned by `rotation` (degrees).
void arcSegment(QPainterPath& path, QPointF centre, double t0, double t1, double rx, double ry,
                double rotation) {
  const double sinR = std::sin(rotation * M_PI / 180), cosR = std::cos(rotation * M_PI / 180);
  const double a00 = cosR * rx, a01 = -sinR * ry, a10 = sinR * rx, a11 = cosR * ry;
  const double half = 0.5 * (t1 - t0);
  const double t = (8.0 / 3.0) * std::sin(half * 0.5) * std::sin(half * 0.5) / std::sin(half);
  const double x1 = centre.x() + std::cos(t0) - t * std::sin(t0);
  const double y1 = centre.y() + std::sin(t0) + t * std::cos(t0);
  const double x3 = centre.x() + std::cos(t1);
  const double y3 = centre.y() + std::sin(t1);
  const double x2 = x3 + t * std::sin(t1);
  const double y2 = y3 - t * std::cos(t1);
  path.cubicTo(a00 * x1 + a01 * y1, a10 * x1 + a11 * y1, a00 * x2 + a01 * y2, a10 * x2 + a11 * y2,
               a00 * x3 + a01 * y3, a10 * x3 + a11 * y3);
}

// The SVG elliptical arc from the path's current point to `to`, as cubics
// (the endpoint-to-centre conversion of the SVG implementation notes).
void arcTo(QPainterPath& path, double rx, double ry, double rotation, bool large, bool sweep,
           QPointF to) {
  const QPointF from = path.currentPosition();
  rx = std::abs(rx);
  ry = std::abs(ry);
  if (rx == 0 || ry == 0) {
    path.lineTo(to);
    return;
  }
  const double sinR = std::sin(rotation * M_PI / 180), cosR = std::cos(rotation * M_PI / 180);
  const double dx = (from.x() - to.x()) / 2, dy = (from.y() - to.y()) / 2;
  const double x1 = cosR * dx + sinR * dy, y1 = -sinR * dx + cosR * dy;
  // Radii too small to reach are scaled up until they just do.
  const double reach = x1 * x1 / (rx * rx) + y1 * y1 / (ry * ry);
  if (reach > 1) {
    rx *= std::sqrt(reach);
    ry *= std::sqrt(reach);
  }
  // In the frame where the ellipse is the unit circle.
  const double a00 = cosR / rx, a01 = sinR / rx, a10 = -sinR / ry, a11 = cosR / ry;
  const double px0 = a00 * from.x() + a01 * from.y(), py0 = a10 * from.x() + a11 * from.y();
  const double px1 = a00 * to.x() + a01 * to.y(), py1 = a10 * to.x() + a11 * to.y();
  const double d = (px1 - px0) * (px1 - px0) + (py1 - py0) * (py1 - py0);
  if (d == 0) return;
  double factor = std::sqrt(std::max(0.0, 1.0 / d - 0.25));
  if (sweep == large) factor = -factor;
  const QPointF centre(0.5 * (px0 + px1) - factor * (py1 - py0),
                       0.5 * (py0 + py1) + factor * (px1 - px0));
  const double t0 = std::atan2(py0 - centre.y(), px0 - centre.x());
  const double t1 = std::atan2(py1 - centre.y(), px1 - centre.x());
  double turn = t1 - t0;
  if (turn < 0 && sweep)
    turn += 2 * M_PI;
  else if (turn > 0 && !sweep)
    turn -= 2 * M_PI;
  const int pieces = int(std::ceil(std::abs(turn / (M_PI * 0.5 + 0.001))));
  for (int i = 0; i < pieces; ++i) {
    arcSegment(path, centre, t0 + i * turn / pieces, t0 + (i + 1) * turn / pieces, rx, ry,
               rotation);
  }
}

std::vector<SymbolIcon::Layer> parseSymbol(const QString& name) {
  QFile file(QStringLiteral(":/qh/icons/%1.svg").arg(name));
  if (!file.open(QIODevice::ReadOnly)) return {};
  std::vector<SymbolIcon::Layer> layers;
  QXmlStreamReader xml(&file);
  while (!xml.atEnd()) {
    xml.readNext();
    if (!xml.isStartElement() || xml.name() != QLatin1String("path")) continue;
    const auto attrs = xml.attributes();
    SymbolIcon::Layer layer;
    layer.path = SymbolIcon::parsePath(attrs.value("d").toString());
    if (attrs.value("fill") == QLatin1String("none"))
      layer.width = attrs.value("stroke-width").toDouble();
    layer.roundCap = attrs.value("stroke-linecap") == QLatin1String("round");
    layers.push_back(layer);
  }
  return xml.hasError() ? std::vector<SymbolIcon::Layer>{} : layers;
}

// Paints the icon's paths straight into the window with the software
// renderer's painter, at the transform the icon is shown with.
class PathNode : public QSGRenderNode {
 public:
  explicit PathNode(QQuickWindow* window) : window_(window) {}
  void set(std::vector<SymbolIcon::Layer> layers, QSizeF size, QColor color) {
    layers_ = std::move(layers);
    size_ = size;
    color_ = color;
  }
  void render(const RenderState* state) override {
    auto* painter = static_cast<QPainter*>(
        window_->rendererInterface()->getResource(window_, QSGRendererInterface::PainterResource));
    if (!painter) return;
    painter->save();
    const QRegion* clip = state->clipRegion();
    if (clip && !clip->isEmpty()) painter->setClipRegion(*clip, Qt::ReplaceClip);
    painter->setTransform(matrix()->toTransform());
    painter->setOpacity(inheritedOpacity());
    draw(*painter);
    painter->restore();
  }
  StateFlags changedStates() const override { return BlendState; }
  RenderingFlags flags() const override { return BoundedRectRendering; }
  QRectF rect() const override { return QRectF(QPointF(), size_); }

  void draw(QPainter& painter) const;

 private:
  QQuickWindow* window_;
  std::vector<SymbolIcon::Layer> layers_;
  QSizeF size_;
  QColor color_;
};

}  // namespace

SymbolIcon::SymbolIcon(QQuickItem* parent) : QQuickPaintedItem(parent) {
  setAntialiasing(true);
}

void SymbolIcon::registerType() {
  qmlRegisterType<SymbolIcon>("Quellhaven.Symbols", 1, 0, "SymbolIcon");
}

QPainterPath SymbolIcon::parsePath(const QString& d) {
  QPainterPath path;
  qsizetype i = 0;
  auto skip = [&] {
    while (i < d.size() && (d[i].isSpace() || d[i] == QLatin1Char(','))) ++i;
  };
  auto number = [&](bool& ok) {
    skip();
    const qsizetype start = i;
    if (i < d.size() && (d[i] == QLatin1Char('-') || d[i] == QLatin1Char('+'))) ++i;
    while (i < d.size() && (d[i].isDigit() || d[i] == QLatin1Char('.'))) ++i;
    if (i < d.size() && (d[i] == QLatin1Char('e') || d[i] == QLatin1Char('E'))) {
      ++i;
      if (i < d.size() && (d[i] == QLatin1Char('-') || d[i] == QLatin1Char('+'))) ++i;
      while (i < d.size() && d[i].isDigit()) ++i;
    }
    return QStringView(d).mid(start, i - start).toDouble(&ok);
  };
  QChar command;
  while (true) {
    skip();
    if (i >= d.size()) break;
    if (d[i].isLetter()) command = d[i++];
    // Path data starts with a move.
    if (command.isNull() || (path.elementCount() == 0 && command.toLower() != QLatin1Char('m')))
      return {};
    const bool relative = command.isLower();
    const QPointF at = path.elementCount() ? path.currentPosition() : QPointF();
    const QPointF origin = relative ? at : QPointF();
    bool ok = true;
    switch (command.toLower().unicode()) {
      case 'm': {
        const double x = number(ok), y = number(ok);
        if (!ok) return {};
        path.moveTo(origin + QPointF(x, y));
        // Further pairs are lines.
        command = relative ? QLatin1Char('l') : QLatin1Char('L');
        break;
      }
      case 'l': {
        const double x = number(ok), y = number(ok);
        if (!ok) return {};
        path.lineTo(origin + QPointF(x, y));
        break;
      }
      case 'h': {
        const double x = number(ok);
        if (!ok) return {};
        path.lineTo((relative ? at.x() : 0) + x, at.y());
        break;
      }
      case 'v': {
        const double y = number(ok);
        if (!ok) return {};
        path.lineTo(at.x(), (relative ? at.y() : 0) + y);
        break;
      }
      case 'a': {
        const double rx = number(ok), ry = number(ok), rotation = number(ok);
        const double large = number(ok), sweep = number(ok), x = number(ok), y = number(ok);
        if (!ok) return {};
        arcTo(path, rx, ry, rotation, large != 0, sweep != 0, origin + QPointF(x, y));
        break;
      }
      case 'z':
        path.closeSubpath();
        command = QChar();
        break;
      default:
        return {};
    }
  }
  return path;
}

namespace {

// Parsed once per name; the view asks on every icon it creates. Held while a
// symbol is parsed, so one asked for while another thread parses it is not
// parsed twice.
std::mutex cacheLock;
std::map<QString, std::vector<SymbolIcon::Layer>>& cache() {
  static std::map<QString, std::vector<SymbolIcon::Layer>> symbols;
  return symbols;
}

}  // namespace

std::vector<SymbolIcon::Layer> SymbolIcon::layers(const QString& name) {
  const std::lock_guard lock(cacheLock);
  auto it = cache().find(name);
  if (it == cache().end()) it = cache().emplace(name, parseSymbol(name)).first;
  return it->second;
}

void SymbolIcon::parseAhead() {
  QThreadPool::globalInstance()->start([] {
    const QStringList files =
        QDir(QStringLiteral(":/qh/icons")).entryList({QStringLiteral("*.svg")}, QDir::Files);
    for (const QString& file : files) layers(file.chopped(4));
  });
}

void SymbolIcon::setName(const QString& name) {
  if (name == name_) return;
  name_ = name;
  emit nameChanged();
  update();
}

void SymbolIcon::setColor(const QColor& color) {
  if (color == color_) return;
  color_ = color;
  emit colorChanged();
  update();
}

void SymbolIcon::drawLayers(QPainter& painter, const std::vector<Layer>& layers, QSizeF size,
                            const QColor& color) {
  painter.setRenderHint(QPainter::Antialiasing);
  const QTransform scale = QTransform::fromScale(size.width() / 24, size.height() / 24);
  for (const Layer& layer : layers) {
    if (layer.width < 0) {
      painter.setPen(Qt::NoPen);
      painter.setBrush(color);
    } else {
      painter.setPen(QPen(color, layer.width, Qt::SolidLine,
                          layer.roundCap ? Qt::RoundCap : Qt::FlatCap, Qt::RoundJoin));
      painter.setBrush(Qt::NoBrush);
    }
    // The stroke keeps its width at any size: only the path is scaled.
    painter.drawPath(scale.map(layer.path));
  }
}

void PathNode::draw(QPainter& painter) const {
  SymbolIcon::drawLayers(painter, layers_, size_, color_);
}

void SymbolIcon::paint(QPainter* painter) {
  drawLayers(*painter, layers(name_), size(), color_);
}

QSGNode* SymbolIcon::updatePaintNode(QSGNode* old, UpdatePaintNodeData* data) {
  QQuickWindow* const w = window();
  if (!w || w->rendererInterface()->graphicsApi() != QSGRendererInterface::Software)
    return QQuickPaintedItem::updatePaintNode(old, data);
  auto* node = static_cast<PathNode*>(old);
  if (!node) node = new PathNode(w);
  node->set(layers(name_), size(), color_);
  node->markDirty(QSGNode::DirtyMaterial);
  return node;
}

}  // namespace qh
