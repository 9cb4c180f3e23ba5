#include "ui/symbol_icon.h"

#include <QDir>
#include <QFile>
#include <QPaintEngine>
#include <QPainter>
#include <QQuickWindow>
#include <QSGRenderNode>
#include <QSGRendererInterface>
#include <QSvgRenderer>
#include <QThreadPool>
#include <QtQml>
#include <climits>
#include <cmath>
#include <map>
#include <mutex>

namespace qh {

namespace {

// A painter's target that keeps what is drawn on it as layers instead of
// pixels: the shapes of an SVG as Qt's SVG module draws them, to be drawn
// again at any size in any colour. The module's own rendering would scale
// the strokes with the icon (a 1.5 wide line of the 24 grid drawn 0.9 wide
// in a 14 pixel icon), and its non-scaling strokes ignore the screen's
// density; the layers keep the file's widths in the icon's own units.
class LayerEngine : public QPaintEngine {
 public:
  LayerEngine() : QPaintEngine(QPaintEngine::AllFeatures) {}
  bool begin(QPaintDevice*) override { return true; }
  bool end() override { return true; }
  void updateState(const QPaintEngineState&) override {}
  Type type() const override { return QPaintEngine::User; }
  void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
  void drawPath(const QPainterPath& path) override { keep(path, true); }
  void drawPolygon(const QPointF* points, int count, PolygonDrawMode mode) override {
    QPainterPath path;
    path.addPolygon(QPolygonF(QList<QPointF>(points, points + count)));
    if (mode != PolylineMode) path.closeSubpath();
    path.setFillRule(mode == OddEvenMode ? Qt::OddEvenFill : Qt::WindingFill);
    keep(path, mode != PolylineMode);
  }

  std::vector<SymbolIcon::Layer> layers;

 private:
  void keep(const QPainterPath& path, bool fillable) {
    const QTransform& transform = painter()->transform();
    const QPainterPath placed = transform.map(path);
    if (fillable && painter()->brush().style() != Qt::NoBrush)
      layers.push_back({placed, Qt::NoPen});
    QPen stroke = painter()->pen();
    if (stroke.style() == Qt::NoPen) return;
    stroke.setWidthF(stroke.widthF() * std::sqrt(std::abs(transform.determinant())));
    layers.push_back({placed, stroke});
  }
};

class LayerDevice : public QPaintDevice {
 public:
  QPaintEngine* paintEngine() const override { return &engine_; }
  std::vector<SymbolIcon::Layer> take() { return std::move(engine_.layers); }

 protected:
  int metric(PaintDeviceMetric metric) const override {
    switch (metric) {
      case PdmWidth:
      case PdmHeight:
        return 24;
      case PdmDpiX:
      case PdmDpiY:
      case PdmPhysicalDpiX:
      case PdmPhysicalDpiY:
        return 72;
      case PdmWidthMM:
      case PdmHeightMM:
        return 8;
      case PdmDepth:
        return 32;
      case PdmNumColors:
        return INT_MAX;
      case PdmDevicePixelRatio:
        return 1;
      default:
        return QPaintDevice::metric(metric);
    }
  }

 private:
  mutable LayerEngine engine_;
};

std::vector<SymbolIcon::Layer> readSymbol(const QString& name) {
  const QString file = QStringLiteral(":/qh/icons/%1.svg").arg(name);
  // Asked first: the SVG module warns about a file it cannot open.
  if (!QFile::exists(file)) return {};
  QSvgRenderer svg(file);
  if (!svg.isValid()) return {};
  LayerDevice device;
  QPainter painter(&device);
  svg.render(&painter, QRectF(0, 0, 24, 24));
  painter.end();
  return device.take();
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

namespace {

// Read once per name; the view asks on every icon it creates. Held while a
// symbol is read, so one asked for while another thread reads it is not
// read twice.
std::mutex cacheLock;
std::map<QString, std::vector<SymbolIcon::Layer>>& cache() {
  static std::map<QString, std::vector<SymbolIcon::Layer>> symbols;
  return symbols;
}

}  // namespace

std::vector<SymbolIcon::Layer> SymbolIcon::layers(const QString& name) {
  const std::lock_guard lock(cacheLock);
  auto it = cache().find(name);
  if (it == cache().end()) it = cache().emplace(name, readSymbol(name)).first;
  return it->second;
}

void SymbolIcon::readAhead() {
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
    if (layer.stroke.style() == Qt::NoPen) {
      painter.setPen(Qt::NoPen);
      painter.setBrush(color);
    } else {
      QPen pen = layer.stroke;
      pen.setColor(color);
      painter.setPen(pen);
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
