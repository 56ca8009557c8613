// Signatures and hashes through libsodium, the strict manifest reader and the
// list of the operator's keys.
#include "trust/Crypto.h"
#include "trust/Keys.h"
#include "trust/Manifest.h"

#include <gtest/gtest.h>

namespace tarnvale::trust {
namespace {

const std::string kHash(64, 'a');

TEST(TrustTest, SignaturesHoldOnlyForTheirMessageAndKey) {
    PublicKey publicKey{}, otherPublic{};
    SecretKey secretKey{}, otherSecret{};
    ASSERT_TRUE(GenerateKeyPair(publicKey, secretKey));
    ASSERT_TRUE(GenerateKeyPair(otherPublic, otherSecret));
    EXPECT_EQ(PublicKeyOf(secretKey), publicKey);

    const Signature signature = Sign("version file", secretKey);
    EXPECT_TRUE(VerifiedByAny("version file", signature, {publicKey}));
    EXPECT_TRUE(VerifiedByAny("version file", signature, {otherPublic, publicKey}));
    EXPECT_FALSE(VerifiedByAny("version filE", signature, {publicKey}));
    EXPECT_FALSE(VerifiedByAny("version file", signature, {otherPublic}));
    EXPECT_FALSE(VerifiedByAny("version file", signature, {}));

    Signature parsed{};
    ASSERT_TRUE(ParseSignatureFile(FormatSignatureFile(signature), parsed));
    EXPECT_EQ(parsed, signature);
    EXPECT_TRUE(ParseSignatureFile(ToHex(signature), parsed)) << "the line feed is optional";
    EXPECT_FALSE(ParseSignatureFile(ToHex(signature) + "\n\n", parsed));
    EXPECT_FALSE(ParseSignatureFile(ToHex(signature).substr(2), parsed));
    EXPECT_FALSE(ParseSignatureFile("", parsed));
    std::string spaced = ToHex(signature);
    spaced[10] = ' ';
    EXPECT_FALSE(ParseSignatureFile(spaced, parsed)) << "digits only, at full length";
}

TEST(TrustTest, Sha256InPiecesIsTheStandardHash) {
    EXPECT_EQ(ToHex(HashOf("abc")),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    Sha256 pieces;
    pieces.Update("a", 1);
    pieces.Update("bc", 2);
    EXPECT_EQ(pieces.Final(), HashOf("abc"));
}

TEST(TrustTest, KeyListsTakeOneOrTwoKeysOfSixtyFourHexDigits) {
    const std::string one(64, '1'), two(64, 'B');
    std::vector<PublicKey> keys;
    std::string error;
    EXPECT_TRUE(ParseKeyList("", keys, error));
    EXPECT_TRUE(keys.empty());
    EXPECT_TRUE(ParseKeyList(" " + one + " ; " + two, keys, error)) << error;
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(ToHex(keys[1]), std::string(64, 'b'));
    EXPECT_TRUE(ParseKeyList(one + "," + two, keys, error));
    for (const std::string& bad : {one + "1", one.substr(1) + "g", one + ",", one + ",," + two,
                                   one + "," + two + "," + one}) {
        EXPECT_FALSE(ParseKeyList(bad, keys, error)) << bad;
        EXPECT_TRUE(keys.empty());
        EXPECT_FALSE(error.empty());
    }
}

TEST(TrustTest, ManifestsReadBackAsWritten) {
    Manifest manifest;
    manifest.version = "1.02.07";
    manifest.entries = {{"list.inf", 12, HashOf("x")},
                        {"data/\xB5\xD8\xCD\xBC.bmd.QXC", 0, HashOf("")},
                        {"up_list.zip", 18446744073709551615u, HashOf("y")}};
    const std::string text = FormatManifest(manifest);
    Manifest read;
    std::string error;
    ASSERT_TRUE(ParseManifest(text, read, error)) << error;
    EXPECT_EQ(read.version, "1.02.07");
    ASSERT_EQ(read.entries.size(), 3u);
    EXPECT_EQ(read.entries[1].path, manifest.entries[1].path);
    EXPECT_EQ(read.entries[2].size, manifest.entries[2].size);
    EXPECT_EQ(read.entries[0].sha256, HashOf("x"));
    ASSERT_NE(read.Find("up_list.zip"), nullptr);
    EXPECT_EQ(read.Find("UP_LIST.ZIP"), nullptr) << "paths compare byte for byte";
}

TEST(TrustTest, TheManifestReaderRefusesAnythingUnexpected) {
    const std::string head = "tarnvale-manifest 1 1.02.07\n";
    const std::string good = "3 " + kHash + " a.txt\n";
    struct Case {
        const char* why;
        std::string text;
    };
    const Case cases[] = {
        {"empty", ""},
        {"another tag", "tarnvale-manifest 2 1.02.07\n"},
        {"no version name", "tarnvale-manifest 1 \n"},
        {"an overlong version name", "tarnvale-manifest 1 1.002.007\n"},
        {"a blank in the version name", "tarnvale-manifest 1 1.0 2\n"},
        {"no final line feed", head + "3 " + kHash + " a.txt"},
        {"a carriage return", head + "3 " + kHash + " a.txt\r\n"},
        {"a duplicate path", head + good + good},
        {"a size with a sign", head + "+3 " + kHash + " a.txt\n"},
        {"a size with a leading zero", head + "03 " + kHash + " a.txt\n"},
        {"a size beyond 64 bits", head + "18446744073709551616 " + kHash + " a.txt\n"},
        {"a short hash", head + "3 " + kHash.substr(1) + " a.txt\n"},
        {"an upper-case hash", head + "3 " + std::string(64, 'A') + " a.txt\n"},
        {"no path", head + "3 " + kHash + " \n"},
        {"a path that climbs", head + "3 " + kHash + " ../a.txt\n"},
        {"a path inside that climbs", head + "3 " + kHash + " data/../../a.txt\n"},
        {"an absolute path", head + "3 " + kHash + " /a.txt\n"},
        {"an empty piece", head + "3 " + kHash + " data//a.txt\n"},
        {"a dot piece", head + "3 " + kHash + " ./a.txt\n"},
        {"a control byte", head + "3 " + kHash + " a\x01.txt\n"},
        {"a blank line", head + "\n"},
        {"an overlong line", head + "3 " + kHash + " " + std::string(1000, 'a') + "\n"},
    };
    for (const Case& c : cases) {
        Manifest manifest;
        std::string error;
        EXPECT_FALSE(ParseManifest(c.text, manifest, error)) << c.why;
        EXPECT_FALSE(error.empty()) << c.why;
        EXPECT_TRUE(manifest.entries.empty()) << c.why;
    }
    Manifest manifest;
    std::string error;
    EXPECT_TRUE(ParseManifest(head, manifest, error)) << "a version without files";
    EXPECT_TRUE(ParseManifest(head + "3 " + kHash + " a b.txt\n", manifest, error))
        << "blanks belong to the path";
    EXPECT_EQ(manifest.entries.at(0).path, "a b.txt");
}

} // namespace
} // namespace tarnvale::trust
