#include "selfupdate/self_update_system.h"

#include "platform/platform.h"
#include "selfupdate/bundle_move.h"

namespace qh::SelfUpdate {
namespace {

class HostSystem final : public System {
 public:
  std::optional<std::filesystem::path> runningBundle() override {
    return Platform::runningBundle();
  }
  std::optional<std::string> runningBundleIdentifier() override {
    return Platform::runningBundleIdentifier();
  }
  std::error_code moveBundle(const std::filesystem::path& from,
                             const std::filesystem::path& to) override {
    return BundleMove::move(from, to);
  }
  std::error_code startRelaunch(const std::filesystem::path& backup,
                                const std::filesystem::path& bundle) override {
    return Platform::startRelaunch(backup, bundle);
  }
  void terminate() override { Platform::terminate(); }
};

}  // namespace

std::shared_ptr<System> hostSystem() {
  static const std::shared_ptr<System> host = std::make_shared<HostSystem>();
  return host;
}

}  // namespace qh::SelfUpdate
