// Both roads against a signed update server: a launcher built with the
// operator's key installs what the key signed and refuses every tampering,
// keeping the versions before the tampered one; a launcher built without a key
// installs a signed server exactly as an unsigned one.
#include "RoadTestSupport.h"

#include "msg/MessageIds.h"
#include "tools/Signing.h"
#include "trust/Manifest.h"
#include "update/SelfUpdate.h"

#include <gtest/gtest.h>

#include <map>

namespace tarnvale::test {
namespace {

namespace fs = std::filesystem;

enum class Road { Ftp, Http };
enum class Form { Packed, Files, CompressedMirror };

struct KeyPair {
    trust::PublicKey publicKey{};
    trust::SecretKey secretKey{};
    KeyPair() { EXPECT_TRUE(trust::GenerateKeyPair(publicKey, secretKey)); }
};

class SignedRoadTest : public RoadTest {
  protected:
    static const KeyPair& Operator() {
        static const KeyPair keys;
        return keys;
    }
    static const KeyPair& Stranger() {
        static const KeyPair keys;
        return keys;
    }

    // Version 1.00.01 (packed) and version 1.00.02 in `form`, both signed by the
    // operator unless `signing` is false; the game folder holds keep.txt, which
    // the packed 1.00.02 removes.
    void PublishTwo(Form form, bool signing = true) {
        auto sign = [this, signing](tools::PatchVersion& v) {
            if (signing)
                v.signingKey = Operator().secretKey;
        };
        Publish("1.00.01", {{"a.txt", "one"}}, sign);
        Publish("1.00.02", {{"a.txt", "two"}, {"b.txt", "bee"}, {"data/c.bin", "sea"}},
                [&](tools::PatchVersion& v) {
                    sign(v);
                    v.packed = form == Form::Packed;
                    v.compressed = v.mirror = form == Form::CompressedMirror;
                    if (v.packed)
                        v.removeFiles = {"keep.txt"};
                });
        WriteFile("keep.txt", "kept");
    }

    // A new game folder and an empty server root, for the next case of a table.
    void Fresh() {
        TearDown();
        SetUp();
        window.statusTexts.clear();
        window.failures.clear();
        update.updateDone = false;
        update.stopRequested = true;
        update.listFlags = {};
    }

    bool Run(Road road, std::vector<trust::PublicKey> keys,
             const char* versionFile = "version.wvd") {
        UpdateEngine engine(launcher, update, window, Hooks(), std::move(keys));
        if (road == Road::Ftp)
            return RunFtp(engine, versionFile);
        return RunHttp(engine, versionFile) == RoadOutcome::Finished;
    }

    // Every file below the game folder with its bytes, journal and staging
    // folder included.
    static std::map<std::string, std::string> GameTree() {
        std::map<std::string, std::string> tree;
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator("."))
            if (entry.is_regular_file())
                tree[entry.path().generic_string()] = ReadFile(entry.path());
        return tree;
    }

    void ChangeByte(const std::string& relative, std::size_t fromEnd = 1) {
        std::string bytes = ReadFile(OnServer(relative));
        ASSERT_GE(bytes.size(), fromEnd);
        bytes[bytes.size() - fromEnd] ^= 0x20;
        WriteFile(OnServer(relative), bytes);
    }
};

const char* RoadName(Road road) {
    return road == Road::Ftp ? "FTP" : "HTTP";
}

TEST_F(SignedRoadTest, ASignedServerInstallsAsBeforeAndKeylessLaunchersSeeNoDifference) {
    struct Case {
        Road road;
        Form form;
    };
    for (const Case& c : {Case{Road::Http, Form::Packed}, Case{Road::Ftp, Form::Packed},
                          Case{Road::Ftp, Form::Files}, Case{Road::Ftp, Form::CompressedMirror}}) {
        SCOPED_TRACE(std::string(RoadName(c.road)) + " form " +
                     std::to_string(static_cast<int>(c.form)));
        // The same versions installed three ways: unsigned server without a key,
        // signed server without a key, signed server with the key.
        std::vector<std::map<std::string, std::string>> trees;
        std::vector<std::vector<std::string>> statuses;
        for (int run = 0; run < 3; ++run) {
            Fresh();
            PublishTwo(c.form, run != 0);
            std::vector<trust::PublicKey> keys;
            if (run == 2)
                keys.push_back(Operator().publicKey);
            EXPECT_TRUE(Run(c.road, keys)) << run << ": " << window.statusTexts.back();
            for (const StepResult& failure : window.failures)
                ADD_FAILURE() << failure.Detail();
            EXPECT_EQ(ReadFile("b.txt"), "bee");
            EXPECT_EQ(ReadFile("data/c.bin"), "sea");
            // The key's one addition: the newest version it has accepted.
            EXPECT_EQ(fs::exists("trusted.ver"), run == 2);
            fs::remove("trusted.ver");
            trees.push_back(GameTree());
            statuses.push_back(window.statusTexts);
        }
        EXPECT_EQ(trees[1], trees[0]) << "a keyless launcher installs a signed server as before";
        EXPECT_EQ(statuses[1], statuses[0]);
        EXPECT_EQ(trees[2], trees[0]) << "the key changes nothing that is installed";
        for (const auto& [path, bytes] : trees[2])
            EXPECT_EQ(path.find("manifest"), std::string::npos) << path;
    }
}

class SignedRoadTampering;

// One tampering of the server, done after both versions were published.
struct Tampering {
    const char* name;
    std::vector<Road> roads;
    Form form;
    std::function<void(SignedRoadTampering&)> tamper;
    const char* cause;          // what the failure's detail says
    bool firstVersionInstalled; // false when the version file itself is refused
};

class SignedRoadTampering : public SignedRoadTest {
  public:
    void Tamper(const Tampering& t) { t.tamper(*this); }
    using SignedRoadTest::ChangeByte;
    using SignedRoadTest::OnServer;

    void ReSignManifest(const std::string& version, const trust::Manifest& manifest,
                        const trust::SecretKey& key) {
        const std::string text = trust::FormatManifest(manifest);
        WriteFile(OnServer(version + "/manifest.tvs"), text);
        WriteFile(OnServer(version + "/manifest.tvs.sig"),
                  trust::FormatSignatureFile(trust::Sign(text, key)));
    }
    static const KeyPair& Key() { return Operator(); }
    static const KeyPair& OtherKey() { return Stranger(); }
};

TEST_F(SignedRoadTampering, EveryTamperingFailsTheRoadAndKeepsTheEarlierVersions) {
    using T = SignedRoadTampering;
    const std::vector<Road> both = {Road::Ftp, Road::Http};
    const std::vector<Road> ftp = {Road::Ftp};
    const std::vector<Tampering> cases = {
        {"a changed byte in a file", ftp, Form::Files, [](T& t) { t.ChangeByte("1.00.02/b.txt"); },
         "hash mismatch: b.txt", true},
        {"a file grown by a byte", ftp, Form::Files,
         [](T& t) { WriteFile(t.OnServer("1.00.02/b.txt"), "beee"); },
         "size mismatch (listed 4 bytes, manifest 3): b.txt", true},
        {"a changed byte in list.inf", both, Form::Packed,
         [](T& t) { t.ChangeByte("1.00.02/list.inf", 3); }, "hash mismatch: list.inf", true},
        {"a changed byte in up_list.zip", both, Form::Packed,
         [](T& t) { t.ChangeByte("1.00.02/up_list.zip", 30); }, "hash mismatch: up_list.zip", true},
        {"a changed byte in a .QXC file", ftp, Form::CompressedMirror,
         [](T& t) { t.ChangeByte("1.00.02/data/c.bin.QXC"); }, "hash mismatch: data/c.bin.QXC",
         true},
        {"a changed byte in the version file", both, Form::Packed,
         [](T& t) { t.ChangeByte("version.wvd", 3); }, "bad signature: version.wvd", false},
        {"a changed byte in a manifest", both, Form::Packed,
         [](T& t) { t.ChangeByte("1.00.02/manifest.tvs", 3); },
         "bad signature: 1.00.02/manifest.tvs", true},
        {"another version's manifest renamed into place", both, Form::Packed,
         [](T& t) {
             for (const char* name : {"manifest.tvs", "manifest.tvs.sig"})
                 WriteFile(t.OnServer(std::string("1.00.02/") + name),
                           ReadFile(t.OnServer(std::string("1.00.01/") + name)));
         },
         "manifest of another version: 1.00.02/manifest.tvs names version 1.00.01", true},
        {"a manifest signed by another key", both, Form::Packed,
         [](T& t) {
             trust::Manifest manifest;
             std::string error;
             ASSERT_TRUE(tools::MakeManifest(t.OnServer("1.00.02"), "1.00.02", manifest, error));
             t.ReSignManifest("1.00.02", manifest, T::OtherKey().secretKey);
         },
         "bad signature: 1.00.02/manifest.tvs", true},
        {"a version file signed by another key", both, Form::Packed,
         [](T& t) {
             std::string error;
             ASSERT_TRUE(tools::SignVersionFile(t.OnServer("version.wvd"),
                                                ReadFile(t.OnServer("version.wvd")),
                                                T::OtherKey().secretKey, error));
         },
         "bad signature: version.wvd", false},
        {"a missing manifest signature", both, Form::Packed,
         [](T& t) { fs::remove(t.OnServer("1.00.02/manifest.tvs.sig")); },
         "missing signature: 1.00.02/manifest.tvs.sig", true},
        {"a missing manifest", both, Form::Packed,
         [](T& t) { fs::remove(t.OnServer("1.00.02/manifest.tvs")); },
         "missing manifest: 1.00.02/manifest.tvs", true},
        {"a missing version file signature", both, Form::Packed,
         [](T& t) { fs::remove(t.OnServer("version.wvd.sig")); },
         "missing signature: version.wvd.sig", false},
        {"a transferred file the manifest leaves out", ftp, Form::Files,
         [](T& t) {
             trust::Manifest manifest;
             std::string error;
             ASSERT_TRUE(tools::MakeManifest(t.OnServer("1.00.02"), "1.00.02", manifest, error));
             std::erase_if(manifest.entries, [](const auto& e) { return e.path == "b.txt"; });
             t.ReSignManifest("1.00.02", manifest, T::Key().secretKey);
         },
         "not in the manifest: b.txt", true},
        // Every transfer stops at its ceiling: a signature at 256 bytes, a file the
        // manifest names at the manifest's size.
        {"a huge version file signature", both, Form::Packed,
         [](T& t) { WriteFile(t.OnServer("version.wvd.sig"), std::string(1 << 20, 'a')); },
         "larger than the 256 bytes allowed", false},
        {"a huge manifest signature", both, Form::Packed,
         [](T& t) { WriteFile(t.OnServer("1.00.02/manifest.tvs.sig"), std::string(1 << 20, 'a')); },
         "larger than the 256 bytes allowed", true},
        {"an archive far larger than its manifest says",
         {Road::Http},
         Form::Packed,
         [](T& t) {
             WriteFile(t.OnServer("1.00.02/up_list.zip"),
                       ReadFile(t.OnServer("1.00.02/up_list.zip")) + std::string(8 << 20, 'z'));
         },
         "bytes allowed",
         true},
        {"an archive listed larger than its manifest says", ftp, Form::Packed,
         [](T& t) {
             WriteFile(t.OnServer("1.00.02/up_list.zip"),
                       ReadFile(t.OnServer("1.00.02/up_list.zip")) + std::string(8 << 20, 'z'));
         },
         "size mismatch (listed ", true},
    };
    for (const Tampering& c : cases) {
        for (Road road : c.roads) {
            SCOPED_TRACE(std::string(c.name) + " over " + RoadName(road));
            Fresh();
            PublishTwo(c.form);
            Tamper(c);
            EXPECT_FALSE(Run(road, {Key().publicKey}));
            ASSERT_EQ(window.failures.size(), 1u);
            EXPECT_EQ(window.failures[0].Message(), msgid::kUpdateFailed);
            EXPECT_NE(window.failures[0].Detail().find(c.cause), std::string::npos)
                << window.failures[0].Detail();
            EXPECT_EQ(window.statusTexts.back(), Text(msgid::kUpdateFailed));
            // Nothing of the refused version is in the game folder; the one before
            // stays installed.
            EXPECT_EQ(ReadFile("keep.txt"), "kept");
            EXPECT_FALSE(fs::exists("b.txt"));
            EXPECT_FALSE(fs::exists("data/c.bin"));
            EXPECT_FALSE(fs::exists("manifest.tvs"));
            EXPECT_FALSE(fs::exists("manifest.tvs.sig"));
            EXPECT_FALSE(fs::exists("version.wvd.sig"));
            EXPECT_FALSE(fs::exists("version.wvd"));
            EXPECT_EQ(CountStagingFiles("."), 0);
            if (c.firstVersionInstalled) {
                EXPECT_EQ(ReadFile("a.txt"), "one");
                EXPECT_EQ(ConfigVersion(), "1.00.01");
            } else {
                EXPECT_FALSE(fs::exists("a.txt"));
                EXPECT_EQ(ConfigVersion(), "1.00.00");
            }
        }
    }
}

TEST_F(SignedRoadTampering, ARotatedKeyIsTrustedByLaunchersThatCarryIt) {
    for (Road road : {Road::Ftp, Road::Http}) {
        SCOPED_TRACE(RoadName(road));
        // The operator moves to a new key: the server is signed anew with it.
        Fresh();
        PublishTwo(Form::Packed);
        std::size_t versions = 0;
        std::string error;
        ASSERT_TRUE(tools::SignServer(OnServer("").string(), "version.wvd", OtherKey().secretKey,
                                      versions, error))
            << error;
        EXPECT_EQ(versions, 2u);
        // A launcher that knows only the old key refuses the server.
        EXPECT_FALSE(Run(road, {Key().publicKey}));
        ASSERT_EQ(window.failures.size(), 1u);
        EXPECT_NE(window.failures[0].Detail().find("bad signature: version.wvd"),
                  std::string::npos);
        EXPECT_FALSE(fs::exists("a.txt"));
        // One built with both keys installs it.
        window.failures.clear();
        EXPECT_TRUE(Run(road, {Key().publicKey, OtherKey().publicKey}));
        EXPECT_EQ(ReadFile("b.txt"), "bee");
        EXPECT_FALSE(fs::exists("keep.txt"));
    }
}

// The connect server's answer travels as plain TCP: the version file's name in
// it is an attacker's choice. It only chooses what is requested; no local file
// of that name is deleted, written or left behind, with or without a key.
TEST_F(SignedRoadTest, AHostileVersionFileNameTouchesNoLocalFile) {
    const std::string launcherCopy = WaitingCopies()[0].waiting;
    struct Case {
        std::string name;
        bool served; // the server has the genuine signed table under that name
    };
    const std::vector<Case> cases = {
        {"config.ini", false}, {"message._tf", false}, {"message._tf", true},
        {launcherCopy, false}, {"Temp/b.txt", true},   {"patch.log", false},
    };
    for (const Case& c : cases) {
        for (Road road : {Road::Ftp, Road::Http}) {
            for (bool keyed : {false, true}) {
                SCOPED_TRACE(c.name + " over " + RoadName(road) + (keyed ? " with" : " without") +
                             " a key" + (c.served ? ", served" : ""));
                Fresh();
                PublishTwo(Form::Packed);
                if (c.served) {
                    fs::create_directories(OnServer(c.name).parent_path());
                    fs::copy_file(OnServer("version.wvd"), OnServer(c.name));
                    fs::copy_file(OnServer("version.wvd.sig"), OnServer(c.name + ".sig"));
                }
                WriteFile(c.name, "precious");
                std::vector<trust::PublicKey> keys;
                if (keyed)
                    keys.push_back(Operator().publicKey);
                EXPECT_EQ(Run(road, keys, c.name.c_str()), c.served);
                EXPECT_EQ(ReadFile(c.name), "precious");
                EXPECT_EQ(CountStagingFiles("."), 0);
                EXPECT_EQ(fs::exists("b.txt"), c.served);
            }
        }
    }
}

// Without a key, the version file and the list are held to their ceilings too.
TEST_F(SignedRoadTest, AnOversizedVersionFileOrListIsRefusedWithoutAKey) {
    for (const char* file : {"version.wvd", "1.00.02/list.inf"}) {
        for (Road road : {Road::Ftp, Road::Http}) {
            SCOPED_TRACE(std::string(file) + " over " + RoadName(road));
            Fresh();
            PublishTwo(Form::Packed, false);
            WriteFile(OnServer(file), ReadFile(OnServer(file)) + std::string(20 << 20, ' '));
            EXPECT_FALSE(Run(road, {}));
            ASSERT_EQ(window.failures.size(), 1u);
            EXPECT_NE(window.failures[0].Detail().find("bytes allowed"), std::string::npos)
                << window.failures[0].Detail();
            EXPECT_EQ(CountStagingFiles("."), 0);
        }
    }
}

// With config.ini lost, an old signed version file (one the operator did sign)
// replayed by the server would reinstall an older version; a keyed launcher
// remembers the newest version it accepted and refuses it.
TEST_F(SignedRoadTest, AnOldSignedVersionFileIsRefusedAfterANewerOne) {
    for (Road road : {Road::Ftp, Road::Http}) {
        SCOPED_TRACE(RoadName(road));
        Fresh();
        auto sign = [](tools::PatchVersion& v) { v.signingKey = Operator().secretKey; };
        Publish("1.00.01", {{"a.txt", "one"}}, sign);
        const std::string oldTable = ReadFile(OnServer("version.wvd"));
        const std::string oldSignature = ReadFile(OnServer("version.wvd.sig"));
        Publish("1.00.02", {{"a.txt", "two"}}, sign);
        ASSERT_TRUE(Run(road, {Operator().publicKey}));
        EXPECT_EQ(ReadFile("trusted.ver"), "1.00.02\n");

        WriteFile(OnServer("version.wvd"), oldTable);
        WriteFile(OnServer("version.wvd.sig"), oldSignature);
        fs::remove("config.ini");
        update.localVersion = {};
        window.failures.clear();
        EXPECT_FALSE(Run(road, {Operator().publicKey}));
        ASSERT_EQ(window.failures.size(), 1u);
        EXPECT_NE(window.failures[0].Detail().find("rolled back version file: its newest version "
                                                   "1.00.01 is older than 1.00.02"),
                  std::string::npos)
            << window.failures[0].Detail();
        EXPECT_EQ(ReadFile("a.txt"), "two");
        EXPECT_FALSE(fs::exists("config.ini"));
    }
}

// A version resumed from the journal: with a key, a staged file is installed
// only once this run has checked it again (a plain file by its hash where it
// lies; a packed one, already unpacked, by fetching it again).
TEST_F(SignedRoadTest, AKeyedLauncherInstallsNoStagedFileUnchecked) {
    struct Case {
        Form form;
        const char* staged;
        const char* journalled;
    };
    for (const Case& c : {Case{Form::Files, "Temp/b.txt", "b.txt"},
                          Case{Form::CompressedMirror, "Temp/data/c.bin", "data\\c.bin"}}) {
        for (bool tampered : {true, false}) {
            SCOPED_TRACE(std::string(c.staged) + (tampered ? " tampered" : " genuine"));
            Fresh();
            PublishTwo(c.form);
            SetLocalVersion("1.00.01");
            const std::string genuine = c.form == Form::Files ? "bee" : "sea";
            WriteFile(c.staged, tampered ? "evil" : genuine);
            WriteFile("patch.log", std::string("V 1.0.2\nF ") + c.journalled + "\n");
            ASSERT_TRUE(Run(Road::Ftp, {Operator().publicKey}));
            EXPECT_EQ(ReadFile(std::string(c.staged).substr(5)), genuine);
        }
    }
}

} // namespace
} // namespace tarnvale::test
