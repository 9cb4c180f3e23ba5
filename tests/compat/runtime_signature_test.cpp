// The runtime description with release keys: only a signed text (from the
// server, or the copy cached with its signature) is used; otherwise the
// built-in description, whose archive is then not downloaded at all.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "compat/runtime.h"
#include "compat_support.h"
#include "core/os_layout.h"
#include "net/signature.h"
#include "support/signing.h"

namespace qh {

namespace {

using namespace compat_test;
using ReleaseSigning::SigningKey;
using ::testing::HasSubstr;

const std::string kText =
    "wine_id=qh-wine-9\nwine_url=runtime/qh-wine-9.tar.xz\nwine_sha256=abc\n"
    "wine_bin=qh-wine-9/bin/wine\n";

class RuntimeSignatureTest : public RuntimeFixture {
 protected:
  void SetUp() override {
    RuntimeFixture::SetUp();
    keys = trusting({key});
  }
  std::string signature(const std::string& text) {
    return ReleaseSigning::signatureFile(
        {key}, Signature::runtimeMessage(osLayout().runtimeDescription, text));
  }
  std::string log() { return slurp(dir / "launcher.log"); }

  SigningKey key = SigningKey::generate();
};

TEST_F(RuntimeSignatureTest, ASignedDescriptionIsUsedAndCachedWithItsSignature) {
  net->texts["/runtime.txt.sig"] = signature(kText);
  Runtime runtime = resolved(kText);
  ASSERT_TRUE(runtime.spec());
  EXPECT_EQ(runtime.spec()->id, "qh-wine-9");
  EXPECT_EQ(slurp(state / "runtime.txt"), kText);
  EXPECT_EQ(slurp(state / "runtime.txt.sig"), signature(kText));

  // Offline, the cached copy stands on its cached signature.
  Runtime offline = resolved(std::nullopt);
  ASSERT_TRUE(offline.spec());
  EXPECT_EQ(offline.spec()->id, "qh-wine-9");
  EXPECT_EQ(log(), "") << "nothing was refused";
}

TEST_F(RuntimeSignatureTest, ARefusedServerTextFallsBackToTheSignedCopy) {
  net->texts["/runtime.txt.sig"] = signature(kText);
  resolved(kText);
  std::string changed = kText;
  changed.replace(changed.find("abc"), 3, "");  // no checksum: any archive would do
  Runtime runtime = resolved(changed);
  ASSERT_TRUE(runtime.spec());
  EXPECT_EQ(runtime.spec()->sha256, "abc");
  EXPECT_EQ(slurp(state / "runtime.txt"), kText) << "the refused text is not cached";
  EXPECT_THAT(log(),
              HasSubstr("runtime description refused (server): the signature does not match"));

  net->texts.erase("/runtime.txt.sig");
  resolved(kText);
  EXPECT_THAT(log(),
              HasSubstr("runtime description refused (server): no signature file (HTTP 404"));
}

TEST_F(RuntimeSignatureTest, AnUnsignedOrDamagedCopyGivesTheBuiltInDescription) {
  // On Linux the system's Wine stands in for the built-in description.
  const std::string builtIn = buildOs == Os::Linux ? "system-wine" : "qh-wine-cx23.7.1-2";
  dir.write("state/runtime.txt", kText);  // cached by a launcher without keys
  Runtime unsignedCopy = resolved(std::nullopt);
  ASSERT_TRUE(unsignedCopy.spec());
  EXPECT_EQ(unsignedCopy.spec()->id, builtIn);
  EXPECT_THAT(log(), HasSubstr("runtime description refused (cached copy): no cached signature"));
  EXPECT_THAT(log(), HasSubstr("runtime description: the built-in one is used"));

  const std::string sig = signature(kText);
  dir.write("state/runtime.txt.sig", sig.substr(0, sig.size() / 2));
  EXPECT_EQ(resolved(std::nullopt).spec()->id, builtIn);
  EXPECT_THAT(log(), HasSubstr("runtime description refused (cached copy): signature line 1 is "
                               "damaged"));
}

// The built-in description names no checksum: with keys its archive could be
// anything, so it is not downloaded.
TEST_F(RuntimeSignatureTest, TheBuiltInArchiveIsNotDownloaded) {
  if (buildOs == Os::Linux) GTEST_SKIP() << "Linux has no built-in archive: the system's Wine";
  Runtime runtime = resolved(std::nullopt);
  ASSERT_TRUE(runtime.spec());
  try {
    runTask(runtime.install(status.callback()));
    ADD_FAILURE() << "installed";
  } catch (const SignatureError& e) {
    EXPECT_STREQ(
        e.what(),
        "The Mac compatibility layer is not signed by Quellhaven, so it was not downloaded.");
    EXPECT_EQ(e.logText(), "runtime archive refused: its description names no SHA-256");
  }
  EXPECT_TRUE(net->fetches.empty());
}

}  // namespace

}  // namespace qh
