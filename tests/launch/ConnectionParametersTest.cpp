#include "launch/ConnectionParameters.h"
#include "LaunchTestSupport.h"
#include "platform/Registry.h"
#include "tarnvale/settings.h"

namespace tarnvale {
namespace {

using platform::RegistryKey;
using platform::RegistryRoot;

constexpr ParamKey kKey = {0x1B, 0x2C, 0x3D, 0x4E};

TEST(ParamScrambling, AddressBytesAndPortKeyByteFollowTheTextLength) {
    ASSERT_EQ(BuildParamKey(), kKey) << "the build's key is the one these cases assume";
    // Length 7: byte i raised by k[i mod 4]; the port takes k3.
    EXPECT_EQ(ScrambleParamText("1.2.3.4", kKey),
              std::string({'1' + 0x1B, '.' + 0x2C, '2' + 0x3D, '.' + 0x4E, '3' + 0x1B, '.' + 0x2C,
                           '4' + 0x3D}));
    EXPECT_EQ(ScramblePort(5000, 7, kKey), 5000u ^ 0x4Eu);
    EXPECT_EQ(ScramblePort(5000, 8, kKey), 5000u ^ 0x1Bu) << "length 8 takes k0";
    EXPECT_EQ(ScramblePort(0x12345678, 1, kKey) & 0xFFFFFF00u, 0x12345600u)
        << "only the low eight bits of the port change";
    EXPECT_EQ(ScramblePort(ScramblePort(44405, 11, kKey), 11, kKey), 44405u);

    // Additions wrap modulo 256, and descrambling undoes every byte value.
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    EXPECT_EQ(ScrambleParamText("\xff\xff", kKey), "\x1a\x2b");
    EXPECT_EQ(DescrambleParamText(ScrambleParamText(all, kKey), kKey), all);
}

TEST(ParamScrambling, DigitsAndDotNeverBecomeZero) {
    EXPECT_TRUE(KeepsDigitsAndDotNonZero(settings::kParamKey));
    const std::uint8_t zeroesTheDot[4] = {0x1B, 0x2C, 0xD2, 0x4E}; // '.' + 0xD2 = 0x100
    const std::uint8_t zeroesNine[4] = {0xC7, 1, 2, 3};            // '9' + 0xC7 = 0x100
    EXPECT_FALSE(KeepsDigitsAndDotNonZero(zeroesTheDot));
    EXPECT_FALSE(KeepsDigitsAndDotNonZero(zeroesNine));
}

class ConnectionKey : public test::RegistryTest {
  protected:
    // What the registry holds, read around the operations under test.
    bool Stored(RegistryRoot root, std::string& scrambled, std::uint32_t& port,
                std::uint32_t& stamp) {
        RegistryKey key;
        return key.Open(root, KeyPath()) && key.QueryString("ParameterA", scrambled, 256) &&
               key.QueryDword("ParameterB", port) && key.QueryDword("Key", stamp);
    }
    bool KeyExists(RegistryRoot root = RegistryRoot::LocalMachine) {
        RegistryKey key;
        return key.Open(root, KeyPath());
    }
    bool Write(const std::string& address, std::uint32_t port) {
        return WriteKeyStamp(Channel()) && WriteConnectionParameters({address, port}, Channel());
    }
};

TEST_F(ConnectionKey, WrittenValuesHaveTheStoredFormAndReadBackOnce) {
    now = 123456;
    ASSERT_TRUE(Write("10.0.0.17", 55901));
    std::string scrambled;
    std::uint32_t port = 0, stamp = 0;
    ASSERT_TRUE(Stored(RegistryRoot::LocalMachine, scrambled, port, stamp));
    EXPECT_EQ(scrambled, ScrambleParamText("10.0.0.17", kKey));
    EXPECT_EQ(port, 55901u ^ kKey[9 % 4]);
    EXPECT_EQ(stamp, 123456u);

    ConnectionParameters read;
    ASSERT_TRUE(ReadConnectionParameters(read, Channel()));
    EXPECT_EQ(read.address, "10.0.0.17");
    EXPECT_EQ(read.port, 55901u);
    EXPECT_FALSE(KeyExists()) << "a successful read deletes the key";
    EXPECT_FALSE(ReadConnectionParameters(read, Channel())) << "the parameters are single-use";
}

TEST_F(ConnectionKey, WritingTwiceLeavesOnlyTheSecondSet) {
    ASSERT_TRUE(Write("192.168.100.200", 44405));
    {
        // A leftover value the first writer did not make goes with the key.
        RegistryKey key;
        ASSERT_TRUE(key.Open(RegistryRoot::LocalMachine, KeyPath()));
        ASSERT_TRUE(key.SetDword("Leftover", 1));
    }
    now += 10;
    ASSERT_TRUE(Write("1.2.3.4", 80));
    RegistryKey key;
    std::uint32_t number = 0;
    ASSERT_TRUE(key.Open(RegistryRoot::LocalMachine, KeyPath()));
    EXPECT_FALSE(key.QueryDword("Leftover", number));
    key.Close();
    ConnectionParameters read;
    ASSERT_TRUE(ReadConnectionParameters(read, Channel()));
    EXPECT_EQ(read.address, "1.2.3.4");
    EXPECT_EQ(read.port, 80u);
}

TEST_F(ConnectionKey, WriterWindowIsFiveSecondsOfUnsignedDifference) {
    struct Case {
        const char* what;
        std::uint32_t stamp, now;
        bool accepted;
    } cases[] = {
        {"same moment", 1000, 1000, true},
        {"exactly 5000 ms", 1000, 6000, true},
        {"5001 ms", 1000, 6001, false},
        {"across the clock's wrap", 0xFFFFF000u, 0x00000388u, true}, // 4096 + 904 = 5000
        {"across the wrap, too old", 0xFFFFF000u, 0x00000389u, false},
        {"stamp from the future", 2000, 1999, false}, // difference 2^32 - 1
    };
    for (const Case& c : cases) {
        now = c.stamp;
        ASSERT_TRUE(WriteKeyStamp(Channel())) << c.what;
        now = c.now;
        EXPECT_EQ(WriteConnectionParameters({"1.2.3.4", 1}, Channel()), c.accepted) << c.what;
        EXPECT_EQ(KeyExists(), c.accepted) << c.what << ": a refused write deletes the key";
        DeleteConnectionKey(Channel());
    }
}

TEST_F(ConnectionKey, MissingStampPassesOnlyJustAfterSystemStart) {
    // A missing "Key" reads as 0xFFFFFFFF, so the difference is now + 1.
    EXPECT_EQ(ReadKeyStamp(Channel()), gameclient::kMissingStamp);
    now = 4999;
    EXPECT_TRUE(WriteConnectionParameters({"1.2.3.4", 1}, Channel()));
    DeleteConnectionKey(Channel());
    now = 5000;
    EXPECT_FALSE(WriteConnectionParameters({"1.2.3.4", 1}, Channel()));
    EXPECT_FALSE(KeyExists());
}

TEST_F(ConnectionKey, ReaderWindowIsTwentySixSeconds) {
    struct Case {
        const char* what;
        std::uint32_t written, read;
        bool accepted;
    } cases[] = {
        {"exactly 26000 ms", 50000, 76000, true},
        {"26001 ms", 50000, 76001, false},
        {"across the clock's wrap", 0xFFFFC000u, 0x00002590u, true}, // 16384 + 9616 = 26000
        {"across the wrap, too old", 0xFFFFC000u, 0x00002591u, false},
    };
    for (const Case& c : cases) {
        now = c.written;
        ASSERT_TRUE(Write("172.16.0.1", 44406)) << c.what;
        now = c.read;
        ConnectionParameters read;
        EXPECT_EQ(ReadConnectionParameters(read, Channel()), c.accepted) << c.what;
        EXPECT_FALSE(KeyExists()) << c.what << ": read or too old, the key is gone either way";
        if (c.accepted) {
            EXPECT_EQ(read.address, "172.16.0.1");
        }
    }
}

TEST_F(ConnectionKey, MissingValueFailsTheReadAndLeavesTheKey) {
    now = 700;
    ASSERT_TRUE(Write("1.2.3.4", 9));
    {
        RegistryKey key;
        ASSERT_TRUE(key.Open(RegistryRoot::LocalMachine, KeyPath()));
        ASSERT_TRUE(key.SetString("ParameterB", "not a number"));
    }
    ConnectionParameters read;
    EXPECT_FALSE(ReadConnectionParameters(read, Channel()));
    EXPECT_TRUE(KeyExists()) << "the key is unchanged";
    EXPECT_FALSE(ReadConnectionParameters(read, Channel())) << "and stays unreadable";
}

TEST_F(ConnectionKey, AddressesThatCannotBeStoredWholeAreRefused) {
    // The first byte scrambles to zero: storing it would leave an empty address
    // and the port unscrambled with the wrong key byte.
    const std::string zeroing = std::string(1, static_cast<char>(0x100 - kKey[0])) + "1.2.3";
    const std::string longest(255, '7');
    EXPECT_FALSE(Write(zeroing, 5000));
    EXPECT_FALSE(Write(std::string(256, '7'), 5000));
    EXPECT_FALSE(Write(std::string("1.2\0.3", 6), 5000));
    EXPECT_FALSE(KeyExists()) << "no old or partial parameters remain after a refusal";

    ASSERT_TRUE(Write(longest, 5000));
    ConnectionParameters read;
    ASSERT_TRUE(ReadConnectionParameters(read, Channel()));
    EXPECT_EQ(read.address, longest);
    EXPECT_EQ(read.port, 5000u);

    // Bytes that do not scramble to zero pass, whatever they are.
    const std::string odd = "h\xe5st\x01 x";
    ASSERT_TRUE(Write(odd, 65535));
    ASSERT_TRUE(ReadConnectionParameters(read, Channel()));
    EXPECT_EQ(read.address, odd);
}

TEST_F(ConnectionKey, StampsComeFromTheSystemClockByDefault) {
    ConnectionChannel real;
    real.keyPath = KeyPath();
    ASSERT_TRUE(WriteKeyStamp(real));
    const std::uint32_t stamp = ReadKeyStamp(real);
    EXPECT_NE(stamp, gameclient::kMissingStamp);
    EXPECT_LE(static_cast<std::uint32_t>(real.clock() - stamp), 5000u);
    EXPECT_TRUE(WriteConnectionParameters({"127.0.0.1", 44405}, real));
    ConnectionParameters read;
    EXPECT_TRUE(ReadConnectionParameters(read, real));
}

#ifndef _WIN32
// Where the machine-wide key cannot be written (here: its hive is damaged, as a
// denied key is on Windows), the parameters go to the per-user key, and the reader
// finds them there.
TEST_F(ConnectionKey, PerUserKeyStandsInWhenTheMachineKeyCannotBeWritten) {
    const std::string damaged = "not a hive\n";
    test::WriteFile(HiveFile(true), damaged);
    ASSERT_TRUE(Write("10.1.2.3", 44405));
    std::string scrambled;
    std::uint32_t port = 0, stamp = 0;
    EXPECT_TRUE(Stored(RegistryRoot::CurrentUser, scrambled, port, stamp));
    EXPECT_EQ(test::ReadFile(HiveFile(true)), damaged);

    ConnectionParameters read;
    ASSERT_TRUE(ReadConnectionParameters(read, Channel()));
    EXPECT_EQ(read.address, "10.1.2.3");
    EXPECT_FALSE(KeyExists(RegistryRoot::CurrentUser));
}

TEST_F(ConnectionKey, WriterClearsAStaleSetInThePerUserKey) {
    {
        RegistryKey key;
        ASSERT_TRUE(key.Create(RegistryRoot::CurrentUser, KeyPath()));
        ASSERT_TRUE(key.SetString("ParameterA", ScrambleParamText("6.6.6.6", kKey).c_str()));
        ASSERT_TRUE(key.SetDword("ParameterB", 1));
        ASSERT_TRUE(key.SetDword("Key", now));
    }
    ASSERT_TRUE(Write("1.1.1.1", 2));
    EXPECT_FALSE(KeyExists(RegistryRoot::CurrentUser));
    EXPECT_TRUE(KeyExists(RegistryRoot::LocalMachine));
}

TEST_F(ConnectionKey, ReaderFallsBackToThePerUserKeyWhenTheMachineKeyHoldsNothing) {
    // A machine-wide key left without parameters (for instance by an elevated
    // client) must not hide the per-user set.
    {
        RegistryKey key;
        ASSERT_TRUE(key.Create(RegistryRoot::LocalMachine, KeyPath()));
        ASSERT_TRUE(key.SetDword("Key", now));
        ASSERT_TRUE(key.Create(RegistryRoot::CurrentUser, KeyPath()));
        ASSERT_TRUE(key.SetString("ParameterA", ScrambleParamText("9.9.9.9", kKey).c_str()));
        ASSERT_TRUE(key.SetDword("ParameterB", ScramblePort(7777, 7, kKey)));
        ASSERT_TRUE(key.SetDword("Key", now));
    }
    ConnectionParameters read;
    ASSERT_TRUE(ReadConnectionParameters(read, Channel()));
    EXPECT_EQ(read.address, "9.9.9.9");
    EXPECT_EQ(read.port, 7777u);
}
#endif

} // namespace
} // namespace tarnvale
