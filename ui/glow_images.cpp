#include "ui/glow_images.h"

#include <QCoreApplication>
#include <QImageReader>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QQuickTextureFactory>
#include <QRadialGradient>
#include <QRunnable>
#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/handover.h"
#include "ui/saved_pictures.h"
#include "ui/theme.h"

namespace qh {

namespace {

// One running-sum box blur of radius r along rows (or columns) of an 8-bit plane.
void boxPass(std::vector<float>& plane, int w, int h, int r, bool rows) {
  const int n = rows ? w : h;
  const int lines = rows ? h : w;
  std::vector<float> line(n);
  for (int l = 0; l < lines; ++l) {
    auto at = [&](int i) -> float& { return rows ? plane[l * w + i] : plane[i * w + l]; };
    for (int i = 0; i < n; ++i) line[i] = at(i);
    float sum = 0;
    for (int i = -r; i <= r; ++i) sum += (i >= 0 && i < n) ? line[i] : 0.f;
    for (int i = 0; i < n; ++i) {
      at(i) = sum / float(2 * r + 1);
      const int out = i - r;
      const int in = i + r + 1;
      if (out >= 0) sum -= line[out];
      if (in < n) sum += line[in];
    }
  }
}

QColor hexColor(const QString& hex) {
  return QColor(QStringLiteral("#") + hex);
}

// `color` solid out to `inner` of `radius` around `centre`, fading to clear
// at `radius`.
QRadialGradient radialFade(const QColor& color, QPointF centre, double radius, double inner) {
  QRadialGradient gradient(centre, radius);
  QColor clear = color;
  clear.setAlpha(0);
  gradient.setColorAt(0, color);
  gradient.setColorAt(inner, color);
  gradient.setColorAt(1, clear);
  return gradient;
}

class Response;

// The engine's response while it lives; a picture made later finds it gone
// when the engine cancelled and deleted it first.
struct Receiver {
  std::mutex lock;
  Response* response = nullptr;
  // The engine no longer wants the picture (its source changed before it came).
  bool cancelled = false;
};

// The engine's side: receives the picture on its own thread.
class Response : public QQuickImageResponse {
  Q_OBJECT
 public:
  Response() : receiver_(std::make_shared<Receiver>()) { receiver_->response = this; }
  ~Response() override {
    const std::lock_guard lock(receiver_->lock);
    receiver_->response = nullptr;
  }
  std::shared_ptr<Receiver> receiver() const { return receiver_; }
  void cancel() override {
    const std::lock_guard lock(receiver_->lock);
    receiver_->cancelled = true;
  }
  void deliver(QImage image) {
    image_ = std::move(image);
    emit finished();
  }
  QQuickTextureFactory* textureFactory() const override {
    return QQuickTextureFactory::textureFactoryForImage(image_);
  }
  // A picture that could not be made (a logo file that does not decode)
  // leaves its image in error, so what depends on it is left out.
  QString errorString() const override {
    return image_.isNull() ? QStringLiteral("the picture could not be made") : QString();
  }

 private:
  std::shared_ptr<Receiver> receiver_;
  QImage image_;
};

// Posts `image` to the receiver's response, if that still wants it. No
// QObject crosses threads: the picture goes through a posted call.
void deliverTo(const std::shared_ptr<Receiver>& receiver, const QImage& image) {
  const std::lock_guard lock(receiver->lock);
  Response* const response = receiver->response;
  if (!response || receiver->cancelled) return;
  Handover::post(response, [response, image]() mutable { response->deliver(std::move(image)); });
}

}  // namespace

// One picture in the making and the responses waiting for it.
struct GlowImages::Making {
  std::mutex lock;
  bool done = false;
  QImage image;
  std::vector<std::shared_ptr<Receiver>> waiting;

  void attach(std::shared_ptr<Receiver> receiver) {
    const std::lock_guard hold(lock);
    if (done)
      deliverTo(receiver, image);
    else
      waiting.push_back(std::move(receiver));
  }
  bool wanted() {
    const std::lock_guard hold(lock);
    return std::any_of(waiting.begin(), waiting.end(), [](const std::shared_ptr<Receiver>& r) {
      const std::lock_guard hold(r->lock);
      return r->response && !r->cancelled;
    });
  }
  void finish(QImage made) {
    const std::lock_guard hold(lock);
    done = true;
    image = std::move(made);
    for (const auto& receiver : waiting) deliverTo(receiver, image);
    waiting.clear();
  }
};

namespace {

// Makes one picture on a pool thread. No shared Qt string crosses threads
// with it, and the pool's hand-over is marked.
class Job : public QRunnable {
 public:
  // `saved` is where the picture is looked up and kept (null: made each time).
  Job(GlowImages& owner, const QString& id, QSize requested,
      std::shared_ptr<GlowImages::Making> making, std::shared_ptr<const SavedPictures> saved,
      bool early)
      : owner_(owner),
        id_(id.toStdString()),
        requested_(requested),
        making_(std::move(making)),
        saved_(std::move(saved)),
        early_(early) {
    Handover::give(this);
  }
  void run() override {
    Handover::take(this);
    const QString id = QString::fromStdString(id_);
    QImage image = saved_ ? saved_->find(id, requested_) : QImage();
    const bool made = image.isNull();
    // A window being resized asks for a backdrop at each size; only the ones
    // still wanted by the time a thread is free are made. One started early
    // is made for the view that is about to ask.
    if (made && (early_ || making_->wanted())) image = owner_.render(id, requested_);
    Handover::give(&owner_);  // its destructor waits for the pool
    making_->finish(image);
    // Saved once the view has it: this start does not wait for the disk.
    if (made && saved_ && !image.isNull()) saved_->keep(id, requested_, image);
  }

 private:
  GlowImages& owner_;
  std::string id_;
  QSize requested_;
  std::shared_ptr<GlowImages::Making> making_;
  std::shared_ptr<const SavedPictures> saved_;
  bool early_;
};

std::string keyOf(const QString& id, QSize requested) {
  return id.toStdString() + '@' + std::to_string(requested.width()) + 'x' +
         std::to_string(requested.height());
}

}  // namespace

GlowImages::GlowImages(QUrl logo, QUrl tunnel)
    : logo_(std::move(logo)), tunnel_(std::move(tunnel)) {}

GlowImages::~GlowImages() {
  pool_.waitForDone();
  Handover::take(this);
  // The engine's reader thread asked for pictures under this lock; it has
  // ended, but only inside Qt, so taking the lock is what orders its last
  // request before the maps go.
  const std::lock_guard lock(earlyLock_);
  early_.clear();
  unforeseen_.clear();
}

QImage GlowImages::shadow(const QImage& mask, const QColor& color, double radius) {
  const int pad = int(std::ceil(2 * radius));
  const int w = mask.width() + 2 * pad;
  const int h = mask.height() + 2 * pad;
  const QImage alpha = mask.convertToFormat(QImage::Format_Alpha8);
  std::vector<float> plane(size_t(w) * size_t(h), 0.f);
  for (int y = 0; y < mask.height(); ++y) {
    const uchar* src = alpha.constScanLine(y);
    for (int x = 0; x < mask.width(); ++x) plane[(y + pad) * w + x + pad] = src[x] / 255.f;
  }
  // Three box passes each way approximate the Gaussian (variance r(r+1) ≈ sigma²).
  const int r = std::max(1, int(std::lround(radius / 2)));
  for (int i = 0; i < 3; ++i) {
    boxPass(plane, w, h, r, true);
    boxPass(plane, w, h, r, false);
  }
  QImage out(w, h, QImage::Format_ARGB32_Premultiplied);
  for (int y = 0; y < h; ++y) {
    auto* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < w; ++x) {
      const float a = std::clamp(plane[y * w + x], 0.f, 1.f);
      dst[x] = qRgba(int(color.red() * a + 0.5f), int(color.green() * a + 0.5f),
                     int(color.blue() * a + 0.5f), int(255 * a + 0.5f));
    }
  }
  return out;
}

QImage GlowImages::logoImage() {
  const std::lock_guard lock(logoLock_);
  if (!logoImage_) {
    QImageReader reader;
    if (logo_.isLocalFile()) Theme::openPicture(reader, logo_.toLocalFile());
    logoImage_ = logo_.isLocalFile() ? reader.read() : QImage();
  }
  return *logoImage_;
}

QImage GlowImages::backdrop(QSize size) const {
  if (size.isEmpty() || size.width() > 8192 || size.height() > 8192) return {};
  const double w = size.width(), h = size.height();
  // Corner to corner in the unit square stretched over the window: the other
  // two corners share the middle colour.
  const double k = 2 * w * h / (w * w + h * h);
  QLinearGradient base(0, 0, k * h, k * w);
  base.setColorAt(0, Theme::bgTop());
  base.setColorAt(1, Theme::bgBottom());

  // Opaque, so the window copies it rather than blending it. Fresh memory is
  // costly to touch, so a tunnel picture decoded at the window's size becomes
  // the backdrop itself: the gradient at 66 % over the picture is the
  // picture at 34 % over the gradient.
  QImage image = tunnelAt(size);
  QPainter p;
  if (image.size() == size && image.format() == QImage::Format_RGB32) {
    p.begin(&image);
    p.setOpacity(0.66);
    p.fillRect(image.rect(), base);
    p.setOpacity(1);
  } else {
    const QImage tunnel = std::move(image);
    image = QImage(size, QImage::Format_RGB32);
    p.begin(&image);
    p.fillRect(image.rect(), base);
    if (tunnel.isNull()) return image;
    // Scaled to fill the window, centred: the part of the picture with the
    // window's shape, as large as fits.
    const QSizeF part = QSizeF(size).scaled(tunnel.size(), Qt::KeepAspectRatio);
    const QRectF source(
        QPointF((tunnel.width() - part.width()) / 2, (tunnel.height() - part.height()) / 2), part);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.setOpacity(0.34);
    p.drawImage(QRectF(image.rect()), tunnel, source);
    p.setOpacity(1);
  }

  QLinearGradient shade(0, 0, 0, h);
  shade.setColorAt(0, Theme::alpha(Theme::bgTop(), 0.6));
  shade.setColorAt(0.42, Theme::alpha(Theme::bgTop(), 0.16));
  shade.setColorAt(0.78, Theme::alpha(Theme::bgBottom(), 0.47));
  shade.setColorAt(1, Theme::alpha(Theme::bgBottom(), 0.92));
  p.fillRect(image.rect(), shade);

  QRadialGradient vignette(QPointF(w / 2, h / 2), 760);
  vignette.setColorAt(0, Qt::transparent);
  vignette.setColorAt(280.0 / 760, Qt::transparent);
  vignette.setColorAt(1, Theme::alpha(Theme::bgBottom(), 0.78));
  p.fillRect(image.rect(), vignette);
  return image;
}

QImage GlowImages::tunnelAt(QSize size) const {
  if (!tunnel_.isLocalFile()) return {};
  // Decoded no larger than it is drawn: the design size serves every window
  // up to it, so most starts decode the picture at the window's size.
  QImageReader reader;
  Theme::openPicture(reader, tunnel_.toLocalFile());
  const QSize full = reader.size();
  if (full.isEmpty()) return {};
  const QSize design(Theme::width(), Theme::height());
  const QSize decode = size.width() <= design.width() && size.height() <= design.height()
                           ? full.scaled(design, Qt::KeepAspectRatioByExpanding)
                           : full;
  if (decode != full) reader.setScaledSize(decode);
  return reader.read();
}

QImage GlowImages::render(const QString& id, const QSize& requested) {
  const QStringList part = id.split('/');
  QImage image;
  if (part.size() == 4 && part[0] == "radial") {
    const int d = requested.isValid() ? std::max(requested.width(), 1) : 256;
    const double outer = part[3].toDouble();
    const double inner = outer > 0 ? std::clamp(part[2].toDouble() / outer, 0.0, 1.0) : 0.0;
    image = QImage(d, d, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setPen(Qt::NoPen);
    p.setBrush(radialFade(hexColor(part[1]), QPointF(d / 2.0, d / 2.0), d / 2.0, inner));
    p.drawEllipse(0, 0, d, d);
  } else if (part.size() == 5 && part[0] == "wisp") {
    // The wisp's ellipse with its squash and rotation baked in: at run time it
    // only moves and fades, the cheapest thing to composite.
    const double w = part[2].toDouble();
    const double h = part[3].toDouble();
    const double angle = part[4].toDouble() * M_PI / 180;
    const double a = w / 2, b = h / 2;
    const int bw = int(std::ceil(2 * std::sqrt(a * a * std::cos(angle) * std::cos(angle) +
                                               b * b * std::sin(angle) * std::sin(angle))));
    const int bh = int(std::ceil(2 * std::sqrt(a * a * std::sin(angle) * std::sin(angle) +
                                               b * b * std::cos(angle) * std::cos(angle))));
    image = QImage(std::max(bw, 1), std::max(bh, 1), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(image.width() / 2.0, image.height() / 2.0);
    p.rotate(part[4].toDouble());
    p.scale(1, h / w);
    p.setPen(Qt::NoPen);
    p.setBrush(radialFade(hexColor(part[1]), QPointF(0, 0), a, 0));
    p.drawEllipse(QPointF(0, 0), a, a);
  } else if (part.size() == 6 && part[0] == "glow") {
    QImage mask(part[1].toInt(), part[2].toInt(), QImage::Format_ARGB32_Premultiplied);
    mask.fill(Qt::transparent);
    QPainter p(&mask);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(mask.rect()), part[3].toDouble(), part[3].toDouble());
    p.fillPath(path, Qt::black);
    p.end();
    image = shadow(mask, hexColor(part[5]), part[4].toDouble());
  } else if (part.size() == 3 && part[0] == "logoglow") {
    const QImage logo = logoImage();
    if (!logo.isNull())
      image = shadow(logo.scaled(210, 210, Qt::IgnoreAspectRatio, Qt::SmoothTransformation),
                     hexColor(part[2]), part[1].toDouble());
  } else if (part.size() == 3 && part[0] == "backdrop") {
    image = backdrop(QSize(part[1].toInt(), part[2].toInt()));
  } else if (part.size() == 1 && part[0] == "logo") {
    image = logoImage();
    if (!image.isNull() && requested.isValid() && requested != image.size())
      image = image.scaled(requested, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  }
  return image;
}

void GlowImages::stop() {
  {
    const std::lock_guard lock(earlyLock_);
    stopped_ = true;
  }
  pool_.clear();
  pool_.waitForDone();
}

void GlowImages::saveIn(const std::filesystem::path& folder, const QStringList& ids) {
  // A new build or new source pictures make different pictures.
  saved_ = std::make_shared<const SavedPictures>(
      folder,
      std::vector<std::filesystem::path>{
          QCoreApplication::applicationFilePath().toStdString(),
          logo_.isLocalFile() ? logo_.toLocalFile().toStdString() : std::string(),
          tunnel_.isLocalFile() ? tunnel_.toLocalFile().toStdString() : std::string()},
      ids);
}

void GlowImages::startEarly(const QString& id, QSize requested) {
  auto making = std::make_shared<Making>();
  {
    const std::lock_guard lock(earlyLock_);
    if (stopped_ || !early_.emplace(keyOf(id, requested), making).second) return;
  }
  pool_.start(new Job(*this, id, requested, making, saved_, true));
}

QStringList GlowImages::unclaimed() const {
  const std::lock_guard lock(earlyLock_);
  QStringList names;
  for (const auto& entry : early_) names << QString::fromStdString(entry.first);
  return names;
}

QStringList GlowImages::unforeseen() const {
  const std::lock_guard lock(earlyLock_);
  QStringList names;
  for (const std::string& name : unforeseen_) names << QString::fromStdString(name);
  return names;
}

QQuickImageResponse* GlowImages::requestImageResponse(const QString& id, const QSize& requested) {
  auto* response = new Response;
  const std::string key = keyOf(id, requested);
  std::shared_ptr<Making> making;
  {
    const std::lock_guard lock(earlyLock_);
    // Never answered: the engine cancels it as it goes.
    if (stopped_) return response;
    if (const auto it = early_.find(key); it != early_.end()) {
      making = it->second;
      early_.erase(it);
    } else {
      unforeseen_.push_back(key);
    }
  }
  if (making) {
    making->attach(response->receiver());
    return response;
  }
  making = std::make_shared<Making>();
  making->attach(response->receiver());
  pool_.start(new Job(*this, id, requested, making, nullptr, false));
  return response;
}

}  // namespace qh

#include "glow_images.moc"
