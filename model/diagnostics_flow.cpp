#include "model/diagnostics_flow.h"

#include <optional>
#include <system_error>
#include <vector>

#include "compat/rosetta.h"
#include "core/async.h"
#include "core/log.h"
#include "model/diagnostics.h"
#include "model/launcher_model.h"
#include "model/model_services.h"
#include "platform/system_error.h"

namespace qh {

namespace fs = std::filesystem;

namespace {

struct Outcome {
  std::optional<fs::path> saved;
  // The first folder's failure: the one the player expected the zip in.
  std::string problem;
};

Outcome saveInto(const Diagnostics::Input& input, const std::vector<fs::path>& folders) {
  Outcome outcome;
  const std::string name = Diagnostics::fileName(input.when);
  for (const fs::path& folder : folders) {
    try {
      Diagnostics::write(input, folder / name);
      outcome.saved = folder / name;
      return outcome;
    } catch (const std::system_error& e) {
      if (outcome.problem.empty())
        outcome.problem = " to " + homeRelative(folder, input.home) + ": " + errorText(e.code());
    }
  }
  if (folders.empty()) outcome.problem = ": there is no folder to save it in";
  return outcome;
}

}  // namespace

DiagnosticsFlow::DiagnosticsFlow(LauncherModel& model, System& system)
    : model_(model), system_(system) {}

QCoro::Task<> DiagnosticsFlow::save() {
  if (saving_) co_return;
  saving_ = true;
  model_.setStatus(QStringLiteral("Saving diagnostics..."));
  Diagnostics::Input input{model_.paths(), system_.homeDir(), system_.loginName(),
                           rosettaState(system_.rosetta()), system_.resourcesDir()};
  const fs::path home = input.home;
  Outcome outcome;
  try {
    outcome = co_await onWorker([input = std::move(input), folders = system_.saveFolders()] {
      return saveInto(input, folders);
    });
  } catch (const std::exception& e) {
    outcome.problem = ": " + std::string(e.what());
  }
  saving_ = false;
  if (!outcome.saved) {
    const std::string text = "Couldn't save diagnostics" + outcome.problem;
    model_.setStatus(QString::fromStdString(text));
    Log::line(text);
    co_return;
  }
  model_.setStatus(
      QString::fromStdString("Saved diagnostics to " + homeRelative(*outcome.saved, home)));
  system_.reveal(*outcome.saved);
}

std::string homeRelative(const fs::path& path, const fs::path& home) {
  const fs::path rel = path.lexically_relative(home);
  if (home.empty() || rel.empty() || *rel.begin() == "..") return path.string();
  return rel == "." ? std::string("~") : "~/" + rel.string();
}

std::string rosettaState(const RosettaHost& host) {
  if (!host.isAppleSilicon()) return "not needed (not an Apple Silicon Mac)";
  return host.rosettaPresent() ? "installed" : "not installed";
}

}  // namespace qh
