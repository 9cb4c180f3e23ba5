// A symbol icon by its system name, drawn from the project's SVG in any
// colour as vectors: the software renderer paints its paths straight into the
// window at whatever scale the icon is shown, other renderers through a
// texture. The view's QML uses it as `SymbolIcon` (module Quellhaven.Symbols).
// Thread-safety: main thread only, except the render node, which runs where
// the scene graph renders, and the read symbols, which any thread may ask for.
#pragma once

#include <QColor>
#include <QPainterPath>
#include <QPen>
#include <QQuickPaintedItem>
#include <QString>
#include <vector>

namespace qh {

class SymbolIcon : public QQuickPaintedItem {
  Q_OBJECT
  Q_PROPERTY(QString name READ name WRITE setName NOTIFY nameChanged)
  Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY colorChanged)

 public:
  // One shape of a symbol on its 24 × 24 grid: filled (`stroke` Qt::NoPen)
  // or stroked with `stroke`'s width, caps and joins, whatever its colour.
  struct Layer {
    QPainterPath path;
    QPen stroke = Qt::NoPen;
  };

  explicit SymbolIcon(QQuickItem* parent = nullptr);

  // Makes the type known to QML; call once before the view loads.
  static void registerType();

  // The layers of the symbol `name`, as Qt's SVG module draws its file, read
  // once per name; empty when unknown or unreadable. Any thread.
  static std::vector<Layer> layers(const QString& name);
  // Starts reading every symbol on a pool thread, so the window's first
  // frame finds its icons read.
  static void readAhead();

  QString name() const { return name_; }
  void setName(const QString& name);
  QColor color() const { return color_; }
  void setColor(const QColor& color);

  void paint(QPainter* painter) override;

  // Draws `layers` scaled from their 24 × 24 grid to `size` with `painter`'s
  // current transform; strokes keep their width.
  static void drawLayers(QPainter& painter, const std::vector<Layer>& layers, QSizeF size,
                         const QColor& color);

 signals:
  void nameChanged();
  void colorChanged();

 protected:
  QSGNode* updatePaintNode(QSGNode* old, UpdatePaintNodeData* data) override;

 private:
  QString name_;
  QColor color_ = Qt::black;
};

}  // namespace qh
