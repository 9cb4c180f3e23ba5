// The update engine with release keys: a file list without a valid signature
// over it and its version is refused before any of it is used; without keys
// an unsigned server installs as it always did.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/log.h"
#include "fake_host.h"
#include "net/signature.h"
#include "support/qt_wait.h"
#include "support/signing.h"
#include "support/temp_dir.h"
#include "support/test_server.h"
#include "update/update_engine.h"

namespace qh {

namespace fs = std::filesystem;

namespace {

using ReleaseSigning::SigningKey;
using ::testing::HasSubstr;

class SignedUpdateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server.serveFolder(dir / "server");
    host = FakeHost::make(server.url(), dir / "client", dir / "state");
    host->paths_.releaseKeys = trusting({key});
    Log::setFile(dir / "state/launcher.log");
    publish("Wow.exe", "MZ-client");
    publish("Data/common.MPQ", std::string(5000, 'c'));
  }
  void TearDown() override { Log::setFile(std::nullopt); }

  void publish(const std::string& rel, const std::string& bytes) {
    dir.write("server/" + rel, bytes);
    manifest += manifestLine(rel, bytes);
    dir.write("server/manifest.txt", manifest);
    dir.write("server/version.txt", version + "\n");
  }
  void sign(const std::vector<SigningKey>& keys) {
    dir.write("server/manifest.txt.sig",
              ReleaseSigning::signatureFile(keys, Signature::manifestMessage(version, manifest)));
  }
  void sync() { runTask(UpdateEngine::sync(host, false)); }

  // Nothing of the list was used: no file asked for, nothing written.
  void expectRefused(const std::string& why) {
    EXPECT_EQ(host->status, "Problem: The file list is not signed by Quellhaven.");
    EXPECT_EQ(host->detail,
              "Nothing was changed. Try again later, and tell us if this keeps happening.");
    EXPECT_EQ(host->phase, Phase::needInstall);
    EXPECT_TRUE(host->finishes.empty());
    EXPECT_TRUE(host->addons.empty());
    EXPECT_TRUE(server.requests("/Wow.exe").empty());
    EXPECT_FALSE(fs::exists(dir / "client"));
    EXPECT_THAT(slurp(dir / "state/launcher.log"),
                HasSubstr("update refused: manifest.txt: " + why));
  }

  TempDir dir;
  TestServer server;
  std::shared_ptr<FakeHost> host;
  SigningKey key = SigningKey::generate();
  std::string manifest;
  std::string version = "1.0";
};

TEST_F(SignedUpdateTest, ASignedListInstallsAndStaysUpToDate) {
  sign({key});
  sync();
  ASSERT_EQ(host->finishes.size(), 1u);
  EXPECT_EQ(host->finishes[0].summary, "Installed");
  EXPECT_EQ(slurp(dir / "client/Wow.exe"), "MZ-client");
  sync();
  EXPECT_EQ(host->finishes.at(1).summary, "Up to date");
  EXPECT_EQ(server.requests("/manifest.txt.sig").size(), 2u);
}

TEST_F(SignedUpdateTest, AChangedByteInTheListIsRefused) {
  sign({key});
  manifest[3] = manifest[3] == 'a' ? 'b' : 'a';
  dir.write("server/manifest.txt", manifest);
  sync();
  expectRefused("the signature does not match");
}

TEST_F(SignedUpdateTest, ASignatureOverAnotherVersionIsRefused) {
  sign({key});
  dir.write("server/version.txt", "1.1\n");
  sync();
  expectRefused("the signature does not match");
}

TEST_F(SignedUpdateTest, AListSignedByAnUnknownKeyIsRefused) {
  sign({SigningKey::generate()});
  sync();
  expectRefused("not signed by a trusted key");
}

TEST_F(SignedUpdateTest, AMissingOrEmptySignatureFileIsRefused) {
  sync();
  expectRefused("no signature file (HTTP 404 for ");
  dir.write("server/manifest.txt.sig", "");
  sync();
  expectRefused("empty signature file");
}

TEST_F(SignedUpdateTest, WithAGameInstalledTheRefusalLeavesItPlayable) {
  dir.write("client/Wow.exe", "MZ-old");
  dir.write("server/manifest.txt.sig", "<html>Not found</html>");
  sync();
  EXPECT_EQ(host->phase, Phase::ready);
  EXPECT_EQ(slurp(dir / "client/Wow.exe"), "MZ-old");
  EXPECT_TRUE(server.requests("/Wow.exe").empty());
}

TEST_F(SignedUpdateTest, WithoutKeysAnUnsignedServerInstallsAsAlways) {
  host->paths_.releaseKeys = {};
  sync();
  ASSERT_EQ(host->finishes.size(), 1u);
  EXPECT_EQ(host->finishes[0].summary, "Installed");
  EXPECT_EQ(slurp(dir / "client/Data/common.MPQ"), std::string(5000, 'c'));
  EXPECT_TRUE(server.requests("/manifest.txt.sig").empty()) << "nothing asks for a signature";
}

}  // namespace

}  // namespace qh
