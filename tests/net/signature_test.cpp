// Release signatures: the signature file's format, what a signature binds,
// and which keys count.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/base64.h"
#include "core/os_layout.h"
#include "net/signature.h"
#include "support/signing.h"

namespace qh {

namespace {

using ReleaseSigning::SigningKey;
using ::testing::HasSubstr;

void expectRefused(const ReleaseKeys& keys, const std::string& message, const std::string& file,
                   const std::string& why) {
  try {
    Signature::check(keys, message, file);
    ADD_FAILURE() << "accepted; expected: " << why;
  } catch (const SignatureError& e) {
    EXPECT_THAT(e.what(), HasSubstr(why));
  }
}

// One spelling per byte string: a signature line cannot be varied unnoticed.
TEST(Base64Test, RoundTripsAndRefusesEveryOtherSpelling) {
  for (const std::string bytes : {"", "f", "fo", "foo", "foob", "fooba", "\xff\x00\x80 "}) {
    EXPECT_EQ(Base64::decode(Base64::encode(bytes)), bytes);
  }
  EXPECT_EQ(Base64::encode("foobar"), "Zm9vYmFy");
  EXPECT_EQ(Base64::decode("Zm8="), "fo");
  for (const char* bad : {"Zm9", "Zm9vY", "Zm9v YmFy", "Zg=a",
                          "Zh==", "Zm9=", "====", "Zm9vY===", "Zm\n9v", "Zm9v-mFy"}) {
    EXPECT_FALSE(Base64::decode(bad)) << bad;
  }
}

TEST(ReleaseKeysTest, TakesEveryEd25519PublicKeyAndPassesOverTheRest) {
  const SigningKey a = SigningKey::generate(), b = SigningKey::generate();
  const std::string p256 =
      "-----BEGIN PUBLIC KEY-----\n"
      "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAESHO6EkXdkM7vMpnYs8+OyKYBf9jF\n"
      "KcziWJ6v3D2Gb+4bjiusWwEzpRel633EnzxV7HigXH2uV0EGIxYAxQOpHA==\n"
      "-----END PUBLIC KEY-----\n";
  const std::string text = "the release keys\n" + a.publicPem() + p256 + a.privatePem() +
                           "-----BEGIN PUBLIC KEY-----\nnot base64\n-----END PUBLIC KEY-----\n" +
                           b.publicPem() + "-----BEGIN PUBLIC KEY-----\nMCowBQYDK2VwAyEA";
  const ReleaseKeys::Parsed parsed = ReleaseKeys::parsePem(text);
  EXPECT_EQ(parsed.keys, (std::vector<PublicKey>{a.publicKey(), b.publicKey()}));
  EXPECT_EQ(parsed.passedOver, 3) << "the P-256 key, the damaged block and the unfinished one";
  EXPECT_TRUE(ReleaseKeys::parsePem("").keys.empty());
  EXPECT_FALSE(ReleaseKeys{}.enforced()) << "no keys: nothing is checked";
  EXPECT_TRUE(ReleaseKeys{.required = true}.enforced()) << "named by the build, none readable";
}

struct ParseCase {
  const char* name;
  std::string file;
  // Empty: parses, to `lines` lines.
  std::string refusal;
  size_t lines = 0;
};

std::string tag() {
  return std::string(Signature::formatTag) + "\n";
}

std::string line(const std::string& id = "0123456789abcdef", size_t bytes = 64) {
  return "ed25519 " + id + " " + Base64::encode(std::string(bytes, 'x')) + "\n";
}

std::string lines(size_t n) {
  std::string out;
  for (size_t i = 0; i < n; ++i) out += line();
  return out;
}

class SignatureFileTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(SignatureFileTest, Parses) {
  const ParseCase& c = GetParam();
  if (c.refusal.empty()) {
    const auto parsed = Signature::parse(c.file);
    ASSERT_EQ(parsed.size(), c.lines);
    EXPECT_EQ(parsed[0].keyId, "0123456789abcdef");
    EXPECT_EQ(parsed[0].signature, std::string(64, 'x'));
    return;
  }
  try {
    Signature::parse(c.file);
    ADD_FAILURE() << "parsed; expected: " << c.refusal;
  } catch (const SignatureError& e) {
    EXPECT_THAT(e.what(), HasSubstr(c.refusal));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SignatureFileTest,
    ::testing::Values(
        ParseCase{"Empty", "", "empty signature file"},
        ParseCase{"OnlyLineEnds", "\n\r\n\n", "empty signature file"},
        ParseCase{"OnlyTheTag", tag(), "no ed25519 signature line"},
        ParseCase{"AnotherFormat", "quellhaven-signature 2\n" + line(), "not a signature file"},
        ParseCase{"Garbage", std::string("\x00\xff<html>", 8) + line(), "not a signature file"},
        ParseCase{"Truncated", tag() + line().substr(0, 70), "line 1 is damaged"},
        ParseCase{"ShortSignature", tag() + line("0123456789abcdef", 63), "line 1 is damaged"},
        ParseCase{"UpperCaseKeyId", tag() + line("0123456789ABCDEF"), "line 1 is damaged"},
        ParseCase{"ShortKeyId", tag() + line("0123456789abcde"), "line 1 is damaged"},
        ParseCase{"ExtraWord", tag() + line() + "ed25519 a b c\n", "line 2 is damaged"},
        ParseCase{"DoubleSpace", tag() + "ed25519  0123456789abcdef x\n", "line 1 is damaged"},
        ParseCase{"SeventeenLines", tag() + lines(17), "more than 16"},
        ParseCase{"ManyLines", tag() + lines(10000), "larger than 4096 bytes"},
        ParseCase{"SixteenLines", tag() + lines(16), "", 16},
        ParseCase{"CrLfAndNoLastLineEnd",
                  "quellhaven-signature 1\r\n" + line() + "\r\n" + line().substr(0, 113), "", 2},
        ParseCase{"AnotherAlgorithmBeside", tag() + "ml-dsa 0123 AAAA\n" + line(), "", 1},
        ParseCase{"OnlyAnotherAlgorithm", tag() + "ml-dsa 0123 AAAA\n", "no ed25519"}),
    [](const auto& info) { return std::string(info.param.name); });

class SignatureCheckTest : public ::testing::Test {
 protected:
  SigningKey key = SigningKey::generate();
  SigningKey other = SigningKey::generate();
  std::string manifest = "da39a3ee5e6b4b0d3255bfef95601890afd80709\t0\tWow.exe\n";
};

TEST_F(SignatureCheckTest, AManifestPassesOnlyWithTheVersionAndBytesItWasSignedFor) {
  const std::string signature =
      ReleaseSigning::signatureFile({key}, Signature::manifestMessage("1.0", manifest));
  EXPECT_NO_THROW(
      Signature::check(trusting({key}), Signature::manifestMessage("1.0", manifest), signature));
  std::string changed = manifest;
  changed[7] ^= 1;
  expectRefused(trusting({key}), Signature::manifestMessage("1.0", changed), signature,
                "does not match");
  expectRefused(trusting({key}), Signature::manifestMessage("1.1", manifest), signature,
                "does not match");
  expectRefused(trusting({key}), Signature::runtimeMessage("mac/runtime.txt", manifest), signature,
                "does not match");
}

TEST_F(SignatureCheckTest, AnUnknownKeyOrNoKeyAtAllConvincesNobody) {
  const std::string message = Signature::runtimeMessage("mac/runtime.txt", "wine_id=x\n");
  const std::string byOther = ReleaseSigning::signatureFile({other}, message);
  expectRefused(trusting({key}), message, byOther, "not signed by a trusted key");
  expectRefused(ReleaseKeys{.required = true}, message, byOther, "not signed by a trusted key");
  // A line naming the trusted key but carrying another key's signature.
  std::string forged = byOther;
  forged.replace(forged.find(other.publicKey().id()), 16, key.publicKey().id());
  expectRefused(trusting({key}), message, forged, "does not match");
}

TEST_F(SignatureCheckTest, DuringARotationOneTrustedKeyIsEnough) {
  const SigningKey& retired = other;
  const std::string message = Signature::manifestMessage("2.0", manifest);
  const std::string both = ReleaseSigning::signatureFile({retired, key}, message);
  const std::string retiredOnly = ReleaseSigning::signatureFile({retired}, message);
  const std::string freshOnly = ReleaseSigning::signatureFile({key}, message);
  EXPECT_NO_THROW(Signature::check(trusting({key}), message, both));
  EXPECT_NO_THROW(Signature::check(trusting({retired, key}), message, freshOnly));
  EXPECT_NO_THROW(Signature::check(trusting({retired, key}), message, retiredOnly));
  expectRefused(trusting({key}), message, retiredOnly, "not signed by a trusted key");
}

// The archive's path is signed too: one platform's release never passes for
// the other's, nor a runtime description for another platform's.
TEST_F(SignatureCheckTest, AReleaseIsBoundToItsPlatformBuildSizeAndDigest) {
  const std::string sha = std::string(64, 'a');
  const std::string mac = osLayout(Os::macOS).launcherArchive;
  const std::string onLinux = osLayout(Os::Linux).launcherArchive;
  EXPECT_EQ(
      Signature::launcherMessage(mac, 4, 1000, sha),
      "quellhaven-signed 1\nfile mac/Quellhaven-mac.zip\nbuild 4\nsize 1000\nsha256 " + sha + "\n");
  const std::string signature =
      ReleaseSigning::signatureFile({key}, Signature::launcherMessage(mac, 4, 1000, sha));
  EXPECT_NO_THROW(
      Signature::check(trusting({key}), Signature::launcherMessage(mac, 4, 1000, sha), signature));
  for (const std::string& message : {Signature::launcherMessage(mac, 5, 1000, sha),
                                     Signature::launcherMessage(mac, 4, 1001, sha),
                                     Signature::launcherMessage(mac, 4, 1000, std::string(64, 'b')),
                                     Signature::launcherMessage(onLinux, 4, 1000, sha)}) {
    expectRefused(trusting({key}), message, signature, "does not match");
  }
  const std::string description = "wine_id=x\n";
  const std::string runtime = ReleaseSigning::signatureFile(
      {key}, Signature::runtimeMessage(osLayout(Os::macOS).runtimeDescription, description));
  expectRefused(trusting({key}),
                Signature::runtimeMessage(osLayout(Os::Linux).runtimeDescription, description),
                runtime, "does not match");
}

}  // namespace

}  // namespace qh
