#include "model/update_flow.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "client/cache.h"
#include "compat/runtime.h"
#include "core/async.h"
#include "core/files.h"
#include "core/log.h"
#include "core/text.h"
#include "model/compat_layer.h"
#include "model/launcher_model.h"
#include "model/play_flow.h"
#include "model/ready_step.h"
#include "net/net.h"
#include "platform/system_error.h"
#include "update/update_engine.h"

namespace qh {

namespace fs = std::filesystem;

namespace {

QString q(const std::string& s) {
  return QString::fromStdString(s);
}

// The client's cached server data describes the files it had before.
QCoro::Task<> clearWdbCache(Paths paths) {
  co_await onWorker([paths] {
    if (const int cleared = ClientFiles::clearWdbCache(paths); cleared > 0) {
      Log::line("cleared " + std::to_string(cleared) + " WDB cache files");
    }
  });
}

// The engine's view of the model for one run.
class ModelHost final : public UpdateHost {
 public:
  ModelHost(LauncherModel& model, ReadyStep& ready, const PlayFlow& play, Timing timing)
      : model_(model), ready_(ready), play_(play), timing_(std::move(timing)) {}

  Paths paths() const override { return model_.paths(); }
  Timing timing() const override { return timing_; }
  void setPhase(Phase phase) override { model_.setPhase(phase); }
  void setStatus(const std::string& status) override { model_.setStatus(q(status)); }
  void setDetail(const std::string& detail) override { model_.setDetail(q(detail)); }
  void setProgress(std::optional<double> progress) override { model_.setProgress(progress); }
  void setOfficialAddons(std::vector<std::string> names) override {
    officialAddons_ = std::move(names);
  }
  bool gameRunning() const override { return play_.running(); }
  QCoro::Task<> clientFilesChanged() override { return clearWdbCache(model_.paths()); }
  QCoro::Task<> finishReady(std::string version, std::string summary, bool reconcile) override {
    return ready_.run(std::move(version), std::move(summary),
                      reconcile ? std::optional(officialAddons_) : std::nullopt);
  }
  StatusCallback reporter() override { return model_.reporter(); }

 private:
  LauncherModel& model_;
  ReadyStep& ready_;
  const PlayFlow& play_;
  Timing timing_;
  std::vector<std::string> officialAddons_;
};

}  // namespace

UpdateFlow::UpdateFlow(LauncherModel& model, ModelServices services, CompatLayer& layer,
                       ReadyStep& ready, const PlayFlow& play, Timing timing)
    : model_(model),
      services_(services),
      layer_(layer),
      ready_(ready),
      play_(play),
      timing_(std::move(timing)) {}

QCoro::Task<> UpdateFlow::start() {
  const bool replaced = co_await services_.selfUpdater.run(model_.paths(), model_.reporter());
  if (replaced) co_return;
  startDetached(loadGameVersion(), "game version");
  co_await resolveRuntimeSpec();
  if (model_.clientPresent()) {
    co_await sync(false);
    co_return;
  }
  model_.setPhase(Phase::needInstall);
  model_.setStatus(QStringLiteral("Choose where to install Quellhaven, then press Install."));
  model_.setDetail(QStringLiteral("The full client is about 30 GB."));
}

QCoro::Task<> UpdateFlow::install(std::string folder) {
  if (folder == "~" || folder.starts_with("~/")) {
    folder = services_.system.homeDir().string() + folder.substr(1);
  }
  if (folder.empty()) {
    model_.setStatus(QStringLiteral("Please choose an install location."));
    co_return;
  }
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec || !fs::is_directory(folder)) {
    if (!ec) ec = std::make_error_code(std::errc::not_a_directory);
    model_.setStatus(q("Can't use that folder: " + errorText(ec)));
    co_return;
  }
  model_.setInstallDir(folder);
  Files::writeAtomic(model_.paths().stateDir / "install_path.txt", folder);
  // Working from the press on, so a second press cannot start a second install.
  model_.setPhase(Phase::working);
  co_await resolveRuntimeSpec();
  co_await sync(false);
}

QCoro::Task<> UpdateFlow::sync(bool force) {
  auto host = std::make_shared<ModelHost>(model_, ready_, play_, timing_);
  co_await UpdateEngine::sync(std::move(host), force);
}

QCoro::Task<> UpdateFlow::loadGameVersion() {
  std::string body;
  try {
    const std::string url = Net::bust(model_.paths().base + "/game_version.txt");
    body = co_await services_.network.getString(url);
  } catch (const std::exception&) {
    co_return;
  }
  const std::string version = Text::trimWhitespace(body);
  if (version.empty() || version.find('<') != std::string::npos) co_return;
  model_.setGameVersion(q("v" + version));
}

QCoro::Task<> UpdateFlow::resolveRuntimeSpec() {
  std::shared_ptr<Runtime> runtime = layer_.runtime();
  co_await runtime->resolveSpec();
}

}  // namespace qh
