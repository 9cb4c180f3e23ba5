// qh-publish's keys and signatures: keygen, --sign-key given once per key,
// and a key that cannot sign stopping the tool before it publishes.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "core/text.h"
#include "net/signature.h"
#include "support/run_tool.h"
#include "support/signing.h"
#include "support/temp_dir.h"

namespace qh {

namespace fs = std::filesystem;

namespace {

using ReleaseSigning::SigningKey;

ToolResult publish(const std::vector<std::string>& args) {
  return runTool(QH_PUBLISH, args);
}

TEST(PublishSigning, KeygenWritesAKeyOnlyItsOwnerReadsAndNeverOverwritesOne) {
  TempDir dir;
  const fs::path file = dir / "release.pem";
  const ToolResult made = publish({"keygen", file.string()});
  ASSERT_EQ(made.exitCode, 0) << made.err;
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  const SigningKey key = SigningKey::load(file);
  EXPECT_EQ(ReleaseKeys::parsePem(made.out).keys, std::vector<PublicKey>{key.publicKey()});

  const std::string before = slurp(file);
  const ToolResult again = publish({"keygen", file.string()});
  EXPECT_EQ(again.exitCode, 1);
  EXPECT_EQ(slurp(file), before);
}

TEST(PublishSigning, EveryReleaseFileIsSignedByEachKey) {
  TempDir dir;
  const SigningKey a = SigningKey::generate(), b = SigningKey::generate();
  dir.write("a.pem", a.privatePem());
  dir.write("b.pem", b.privatePem());
  dir.write("client/Wow.exe", "MZ");
  // Published earlier, by the runtime step; the archive's signature is stale.
  dir.write("out/mac/runtime.txt", "wine_id=x\n");
  dir.write("out/linux/runtime.txt", "wine_id=y\n");
  dir.write("out/mac/Quellhaven-mac.zip.sig", "stale");
  const ToolResult r =
      publish({(dir / "client").string(), (dir / "out").string(), "--version", "2.1", "--sign-key",
               (dir / "a.pem").string(), "--sign-key", (dir / "b.pem").string()});
  ASSERT_EQ(r.exitCode, 0) << r.err;

  const std::string manifest = Signature::manifestMessage("2.1", slurp(dir / "out/manifest.txt"));
  const std::string macRuntime = Signature::runtimeMessage("mac/runtime.txt", "wine_id=x\n");
  const std::string linuxRuntime = Signature::runtimeMessage("linux/runtime.txt", "wine_id=y\n");
  for (const SigningKey* key : {&a, &b}) {
    EXPECT_NO_THROW(
        Signature::check(trusting({*key}), manifest, slurp(dir / "out/manifest.txt.sig")));
    EXPECT_NO_THROW(
        Signature::check(trusting({*key}), macRuntime, slurp(dir / "out/mac/runtime.txt.sig")));
    EXPECT_NO_THROW(
        Signature::check(trusting({*key}), linuxRuntime, slurp(dir / "out/linux/runtime.txt.sig")));
  }
  EXPECT_EQ(Signature::parse(slurp(dir / "out/manifest.txt.sig")).size(), 2u);
  EXPECT_FALSE(fs::exists(dir / "out/mac/Quellhaven-mac.zip.sig"));
}

TEST(PublishSigning, AKeyThatCannotSignStopsTheToolBeforeItPublishes) {
  TempDir dir;
  const SigningKey key = SigningKey::generate();
  dir.write("public.pem", key.publicPem());
  dir.write("client/Wow.exe", "MZ");
  const ToolResult r = publish({(dir / "client").string(), (dir / "out").string(), "--version", "1",
                                "--sign-key", (dir / "public.pem").string()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("public.pem: no unencrypted private key"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir / "out/manifest.txt"));
}

}  // namespace

}  // namespace qh
