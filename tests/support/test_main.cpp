// Every test binary runs with its own home, data and config folders, so the
// support folder and user defaults never touch the developer's own.
#include "support/test_main.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QThreadPool>

#include <filesystem>
#include <string>

#include "core/own_threads.h"

namespace qh {

namespace {

// Constant-initialised, so a registration from another file's dynamic
// initialiser can never be overwritten by this one's.
testsupport::ApplicationFactory applicationFactory = nullptr;

}  // namespace

bool testsupport::setApplicationFactory(ApplicationFactory factory) {
  applicationFactory = factory;
  return true;
}

}  // namespace qh

using namespace qh;

int main(int argc, char** argv) {
  char tmpl[] = "/tmp/qh-test-home-XXXXXX";
  const char* home = mkdtemp(tmpl);
  if (!home) return 2;
  const std::string h = home;
  setenv("HOME", home, 1);
  setenv("XDG_DATA_HOME", (h + "/.local/share").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (h + "/.config").c_str(), 1);
  setenv("XDG_CACHE_HOME", (h + "/.cache").c_str(), 1);
  setenv("XDG_RUNTIME_DIR", h.c_str(), 1);
  const std::unique_ptr<QCoreApplication> app =
      applicationFactory ? applicationFactory(argc, argv)
                         : std::make_unique<QCoreApplication>(argc, argv);
  QCoreApplication::setOrganizationName("Quellhaven");
  QCoreApplication::setApplicationName("Quellhaven Launcher Tests");
  ::testing::InitGoogleTest(&argc, argv);
  const int rc = RUN_ALL_TESTS();
  // As the launcher's main() does: nothing runs on while statics are destroyed.
  OwnThreads::stopAll();
  QThreadPool::globalInstance()->waitForDone();
  std::error_code ec;
  std::filesystem::remove_all(h, ec);
  return rc;
}
