#include "ui/glow_images.h"

#include <QCoreApplication>
#include <QQuickTextureFactory>
#include <QRunnable>
#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/handover.h"
#include "ui/saved_pictures.h"

namespace qh {

namespace {

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
  Job(GlowImages& owner, PictureDrawing& drawing, const QString& id, QSize requested,
      std::shared_ptr<GlowImages::Making> making, std::shared_ptr<const SavedPictures> saved,
      bool early)
      : owner_(owner),
        drawing_(drawing),
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
    if (made && (early_ || making_->wanted())) image = drawing_.draw(id, requested_);
    Handover::give(&owner_);  // its destructor waits for the pool
    making_->finish(image);
    // Saved once the view has it: this start does not wait for the disk.
    if (made && saved_ && !image.isNull()) saved_->keep(id, requested_, image);
  }

 private:
  GlowImages& owner_;
  PictureDrawing& drawing_;
  std::string id_;
  QSize requested_;
  std::shared_ptr<GlowImages::Making> making_;
  std::shared_ptr<const SavedPictures> saved_;
  bool early_;
};

std::filesystem::path localFile(const QUrl& url) {
  return url.isLocalFile() ? url.toLocalFile().toStdString() : std::string();
}

std::string keyOf(const QString& id, QSize requested) {
  return id.toStdString() + '@' + std::to_string(requested.width()) + 'x' +
         std::to_string(requested.height());
}

}  // namespace

GlowImages::GlowImages(QUrl logo, QUrl tunnel) : drawing_(std::move(logo), std::move(tunnel)) {}

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
      std::vector<std::filesystem::path>{QCoreApplication::applicationFilePath().toStdString(),
                                         localFile(drawing_.logo()), localFile(drawing_.tunnel())},
      ids);
}

void GlowImages::startEarly(const QString& id, QSize requested) {
  auto making = std::make_shared<Making>();
  {
    const std::lock_guard lock(earlyLock_);
    if (stopped_ || !early_.emplace(keyOf(id, requested), making).second) return;
  }
  pool_.start(new Job(*this, drawing_, id, requested, making, saved_, true));
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
  pool_.start(new Job(*this, drawing_, id, requested, making, nullptr, false));
  return response;
}

}  // namespace qh

#include "glow_images.moc"
