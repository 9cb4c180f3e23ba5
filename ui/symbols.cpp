// The symbol icons are the project's own SVG files in the resources; the
// window draws them as vector shapes so they take any colour.
#include <QFile>
#include <QHash>
#include <QVariantMap>
#include <QXmlStreamReader>

#include "ui/theme.h"

namespace {

QVariantList parseSymbol(const QString& name) {
  QFile file(QStringLiteral(":/qh/icons/%1.svg").arg(name));
  if (!file.open(QIODevice::ReadOnly)) return {};
  QVariantList layers;
  QXmlStreamReader xml(&file);
  while (!xml.atEnd()) {
    xml.readNext();
    if (!xml.isStartElement() || xml.name() != QLatin1String("path")) continue;
    const auto attrs = xml.attributes();
    const bool filled = attrs.value("fill") != QLatin1String("none");
    QVariantMap layer;
    layer["d"] = attrs.value("d").toString();
    layer["fill"] = filled;
    layer["width"] = filled ? 0.0 : attrs.value("stroke-width").toDouble();
    layer["round"] = attrs.value("stroke-linecap") == QLatin1String("round");
    layers.push_back(layer);
  }
  return xml.hasError() ? QVariantList{} : layers;
}

}  // namespace

QVariantList Theme::symbol(const QString& name) {
  // Parsed once per name; the view asks on every icon it creates.
  static QHash<QString, QVariantList> cache;
  auto it = cache.find(name);
  if (it == cache.end()) it = cache.insert(name, parseSymbol(name));
  return *it;
}
