// What each connect-server packet does to LauncherState, the window and the
// update roads. Packets reach the dispatcher through the socket client's framing
// and queue, as they do in the launcher.
#include "NetTestSupport.h"
#include "net/ConnectServerDispatcher.h"
#include "net/ConnectServerProtocol.h"
#include "support/TestSupport.h"

#include <cstring>

namespace tarnvale {
namespace {

using test::Bytes;
using test::Packet;

class Dispatch : public ::testing::Test {
  protected:
    Dispatch() { state.messages.Load(TARNVALE_BIN_DIR "/message.wtf"); }

    void Receive(const Bytes& bytes) {
        state.socketClient.ReceiveBytes(bytes.data(), static_cast<int>(bytes.size()));
        dispatcher.DrainQueue();
    }

    static UpdateServerInfo Info(const char* address, std::uint16_t port, const char* account,
                                 const char* password, const char* versionFile) {
        UpdateServerInfo info;
        std::strncpy(info.serverAddress, address, sizeof info.serverAddress - 1);
        info.serverPort = port;
        std::strncpy(info.accountName, account, sizeof info.accountName - 1);
        std::strncpy(info.accountPassword, password, sizeof info.accountPassword - 1);
        std::strncpy(info.versionFileName, versionFile, sizeof info.versionFileName - 1);
        return info;
    }

    static Bytes Partitions(int count) {
        PartitionEntry entries[kPartitionCount] = {};
        for (int i = 0; i < count; ++i) {
            std::snprintf(entries[i].name, sizeof entries[i].name, "Partition %d", i + 1);
            std::snprintf(entries[i].address, sizeof entries[i].address, "10.0.0.%d", i + 1);
            entries[i].port = static_cast<std::uint16_t>(i == 2 ? 0 : 55900 + i);
        }
        return proto::BuildPartitionList(entries);
    }

    LauncherState state;
    test::RecordingWindow window;
    UpdateState update;
    test::RecordingRoads roads{&state.launchMode};
    ConnectServerDispatcher dispatcher{state, window, update, roads};
};

TEST_F(Dispatch, UpToDateAnswersFinishTheUpdate) {
    Receive(proto::BuildUpToDate());
    EXPECT_EQ(window.finishCount, 1);
    // Type 3 behaves as type 2 whatever its list holds, in either header kind.
    Bytes withList = Packet(0xC1, 3, 6 + 8);
    withList[4] = 1;
    withList[5] = 2;
    std::memset(withList.data() + 6, 0xEE, 8);
    Receive(withList);
    Bytes negative = Packet(0xC1, 3, 6);
    negative[5] = 0xFF; // a count of -1 lists nothing
    Receive(negative);
    Receive(Packet(0xC2, 2, 4));
    Receive(Packet(0xC2, 3, 6));
    EXPECT_EQ(window.finishCount, 5);
    EXPECT_TRUE(roads.calls.empty());
}

TEST_F(Dispatch, HttpInformationIsDescrambledStoredAndStarted) {
    state.launchMode = kLaunchOverride;
    Receive(
        proto::BuildUpdateInfo(4, Info("update.example", 8080, "user", "secret", "version.wvd")));
    ASSERT_EQ(roads.calls.size(), 2u);
    const auto& store = roads.calls[0];
    EXPECT_EQ(store.road, "store");
    EXPECT_EQ(store.address, "update.example");
    EXPECT_EQ(store.port, 8080);
    EXPECT_EQ(store.account, "user");
    EXPECT_EQ(store.password, "secret");
    EXPECT_EQ(store.versionFile, "version.wvd");
    EXPECT_EQ(roads.calls[1].road, "http");
    EXPECT_EQ(state.launchMode, kLaunchOverride) << "only the FTP answers clear the override";
    EXPECT_TRUE(window.statusTexts.empty());
}

TEST_F(Dispatch, FtpInformationClearsTheOverrideBeforeTheUpdateStarts) {
    state.launchMode = kLaunchOverride;
    Receive(proto::BuildUpdateInfo(5, Info("127.0.0.1", 21, "anonymous", "", "version.wvd")));
    ASSERT_EQ(roads.calls.size(), 1u);
    EXPECT_EQ(roads.calls[0].road, "ftp");
    EXPECT_EQ(roads.calls[0].launchMode, kLaunchNormal);
    EXPECT_EQ(roads.calls[0].password, "");
    EXPECT_EQ(window.connectButtonCount, 0);

    state.launchMode = kLaunchTest;
    Receive(proto::BuildUpdateInfo(8, Info("ftp.example", 2121, "a", "b", "v.wvd")));
    ASSERT_EQ(roads.calls.size(), 2u);
    EXPECT_EQ(roads.calls[1].port, 2121);
    EXPECT_EQ(roads.calls[1].launchMode, kLaunchTest) << "test mode is left alone";
}

TEST_F(Dispatch, FailedFtpUpdateShowsText138AndTheConnectButton) {
    roads.ftpResult = false;
    Receive(proto::BuildUpdateInfo(5, Info("127.0.0.1", 21, "a", "b", "v.wvd")));
    ASSERT_EQ(window.statusTexts.size(), 1u);
    EXPECT_EQ(window.statusTexts[0], "The update failed. Press Connect to try again.");
    EXPECT_EQ(window.connectButtonCount, 1);
}

TEST_F(Dispatch, FieldsAreDescrambledOverTheirWholeWidth) {
    // A field's trailing zeros travel scrambled; descrambling restores them, and a
    // scrambled zero never ends a text early.
    Bytes packet = proto::BuildUpdateInfo(4, Info("ab", 1, "", "", "v"));
    const std::uint8_t* key = packet.data() + proto::kServerAddressOffset + 2;
    EXPECT_EQ(key[0], 0x2D); // byte 2 of the field: zero XOR key byte 2
    EXPECT_EQ(key[1], 0x5E); // byte 3 restarts the key
    EXPECT_EQ(packet[proto::kAccountNameOffset], 0x5E) << "every field restarts the key";
    EXPECT_EQ(packet[proto::kServerAddressOffset], 'a' ^ 0x5E);
    Receive(packet);
    ASSERT_EQ(roads.calls.size(), 2u);
    EXPECT_EQ(roads.calls[0].address, "ab");
    EXPECT_EQ(roads.calls[0].account, "");
    std::uint8_t field[7] = {1, 2, 3, 4, 5, 6, 7};
    proto::XorFieldKey(field, sizeof field);
    proto::XorFieldKey(field, sizeof field);
    EXPECT_EQ(field[6], 7) << "the same operation scrambles and descrambles";
}

TEST_F(Dispatch, TextFieldsWithoutTerminatorAreCutToTheirWidth) {
    UpdateServerInfo info;
    std::memset(info.serverAddress, 'h', sizeof info.serverAddress);
    std::memset(info.accountName, 'n', sizeof info.accountName);
    std::memset(info.accountPassword, 'p', sizeof info.accountPassword);
    std::memset(info.versionFileName, 'v', sizeof info.versionFileName);
    Receive(proto::BuildUpdateInfo(5, info));
    ASSERT_EQ(roads.calls.size(), 1u);
    EXPECT_EQ(roads.calls[0].address, std::string(99, 'h'));
    EXPECT_EQ(roads.calls[0].account, std::string(19, 'n'));
    EXPECT_EQ(roads.calls[0].password, std::string(19, 'p'));
    EXPECT_EQ(roads.calls[0].versionFile, std::string(19, 'v'));
}

TEST_F(Dispatch, PartitionListReplacesAllTenEntries) {
    Receive(Partitions(10));
    EXPECT_STREQ(state.partitions[0].name, "Partition 1");
    EXPECT_STREQ(state.partitions[9].address, "10.0.0.10");
    EXPECT_EQ(state.partitions[1].port, 55901);
    EXPECT_EQ(state.partitions[2].port, 0) << "kept as sent: a button that cannot be chosen";

    // A later list replaces every entry, also with empty ones.
    Receive(Partitions(1));
    EXPECT_STREQ(state.partitions[0].name, "Partition 1");
    EXPECT_STREQ(state.partitions[1].name, "");
    EXPECT_EQ(state.partitions[9].port, 0);
    EXPECT_EQ(window.finishCount, 0) << "the list alone changes no view";
}

TEST_F(Dispatch, PartitionTextsWithoutTerminatorAreCutToTheirField) {
    Bytes packet = Partitions(0);
    std::memset(packet.data() + 4, 'N', 32);
    std::memset(packet.data() + 4 + 32, '9', 16);
    packet[4 + 48] = 0x39;
    packet[4 + 49] = 0x30;
    Receive(packet);
    EXPECT_EQ(std::string(state.partitions[0].name), std::string(31, 'N'));
    EXPECT_EQ(std::string(state.partitions[0].address), std::string(15, '9'));
    EXPECT_EQ(state.partitions[0].port, 0x3039) << "the port is little-endian";
}

TEST_F(Dispatch, PacketsShorterThanTheirTypeNeedsAreIgnored) {
    struct Case {
        std::uint8_t type;
        int length;
        int listCount; // for types 3 and 8
    } cases[] = {
        {3, 5, 0},           {3, 6 + 4 * 3 - 1, 3}, {3, 6 + 4 * 64 - 1, 100},
        {4, 167, 0},         {5, 167, 0},           {8, 169, 0},
        {8, 170 + 4 - 1, 1}, {9, 503, 0},           {9, 4, 0},
    };
    for (const Case& c : cases) {
        Bytes packet = Packet(c.length > 255 ? 0xC2 : 0xC1, c.type, c.length);
        const int countAt = c.type == 3 ? 5 : 169;
        if (c.listCount != 0)
            packet[static_cast<std::size_t>(countAt)] = static_cast<std::uint8_t>(c.listCount);
        Receive(packet);
    }
    EXPECT_EQ(window.finishCount, 0);
    EXPECT_TRUE(roads.calls.empty());
    EXPECT_STREQ(state.partitions[0].name, "");

    // At their minimum they are handled; only 64 addresses of a longer list count.
    Bytes list = Packet(0xC2, 3, 6 + 4 * 64);
    list[5] = 100;
    Receive(list);
    EXPECT_EQ(window.finishCount, 1);
}

TEST_F(Dispatch, LongHeadersWorkForEveryType) {
    Bytes partitions = Partitions(2);
    ASSERT_EQ(partitions[0], 0xC2);
    Bytes info = proto::BuildUpdateInfo(5, Info("x", 1, "a", "b", "v"));
    Bytes longInfo = Packet(0xC2, 5, static_cast<int>(info.size()));
    std::copy(info.begin() + 4, info.end(), longInfo.begin() + 4);
    Receive(test::Concat({partitions, longInfo}));
    EXPECT_STREQ(state.partitions[1].name, "Partition 2");
    ASSERT_EQ(roads.calls.size(), 1u);
    EXPECT_EQ(roads.calls[0].address, "x");
}

TEST_F(Dispatch, OtherTypesAndWelcomesWithoutTheFlagDoNothing) {
    for (int type : {1, 6, 7, 10, 200, 255})
        Receive(Packet(0xC1, static_cast<std::uint8_t>(type), 200));
    Receive(proto::BuildWelcome(0));
    Receive(proto::BuildWelcome(2));
    EXPECT_EQ(window.finishCount, 0);
    EXPECT_TRUE(roads.calls.empty());
    EXPECT_TRUE(window.statusTexts.empty());
}

} // namespace
} // namespace tarnvale
