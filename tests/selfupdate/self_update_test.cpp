// The self-update flow end to end: a published launcher on a local server, a
// copy of a bundle in a temporary folder playing the running launcher, and
// the relaunch shell starting the new bundle's stub.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>
#include <fstream>
#include <regex>

#include "bundle_fixture.h"
#include "core/log.h"
#include "core/os_layout.h"
#include "core/paths.h"
#include "platform/platform.h"
#include "platform/process.h"
#include "selfupdate/bundle_move.h"
#include "selfupdate/self_update.h"
#include "selfupdate/self_update_error.h"
#include "selfupdate/zip_guard.h"
#include "support/fake_clock.h"
#include "support/qt_wait.h"
#include "support/read_only_folder.h"
#include "support/run_tool.h"
#include "support/signing.h"
#include "support/temp_dir.h"
#include "support/test_server.h"
#include "tools/publish/launcher_archive.h"
#include "zip_writer.h"

namespace qh {

namespace fs = std::filesystem;

namespace {

const std::string id = "net.quellhaven.launcher";
const std::string appName = "Quellhaven Launcher.app";
const std::string updating = "Updating the launcher...";
const std::string notValid = "downloaded launcher is not a valid Quellhaven app";

// Plays the running launcher: its bundle is a copy in a temporary folder, its
// moves are the real ones (by copy when asked, as across volumes) and a quit
// is only counted.
class FakeSystem : public SelfUpdate::System {
 public:
  std::optional<fs::path> runningBundle() override { return running; }
  std::optional<std::string> runningBundleIdentifier() override {
    const auto info = Platform::openBundle(running);
    return info ? info->identifier : std::nullopt;
  }
  std::error_code moveBundle(const fs::path& from, const fs::path& to) override {
    moves.emplace_back(from, to);
    if (from == failMovesFrom) return std::make_error_code(std::errc::io_error);
    return byCopy ? BundleMove::moveByCopy(from, to) : BundleMove::move(from, to);
  }
  std::error_code startRelaunch(const fs::path& backup, const fs::path& bundle) override {
    return Platform::startRelaunch(backup, bundle);
  }
  void terminate() override {
    ++terminated;
    terminatedOnMain = QThread::currentThread() == QCoreApplication::instance()->thread();
  }

  fs::path running;
  bool byCopy = false;
  fs::path failMovesFrom;
  std::vector<std::pair<fs::path, fs::path>> moves;
  int terminated = 0;
  bool terminatedOnMain = false;
};

class SelfUpdateFlow : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("QH_STUB_RECORD", record.c_str(), 1);
    server.serveFolder(root / "www");
    fs::create_directories(state);
    running = makeBundle(root / "Applications", appName, id, "build 3");
    runningTree = treeOf(running);
    published = makeBundle(root / "published", appName, id, "build 4");
    LauncherArchive::publish(published, 4, root / "www", buildOs);
    system->running = running;
    Log::setFile(state / "launcher.log");
  }

  void TearDown() override { Log::setFile(std::nullopt); }

  void run() {
    Paths paths;
    paths.base = server.url();
    paths.stateDir = state;
    paths.installDir = root / "install";
    paths.releaseKeys = keys;
    Timing timing;
    timing.clock = clock;
    runTask(SelfUpdate::run(
        paths, [this](std::string s) { statuses.push_back(s); }, timing, system));
    drainEvents();
  }

  void publishVersion(const std::string& text) { root.write("www" + version, text); }
  void publishZip(const std::string& bytes) { root.write("www" + archive, bytes); }
  // Publishes an archive holding `bundles` (folders under root/"alt") at its top level.
  void publishBundles(const std::vector<std::string>& names) {
    const fs::path zip = root / ("www" + archive);
    fs::remove(zip);
    std::vector<std::string> args = {"--format",   "zip", "-cf",
                                     zip.string(), "-C",  (root / "alt").string()};
    args.insert(args.end(), names.begin(), names.end());
    ASSERT_EQ(Process::run({"/usr/bin/bsdtar", args}), 0);
  }
  // qh-publish writes the release with the launcher at `launcher`.
  void publishWithTool(const std::string& launcher, std::vector<std::string> extra = {}) {
    root.write("client/Wow.exe", "MZ");
    std::vector<std::string> args = {(root / "client").string(),
                                     (root / "www").string(),
                                     "--version",
                                     "1.0",
                                     "--platform",
                                     osLayout().folder,
                                     "--launcher-build",
                                     "4",
                                     "--launcher",
                                     launcher};
    args.insert(args.end(), extra.begin(), extra.end());
    const ToolResult made = runTool(QH_PUBLISH_BIN, args);
    ASSERT_EQ(made.exitCode, 0) << made.err;
  }

  std::string errorRecord() const { return slurp(state / "selfupdate_last_error.txt"); }
  std::string log() const { return slurp(state / "launcher.log"); }
  fs::path targetMarker() const { return state / "selfupdate_target.txt"; }
  fs::path backup() const { return running.parent_path() / (appName + ".old"); }
  // Request targets (path and query) that start with `prefix`.
  std::vector<std::string> targets(const std::string& prefix) const {
    std::vector<std::string> hits;
    for (const auto& r : server.requests()) {
      if (r.target.rfind(prefix, 0) == 0) hits.push_back(r.target);
    }
    return hits;
  }
  std::vector<std::string> zipRequests() const { return targets(archive); }
  void answer(const std::string& path, int status) { server.fault(path, {.status = status}); }

  // The failure record, the log line, and nothing changed.
  void expectFailure(const std::string& messagePattern) {
    const std::regex record("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d \\+0000  " + messagePattern);
    EXPECT_TRUE(std::regex_match(errorRecord(), record)) << errorRecord();
    EXPECT_TRUE(std::regex_search(log(), std::regex("  v3  selfupdate: " + messagePattern + "\n")))
        << log();
    expectUntouched();
  }

  // `bundle` took the running one's place, and the relaunch shell removed the backup.
  void expectSwappedTo(const fs::path& bundle) {
    EXPECT_EQ(treeOf(running), treeOf(bundle));
    EXPECT_EQ(system->terminated, 1);
    EXPECT_TRUE(system->terminatedOnMain);
    ASSERT_TRUE(spinUntil([&] { return fs::exists(record) && !fs::exists(backup()); }, 15000));
  }

  void expectOnlyAnnounced(const std::string& text) {
    EXPECT_EQ(statuses, std::vector<std::string>{text});
    EXPECT_TRUE(zipRequests().empty());
    EXPECT_FALSE(fs::exists(state / "selfupdate_last_error.txt"));
    expectUntouched();
  }

  void expectUntouched() {
    EXPECT_EQ(treeOf(running), runningTree);
    EXPECT_FALSE(fs::exists(backup()));
    EXPECT_EQ(system->terminated, 0);
  }

  TempDir root;
  fs::path state = root / "state";
  // This platform's files on the server, from its root.
  const std::string version = "/" + osLayout().launcherVersion;
  const std::string archive = "/" + osLayout().launcherArchive;
  fs::path record = root / "started.txt";
  fs::path running, published;
  std::map<std::string, std::string> runningTree;
  TestServer server;
  std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
  std::shared_ptr<FakeSystem> system = std::make_shared<FakeSystem>();
  std::vector<std::string> statuses;
  // None: archives are taken unsigned.
  ReleaseKeys keys;
};

// The release's own tool writes the archive, of a bundle named with a
// trailing slash as shell completion writes it; the launcher replaces itself
// by a copy, as when the download folder is on another volume (by a rename:
// selfupdate_launcher_test), past the stale backup of an earlier attempt.
TEST_F(SelfUpdateFlow, SwapsInWhatQhPublishWroteAndTheRelaunchStartsIt) {
  system->byCopy = true;
  root.write("Applications/" + appName + ".old/Contents/junk", "old");
  fs::remove_all(root / "www" / osLayout().folder);
  publishWithTool(published.string() + "/");
  run();

  EXPECT_EQ(statuses, std::vector<std::string>{updating});
  EXPECT_EQ(slurp(targetMarker()), "4");
  EXPECT_FALSE(fs::exists(state / "selfupdate"));
  EXPECT_FALSE(fs::exists(state / "selfupdate_last_error.txt"));
  EXPECT_EQ(targets(version + "?t=").size(), 1u);
  EXPECT_EQ(zipRequests(), std::vector<std::string>{archive + "?v=4"});
  // The shell waits a second, removes the backup and starts the new bundle.
  expectSwappedTo(published);
  EXPECT_TRUE(spinUntil([&] { return slurp(record) == "build 4 started\n"; }, 5000))
      << slurp(record);
}

// The marker of the build just installed stops a repeat. A newer build on the
// server (the version text with blanks around it) is tried again; a failed
// download is recorded and leaves the marker for the next start. (A build
// equal to the running one changes nothing: product_e2e_test publishes the
// launcher at the running build.)
TEST_F(SelfUpdateFlow, TheMarkerStopsARepeatAndAFailedDownloadLeavesIt) {
  root.write("state/selfupdate_target.txt", " 4\n");
  run();
  EXPECT_TRUE(zipRequests().empty());
  EXPECT_FALSE(fs::exists(targetMarker()));
  EXPECT_TRUE(statuses.empty());
  expectUntouched();

  answer(archive, 404);
  root.write("state/selfupdate_target.txt", "4");
  publishVersion(" \t5\r\n\n");
  run();
  EXPECT_EQ(zipRequests(), std::vector<std::string>{archive + "?v=5"});
  EXPECT_EQ(statuses, std::vector<std::string>{updating});
  expectFailure("HTTP 404 for " + server.url() + archive + "\\?v=5");
  EXPECT_EQ(slurp(targetMarker()), "4");
  EXPECT_TRUE(fs::is_directory(state / "selfupdate"));
}

TEST_F(SelfUpdateFlow, VersionsThatCannotBeReadAreRecorded) {
  server.fault(version, {.status = 500}, 1);
  run();
  expectFailure("HTTP 500 for " + server.url() + version + "\\?t=\\d+");
  publishVersion(std::string(1 << 20, '7'));
  run();
  expectFailure("launcher version is out of range");
  EXPECT_TRUE(statuses.empty());
  EXPECT_TRUE(zipRequests().empty());
}

TEST_F(SelfUpdateFlow, ATranslocatedLauncherOnlyAsksToBeMoved) {
  const fs::path translocated = root / "private/var/folders/T/AppTranslocation/9F2A/d";
  fs::create_directories(translocated);
  fs::rename(running, translocated / appName);
  running = translocated / appName;
  system->running = running;
  run();
  expectOnlyAnnounced(
      "A launcher update is available. Move Quellhaven to your Applications folder so it can "
      "update itself.");
}

TEST_F(SelfUpdateFlow, AReadOnlyFolderOnlyPointsToTheWebsite) {
  ReadOnlyFolder readOnly(running.parent_path());
  if (!readOnly.done()) GTEST_SKIP() << "cannot make a folder read-only here";
  run();
  expectOnlyAnnounced(
      "A launcher update is available, but this folder is read-only. Download the new launcher "
      "from the website.");
}

struct ArchiveCase {
  const char* name;
  std::string bytes;
  // What the zip's directory alone is refused for; null when only unpacking
  // shows what is wrong.
  const char* refusal;
};

class HostileArchives : public SelfUpdateFlow, public ::testing::WithParamInterface<ArchiveCase> {};

TEST_P(HostileArchives, EndAsUnzipFailureWithNothingWrittenOutside) {
  // Each layer holds on its own: the directory check is asked first, alone.
  std::ofstream(root / "inspected.zip", std::ios::binary) << GetParam().bytes;
  std::optional<std::string> refused;
  try {
    ZipGuard::inspect(root / "inspected.zip", SelfUpdate::maxUnpackedBytes);
  } catch (const SelfUpdateError& e) {
    EXPECT_STREQ(e.what(), "unzip failed");
    refused = e.logText();
  }
  if (GetParam().refusal)
    EXPECT_NE(refused.value_or("").find(GetParam().refusal), std::string::npos)
        << refused.value_or("accepted");
  else
    EXPECT_FALSE(refused) << *refused;

  publishZip(GetParam().bytes);
  run();
  expectFailure("unzip failed");
  EXPECT_EQ(statuses, std::vector<std::string>{updating});
  EXPECT_FALSE(fs::exists(root / "outside"));
  EXPECT_FALSE(fs::exists(state / "outside"));
  EXPECT_FALSE(fs::exists("/tmp/qh-evil"));
  // Nothing near the bomb's size reached the disk, and no entry came out
  // where it could be taken for the launcher.
  uintmax_t written = 0;
  for (auto& e : fs::recursive_directory_iterator(state)) {
    EXPECT_NE(e.path().filename(), "evil") << e.path();
    if (e.is_regular_file() && !e.is_symlink()) written += e.file_size();
  }
  EXPECT_LT(written, 64u << 20);
}

const std::string app = "Quellhaven Launcher.app/";
const uint32_t gib = 1u << 30;

// Each but the first two is refused from the zip's directory, before unpacking.
INSTANTIATE_TEST_SUITE_P(
    Archives, HostileArchives,
    ::testing::Values(
        ArchiveCase{"LyingBomb", makeZip({zipFolder(app), zipZeros(app + "zeros", 2049, 4096)}),
                    nullptr},
        ArchiveCase{"LinkOutOfTheBundle",
                    makeZip({zipFolder(app), zipLink(app + "l", "../../../../outside")}), nullptr},
        ArchiveCase{"Absolute", makeZip({zipFolder(app), zipFile("/tmp/qh-evil", "x")}), "escapes"},
        ArchiveCase{"DotDot", makeZip({zipFolder(app), zipFile(app + "../../evil", "x")}),
                    "escapes"},
        ArchiveCase{"BackslashDotDot", makeZip({zipFile("A.app\\..\\..\\evil", "x")}), "escapes"},
        ArchiveCase{
            "ThroughALink",
            makeZip({zipFolder(app), zipLink(app + "l", "/tmp"), zipFile(app + "l/qh-evil", "x")}),
            "through a link"},
        ArchiveCase{"DeclaresOver2GiB",
                    makeZip({zipClaiming(app + "a", gib), zipClaiming(app + "b", gib),
                             zipClaiming(app + "c", 1)}),
                    "more than"},
        // Sizes and counts at their 32- and 16-bit limits stand for zip64 fields.
        ArchiveCase{"Zip64Entry", makeZip({zipClaiming(app + "a", 0xFFFFFFFF)}), "zip64"},
        ArchiveCase{"Zip64Directory",
                    [] {
                      std::string zip = makeZip({zipFile("a", "hello")});
                      zip.replace(zip.rfind("PK\x05\x06") + 10, 2, "\xff\xff");
                      return zip;
                    }(),
                    "zip64"},
        ArchiveCase{"NotAZip", "<html>404 not found, long enough to look for a record</html>",
                    "not a zip"},
        ArchiveCase{"EndRecordPastTheEnd",
                    [] {
                      std::string cut = makeZip({zipFile("a", "hello")});
                      cut.erase(10, 20);
                      return cut;
                    }(),
                    "damaged"}),
    [](const auto& info) { return std::string(info.param.name); });

struct BundleCase {
  const char* name;
  std::string rel;  // below the archive's top
  std::optional<std::string> identifier;
  bool withExecutable = true;
};

class InvalidBundles : public SelfUpdateFlow, public ::testing::WithParamInterface<BundleCase> {};

TEST_P(InvalidBundles, AreRejectedAndTheRunningBundleStays) {
  const BundleCase& c = GetParam();
  const fs::path at = makeBundle(root / "alt", c.rel, c.identifier, "build 4");
  if (!c.withExecutable) fs::remove(at / "Contents/MacOS/quellhaven-launcher");
  publishBundles({c.rel});
  run();
  expectFailure(notValid);
  EXPECT_EQ(statuses, std::vector<std::string>{updating});
  EXPECT_TRUE(fs::is_directory(state / "selfupdate/x"));
}

INSTANTIATE_TEST_SUITE_P(Bundles, InvalidBundles,
                         ::testing::Values(BundleCase{"NoApp", "Quellhaven Launcher", id},
                                           BundleCase{"OtherIdentifier", appName,
                                                      "com.example.other"},
                                           BundleCase{"NoIdentifier", appName, std::nullopt},
                                           BundleCase{"ExecutableMissing", appName, id, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SelfUpdateFlow, OfTwoBundlesTheFirstListedIsTaken) {
  makeBundle(root / "alt", "A.app", id, "build 4 first");
  makeBundle(root / "alt", "B.app", id, "build 4 second");
  publishBundles({"A.app", "B.app"});
  // The listing order of the same archive unpacked the same way.
  fs::create_directories(root / "replica");
  ASSERT_EQ(Platform::unzip(root / ("www" + archive), root / "replica", 1 << 20), 0);
  const fs::path listedFirst = fs::directory_iterator(root / "replica")->path().filename();
  run();
  expectSwappedTo(root / "alt" / listedFirst);
}

TEST_F(SelfUpdateFlow, WhenTheNewBundleCannotMoveInTheOldOneIsPutBack) {
  system->failMovesFrom = state / "selfupdate/x" / appName;
  run();
  expectFailure("filesystem error: cannot move the new launcher into place: .*");
  const auto& moves = system->moves;
  ASSERT_EQ(moves.size(), 3u);
  EXPECT_EQ(moves[0], std::make_pair(running, backup()));
  EXPECT_EQ(moves[1], std::make_pair(system->failMovesFrom, running));
  EXPECT_EQ(moves[2], std::make_pair(backup(), running));
  EXPECT_TRUE(fs::is_directory(state / ("selfupdate/x/" + appName)));
}

}  // namespace

}  // namespace qh

namespace qh {

namespace {

const std::string notSigned = "downloaded launcher is not signed by Quellhaven";

class SignedSelfUpdate : public SelfUpdateFlow {
 protected:
  void SetUp() override {
    SelfUpdateFlow::SetUp();
    keys = trusting({key});
  }
  // qh-publish signs the archive it wrote with `key`.
  void publishSigned() {
    root.write("key.pem", key.privatePem());
    publishWithTool(published.string(), {"--sign-key", (root / "key.pem").string()});
  }
  // Refused before a byte of the archive was unpacked.
  void expectRefused(const std::string& why) {
    expectFailure(notSigned);
    EXPECT_NE(log().find("selfupdate: launcher archive refused: " + why), std::string::npos)
        << log();
    EXPECT_FALSE(fs::exists(state / "selfupdate/x"));
  }

  ReleaseSigning::SigningKey key = ReleaseSigning::SigningKey::generate();
};

TEST_F(SignedSelfUpdate, AnArchiveSignedForItsBuildIsInstalled) {
  publishSigned();
  run();
  EXPECT_FALSE(fs::exists(state / "selfupdate_last_error.txt")) << errorRecord();
  expectSwappedTo(published);
}

// A changed byte, a signature for another build, a key nobody trusts.
TEST_F(SignedSelfUpdate, AnArchiveNotSignedForItsBuildByATrustedKeyIsRefused) {
  publishSigned();
  const std::string signedZip = slurp(root / ("www" + archive));
  std::string changed = signedZip;
  changed[changed.size() / 2] ^= 0x20;
  publishZip(changed);
  run();
  expectRefused("the signature does not match");

  publishZip(signedZip);
  publishVersion("5\n");
  run();
  expectRefused("the signature does not match");

  publishVersion("4\n");
  keys = trusting({ReleaseSigning::SigningKey::generate()});
  run();
  expectRefused("not signed by a trusted key");
}

TEST_F(SignedSelfUpdate, WithoutASignatureNothingIsDownloaded) {
  run();
  expectRefused("no signature file (HTTP 404 for ");
  EXPECT_TRUE(targets(archive + "?").empty());
  root.write("www" + archive + ".sig", "quellhaven-signature 1\n");
  run();
  expectRefused("no ed25519 signature line");
  EXPECT_TRUE(targets(archive + "?").empty());
}

}  // namespace

}  // namespace qh
