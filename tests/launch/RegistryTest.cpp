#include "platform/Registry.h"
#include "LaunchTestSupport.h"
#include "platform/RegistryHive.h"

#include <filesystem>

namespace tarnvale {
namespace {

using platform::RegistryKey;
using platform::RegistryRoot;

class Registry : public test::RegistryTest {};

TEST_F(Registry, ValuesRoundTripAndSurviveReopening) {
    for (const RegistryRoot root : {RegistryRoot::CurrentUser, RegistryRoot::LocalMachine}) {
        const std::string path = KeyPath("Config");
        const std::string high = "\x01\x7f\x80\xb5\xc7\xff \"\\ text"; // every kind of byte but 0
        {
            RegistryKey key;
            bool created = false;
            ASSERT_TRUE(key.Create(root, path, &created));
            EXPECT_TRUE(created);
            EXPECT_TRUE(key.SetString("ID", high.c_str()));
            EXPECT_TRUE(key.SetString("Empty", ""));
            EXPECT_TRUE(key.SetDword("WindowMode", 0xDEADBEEF));
            EXPECT_TRUE(key.SetDword("WindowMode", 7)) << "overwriting a value";
        }
        RegistryKey key;
        bool created = true;
        ASSERT_TRUE(key.Create(root, path, &created));
        EXPECT_FALSE(created) << "the key is opened, not made again";
        std::string text;
        std::uint32_t number = 0;
        EXPECT_TRUE(key.QueryString("ID", text, 64));
        EXPECT_EQ(text, high);
        EXPECT_TRUE(key.QueryString("empty", text, 1)) << "names ignore letter case";
        EXPECT_EQ(text, "");
        EXPECT_TRUE(key.QueryDword("WINDOWMODE", number));
        EXPECT_EQ(number, 7u);

        // Type, presence and size are checked.
        EXPECT_FALSE(key.QueryDword("ID", number));
        EXPECT_FALSE(key.QueryString("WindowMode", text, 64));
        EXPECT_FALSE(key.QueryDword("Missing", number));
        EXPECT_FALSE(key.QueryString("Missing", text, 64));

        RegistryKey again;
        EXPECT_TRUE(again.Open(root, KeyPath("CONFIG"))) << "paths ignore letter case";
    }
}

TEST_F(Registry, StringQueryHonoursTheBufferSize) {
    RegistryKey key;
    ASSERT_TRUE(key.Create(RegistryRoot::LocalMachine, KeyPath()));
    const std::string fits(255, 'a'), tooLong(256, 'b');
    ASSERT_TRUE(key.SetString("Fits", fits.c_str()));
    ASSERT_TRUE(key.SetString("TooLong", tooLong.c_str()));
    std::string text;
    EXPECT_TRUE(key.QueryString("Fits", text, 256)) << "255 bytes and the zero fill 256";
    EXPECT_EQ(text, fits);
    EXPECT_FALSE(key.QueryString("TooLong", text, 256));
}

TEST_F(Registry, OpenDoesNotCreateAndDeleteRemovesKeyWithValues) {
    const RegistryRoot root = RegistryRoot::LocalMachine;
    RegistryKey key;
    EXPECT_FALSE(key.Open(root, KeyPath()));
    EXPECT_FALSE(key.Open(root, KeyPath())) << "a failed open created nothing";
    EXPECT_FALSE(platform::DeleteRegistryKey(root, KeyPath())) << "nothing to delete";

    ASSERT_TRUE(key.Create(root, KeyPath()));
    ASSERT_TRUE(key.SetDword("Key", 1));
    key.Close();
    EXPECT_TRUE(platform::DeleteRegistryKey(root, KeyPath()));
    EXPECT_FALSE(key.Open(root, KeyPath()));

    bool created = false;
    ASSERT_TRUE(key.Create(root, KeyPath(), &created));
    EXPECT_TRUE(created);
    std::uint32_t number = 0;
    EXPECT_FALSE(key.QueryDword("Key", number)) << "the values went with the key";
}

TEST_F(Registry, KeyWithSubkeysIsNotDeleted) {
    const RegistryRoot root = RegistryRoot::CurrentUser;
    RegistryKey key;
    ASSERT_TRUE(key.Create(root, KeyPath("Parent\\Child"))) << "missing parents are created";
    key.Close();
    EXPECT_TRUE(key.Open(root, KeyPath("Parent")));
    key.Close();
    EXPECT_FALSE(platform::DeleteRegistryKey(root, KeyPath("Parent")));
    EXPECT_TRUE(platform::DeleteRegistryKey(root, KeyPath("Parent\\Child")));
    EXPECT_TRUE(platform::DeleteRegistryKey(root, KeyPath("Parent")));
}

TEST_F(Registry, HandleOfADeletedKeyWritesNothing) {
    const RegistryRoot root = RegistryRoot::LocalMachine;
    RegistryKey key;
    ASSERT_TRUE(key.Create(root, KeyPath()));
    ASSERT_TRUE(platform::DeleteRegistryKey(root, KeyPath()));
    EXPECT_FALSE(key.SetDword("Key", 1));
    key.Close();
    EXPECT_FALSE(key.Open(root, KeyPath())) << "the write did not bring the key back";
}

TEST_F(Registry, RootsAreSeparate) {
    RegistryKey machine, user;
    ASSERT_TRUE(machine.Create(RegistryRoot::LocalMachine, KeyPath()));
    ASSERT_TRUE(machine.SetDword("Key", 1));
    EXPECT_FALSE(user.Open(RegistryRoot::CurrentUser, KeyPath()));
}

// The file form of a hive, where there is no system registry.
TEST(RegistryHive, SerializedHiveReadsBackTheSame) {
    platform::hive::Hive hive;
    platform::hive::Key& key = hive.AddKey("A\\B\\C");
    platform::hive::SetValue(key, "Text", platform::kRegSz, std::string("q\"\\\x00\x1f\xff z", 9));
    platform::hive::SetValue(key, "", platform::kRegDword, std::string("\x01\x02\x03\x84", 4));
    ASSERT_EQ(hive.keys.size(), 3u) << "parents are listed too";

    const std::string bytes = platform::hive::Serialize(hive);
    EXPECT_NE(bytes.find("\"\"=dword:84030201\n"), std::string::npos) << bytes;
    platform::hive::Hive back;
    std::string error;
    ASSERT_TRUE(platform::hive::Parse(bytes, back, error)) << error;
    EXPECT_EQ(platform::hive::Serialize(back), bytes);
    const platform::hive::Key* c = back.FindKey("a\\b\\c");
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(platform::hive::FindValue(*c, "TEXT")->data, std::string("q\"\\\x00\x1f\xff z", 9));
}

TEST(RegistryHive, DamagedFilesAreRefusedWhole) {
    const std::string head = "tarnvale-registry-hive 1\n";
    const std::string good = head + "[\"K\"]\n\"V\"=dword:0000000a\n\n\"S\"=sz:\"x\\x41\"\nend\n";
    platform::hive::Hive hive;
    std::string error;
    ASSERT_TRUE(platform::hive::Parse(good, hive, error)) << error;
    ASSERT_TRUE(platform::hive::Parse(head + "end\n", hive, error)) << "an empty hive";

    const struct {
        const char* what;
        std::string bytes;
    } damaged[] = {
        {"empty file", ""},
        {"other header", "tarnvale-registry-hive 2\nend\n"},
        {"cut after a value", good.substr(0, good.find("\n\n") + 1)},
        {"cut mid-line", good.substr(0, good.size() - 2)},
        {"no end line", head + "[\"K\"]\n"},
        {"text after end", good + "[\"L\"]\n"},
        {"value outside a key", head + "\"V\"=dword:00000001\nend\n"},
        {"unquoted name", head + "[\"K\"]\nV=dword:00000001\nend\n"},
        {"short number", head + "[\"K\"]\n\"V\"=dword:0001\nend\n"},
        {"bad hex digit", head + "[\"K\"]\n\"V\"=dword:0000000g\nend\n"},
        {"unknown type", head + "[\"K\"]\n\"V\"=binary:00\nend\n"},
        {"unclosed text", head + "[\"K\"]\n\"V\"=sz:\"abc\nend\n"},
        {"junk after text", head + "[\"K\"]\n\"V\"=sz:\"abc\"x\nend\n"},
        {"bad escape", head + "[\"K\"]\n\"V\"=sz:\"a\\q\"\nend\n"},
        {"short escape", head + "[\"K\"]\n\"V\"=sz:\"a\\x4\"\nend\n"},
        {"key twice", head + "[\"K\"]\n[\"k\"]\nend\n"},
        {"value twice", head + "[\"K\"]\n\"V\"=dword:00000001\n\"v\"=sz:\"\"\nend\n"},
        {"empty path part", head + "[\"A\\\\\\\\B\"]\nend\n"},
        {"unclosed key", head + "[\"K\"\nend\n"},
        {"carriage returns", "tarnvale-registry-hive 1\r\nend\r\n"},
    };
    for (const auto& c : damaged) {
        platform::hive::Hive untouched;
        untouched.AddKey("Keep");
        error.clear();
        EXPECT_FALSE(platform::hive::Parse(c.bytes, untouched, error)) << c.what;
        EXPECT_FALSE(error.empty()) << c.what;
        EXPECT_NE(untouched.FindKey("Keep"), nullptr) << c.what << ": the hive was changed";
    }
}

#ifndef _WIN32
TEST_F(Registry, HiveFilesLiveInTheConfigFolderAndAreReplacedWhole) {
    RegistryKey key;
    ASSERT_TRUE(key.Create(RegistryRoot::LocalMachine, KeyPath()));
    ASSERT_TRUE(key.SetString("ParameterA", "abc"));
    EXPECT_EQ(platform::RegistryLocation(RegistryRoot::LocalMachine), HiveFile(true));
    const std::string bytes = test::ReadFile(HiveFile(true));
    EXPECT_NE(bytes.find("\"ParameterA\"=sz:\"abc\"\n"), std::string::npos) << bytes;
    EXPECT_FALSE(std::filesystem::exists(HiveFile(false))) << "the other root is untouched";
    for (const auto& entry : std::filesystem::directory_iterator(Dir() / "tarnvale")) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "machine.reg" || name == "machine.reg.lock") << "left behind: " << name;
    }
}

TEST_F(Registry, DamagedHiveFileIsNeitherUsedNorOverwritten) {
    const std::string damaged = "tarnvale-registry-hive 1\n[\"K\"]\n\"V\"=dword:12";
    test::WriteFile(HiveFile(true), damaged);
    RegistryKey key;
    EXPECT_FALSE(key.Create(RegistryRoot::LocalMachine, KeyPath()));
    EXPECT_FALSE(key.Open(RegistryRoot::LocalMachine, "K"));
    EXPECT_FALSE(platform::DeleteRegistryKey(RegistryRoot::LocalMachine, "K"));
    EXPECT_EQ(test::ReadFile(HiveFile(true)), damaged) << "the damaged file is kept for repair";
    EXPECT_TRUE(key.Create(RegistryRoot::CurrentUser, KeyPath())) << "the other hive still works";
}

TEST_F(Registry, WithoutAnAbsoluteConfigFolderTheHomeFolderIsUsed) {
    setenv("XDG_CONFIG_HOME", "relative/path", 1);
    const char* home = std::getenv("HOME");
    const std::string saved = home ? home : "";
    setenv("HOME", Dir().c_str(), 1);
    EXPECT_EQ(platform::RegistryLocation(RegistryRoot::CurrentUser),
              (Dir() / ".config" / "tarnvale" / "user.reg").string());
    RegistryKey key;
    EXPECT_TRUE(key.Create(RegistryRoot::CurrentUser, KeyPath()));
    EXPECT_TRUE(std::filesystem::exists(Dir() / ".config" / "tarnvale" / "user.reg"));
    if (home)
        setenv("HOME", saved.c_str(), 1);
    else
        unsetenv("HOME");
}
#endif

} // namespace
} // namespace tarnvale
