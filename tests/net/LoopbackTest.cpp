// SocketClient over real loopback connections, with its notices arriving through
// the platform message queue (WSAAsyncSelect to a window under Wine, the socket
// watcher on POSIX) and the dispatcher acting on the packets.
#include "NetTestSupport.h"
#include "net/ConnectServerDispatcher.h"
#include "net/ConnectServerProtocol.h"
#include "support/TestSupport.h"

#include <cstring>

namespace tarnvale {
namespace {

using test::Bytes;
using test::Concat;

class Loopback : public ::testing::Test {
  protected:
    Loopback() {
        state.messages.Load(TARNVALE_BIN_DIR "/message.wtf");
        update.localVersion = {1, 2, 3};
        EXPECT_TRUE(client().Startup());
    }
    ~Loopback() override { client().Close(); }

    SocketClient& client() { return state.socketClient; }

    bool ConnectTo(std::uint16_t port, const char* host = "127.0.0.1") {
        return client().CreateSocket(queue.Handle()) &&
               client().Connect(host, port, kWmSocketNotify);
    }

    test::MessageBoxRecorder boxes;
    LauncherState state;
    test::RecordingWindow window;
    UpdateState update;
    test::RecordingRoads roads{&state.launchMode};
    ConnectServerDispatcher dispatcher{state, window, update, roads};
    int notices = 0;
    platform::MessageQueue queue{[this](const platform::QueuedMessage& m) {
        if (m.message == kWmSocketNotify) {
            ++notices;
            dispatcher.OnSocketNotify(m.wParam, m.lParam);
        }
    }};
};

connectserver::Config ServerConfig(connectserver::Answer answer) {
    connectserver::Config config;
    config.port = 0;
    config.bindAddress = "127.0.0.1";
    config.answer = answer;
    std::strcpy(config.update.serverAddress, "updates.tarnvale.example");
    config.update.serverPort = 2121;
    std::strcpy(config.update.accountName, "patcher");
    std::strcpy(config.update.accountPassword, "s3cret");
    std::strcpy(config.update.versionFileName, "version.wvd");
    for (int i = 0; i < 3; ++i) {
        std::snprintf(config.partitions[i].name, 32, "Realm %d", i + 1);
        std::snprintf(config.partitions[i].address, 16, "127.0.0.%d", i + 1);
        config.partitions[i].port = static_cast<std::uint16_t>(55901 + i);
    }
    return config;
}

class ReferenceServer : public Loopback,
                        public ::testing::WithParamInterface<connectserver::Answer> {};

TEST_P(ReferenceServer, DeliversThePartitionListAndItsAnswer) {
    test::InProcessConnectServer server(ServerConfig(GetParam()));
    ASSERT_TRUE(ConnectTo(server.Port()));
    const auto answered = [&] { return window.finishCount > 0 || !roads.calls.empty(); };
    ASSERT_TRUE(test::PumpUntil(queue, answered));
    test::PumpFor(queue, 50); // nothing more is expected

    EXPECT_STREQ(state.partitions[0].name, "Realm 1");
    EXPECT_STREQ(state.partitions[2].address, "127.0.0.3");
    EXPECT_EQ(state.partitions[2].port, 55903);
    EXPECT_EQ(state.partitions[3].port, 0);
    switch (GetParam()) {
    case connectserver::Answer::UpToDate:
        EXPECT_EQ(window.finishCount, 1);
        EXPECT_TRUE(roads.calls.empty());
        break;
    case connectserver::Answer::Http:
        ASSERT_EQ(roads.calls.size(), 2u);
        EXPECT_EQ(roads.calls[0].road, "store");
        EXPECT_EQ(roads.calls[1].road, "http");
        break;
    default:
        ASSERT_EQ(roads.calls.size(), 1u);
        EXPECT_EQ(roads.calls[0].road, "ftp");
        break;
    }
    if (!roads.calls.empty()) {
        // Launchers reach an HTTP server by the address alone: its port travels in it.
        EXPECT_EQ(roads.calls[0].address, GetParam() == connectserver::Answer::Http
                                              ? "updates.tarnvale.example:2121"
                                              : "updates.tarnvale.example");
        EXPECT_EQ(roads.calls[0].port, 2121);
        EXPECT_EQ(roads.calls[0].account, "patcher");
        EXPECT_EQ(roads.calls[0].password, "s3cret");
        EXPECT_EQ(roads.calls[0].versionFile, "version.wvd");
    }
    const auto log = server.LogLines();
    ASSERT_GE(log.size(), 3u);
    EXPECT_NE(log[0].find("connected"), std::string::npos);
    EXPECT_NE(log[1].find("partition list"), std::string::npos);
    EXPECT_NE(log[2].find("reports version 1.2.3 and asks for HTTP"), std::string::npos) << log[2];
    EXPECT_TRUE(boxes.Boxes().empty());
}

INSTANTIATE_TEST_SUITE_P(EveryAnswer, ReferenceServer,
                         ::testing::Values(connectserver::Answer::UpToDate,
                                           connectserver::Answer::Http, connectserver::Answer::Ftp),
                         [](const auto& param) {
                             return std::string(param.param == connectserver::Answer::UpToDate
                                                    ? "UpToDate"
                                                    : connectserver::AnswerName(param.param));
                         });

TEST_F(Loopback, ReferenceServerServesManyLaunchersAtOnce) {
    test::InProcessConnectServer server(ServerConfig(connectserver::Answer::UpToDate));
    // Raw launchers: each sends its two packets and reads the three answers.
    constexpr int kLaunchers = 20;
    std::vector<platform::SocketHandle> sockets;
    for (int i = 0; i < kLaunchers; ++i) {
        const platform::SocketHandle s = platform::SocketCreateStream();
        ASSERT_EQ(platform::SocketConnect(s, platform::SocketInetAddr("127.0.0.1"), server.Port()),
                  0);
        sockets.push_back(s);
    }
    const Bytes request =
        Concat({proto::BuildPartitionListRequest(), proto::BuildVersionReport(4, {0, 0, 1})});
    for (auto s : sockets)
        ASSERT_EQ(platform::SocketSend(s, request.data(), static_cast<int>(request.size())),
                  static_cast<int>(request.size()));
    const std::size_t expected = 4 + 504 + 3; // Welcome, partition list, up to date
    for (auto s : sockets) {
        Bytes got;
        std::uint8_t buffer[1024];
        while (got.size() < expected) {
            const int n = platform::SocketRecv(s, buffer, sizeof buffer);
            ASSERT_GT(n, 0);
            got.insert(got.end(), buffer, buffer + n);
        }
        EXPECT_EQ(got.size(), expected);
        EXPECT_EQ(Bytes(got.end() - 3, got.end()), proto::BuildUpToDate());
        platform::SocketClose(s);
    }
}

// A server written here, which cuts its packets across reads and uses long
// headers where the reference server does not.
TEST_F(Loopback, SplitPacketsAndLongHeadersFromAScriptedServer) {
    test::ScriptedPeer peer;
    ASSERT_TRUE(ConnectTo(peer.Port()));
    ASSERT_TRUE(peer.Accept());

    // The Welcome, one byte first: the client holds it and waits for the rest.
    const Bytes welcome = proto::BuildWelcome(1);
    ASSERT_TRUE(peer.Send({welcome[0]}));
    ASSERT_TRUE(test::PumpUntil(queue, [&] { return client().HeldReceiveLength() == 1; }));
    ASSERT_TRUE(peer.Send(Bytes(welcome.begin() + 1, welcome.end())));

    // The launcher's answer to the Welcome, byte for byte.
    ASSERT_TRUE(test::PumpUntil(queue, [&] { return peer.Poll() && peer.received.size() >= 9; }));
    test::PumpFor(queue, 30);
    peer.Poll();
    EXPECT_EQ(peer.received, (Bytes{0xC1, 0x03, 0x09, 0xC1, 0x06, 0x04, 0x01, 0x02, 0x03}));

    // The partition list in three pieces, the last carrying the start of a long-header
    // FTP answer whose rest comes later.
    PartitionEntry entries[kPartitionCount] = {};
    std::strcpy(entries[4].name, "Fifth");
    std::strcpy(entries[4].address, "192.168.7.5");
    entries[4].port = 7005;
    const Bytes list = proto::BuildPartitionList(entries);
    ASSERT_EQ(list[0], 0xC2);
    UpdateServerInfo info;
    std::strcpy(info.serverAddress, "10.1.2.3");
    info.serverPort = 21;
    std::strcpy(info.versionFileName, "version.wvd");
    const Bytes shortInfo = proto::BuildUpdateInfo(5, info);
    Bytes ftp = test::Packet(0xC2, 5, static_cast<int>(shortInfo.size()));
    std::copy(shortInfo.begin() + 4, shortInfo.end(), ftp.begin() + 4);

    ASSERT_TRUE(peer.Send(Bytes(list.begin(), list.begin() + 100)));
    ASSERT_TRUE(test::PumpUntil(queue, [&] { return client().HeldReceiveLength() == 100; }));
    ASSERT_TRUE(peer.Send(Bytes(list.begin() + 100, list.begin() + 400)));
    ASSERT_TRUE(test::PumpUntil(queue, [&] { return client().HeldReceiveLength() == 400; }));
    ASSERT_TRUE(peer.Send(
        Concat({Bytes(list.begin() + 400, list.end()), Bytes(ftp.begin(), ftp.begin() + 50)})));
    ASSERT_TRUE(test::PumpUntil(queue, [&] { return state.partitions[4].port == 7005; }));
    EXPECT_STREQ(state.partitions[4].name, "Fifth");
    EXPECT_TRUE(roads.calls.empty());
    ASSERT_TRUE(peer.Send(Bytes(ftp.begin() + 50, ftp.end())));
    ASSERT_TRUE(test::PumpUntil(queue, [&] { return !roads.calls.empty(); }));
    EXPECT_EQ(roads.calls[0].road, "ftp");
    EXPECT_EQ(roads.calls[0].address, "10.1.2.3");
    EXPECT_EQ(client().HeldReceiveLength(), 0);
}

TEST_F(Loopback, WelcomeWithoutTheFlagOrWithALongHeaderSendsNothing) {
    test::ScriptedPeer peer;
    ASSERT_TRUE(ConnectTo(peer.Port()));
    ASSERT_TRUE(peer.Accept());
    ASSERT_TRUE(peer.Send(Concat({proto::BuildWelcome(0), proto::BuildWelcome(2)})));
    Bytes longWelcome = test::Packet(0xC2, 0, 5);
    longWelcome[4] = 1; // byte 3 is the type here, so the flag is never seen
    ASSERT_TRUE(peer.Send(longWelcome));
    ASSERT_TRUE(test::PumpUntil(queue, [&] { return notices >= 1; }));
    test::PumpFor(queue, 200);
    peer.Poll();
    EXPECT_TRUE(peer.received.empty());
    EXPECT_FALSE(peer.closed);
}

TEST_F(Loopback, ImpossibleHeaderDropsTheConnection) {
    test::ScriptedPeer peer;
    ASSERT_TRUE(ConnectTo(peer.Port()));
    ASSERT_TRUE(peer.Accept());
    ASSERT_TRUE(peer.Send(Bytes{0xC2, 0x20, 0x00, 0x09, 0x00, 0x00}));
    ASSERT_TRUE(
        test::PumpUntil(queue, [&] { return client().Socket() == platform::kInvalidSocket; }));
    EXPECT_EQ(client().HeldReceiveLength(), 0);
    EXPECT_TRUE(peer.WaitForClose());
}

TEST_F(Loopback, ReadNoticeWithAnErrorReadsNothing) {
    test::ScriptedPeer peer;
    ASSERT_TRUE(ConnectTo(peer.Port()));
    ASSERT_TRUE(peer.Accept());
    ASSERT_TRUE(peer.Send(proto::BuildUpToDate()));
    const auto socket = client().Socket();
    EXPECT_EQ(dispatcher.OnSocketNotify(socket, platform::MakeNotice(platform::kFdRead, 10053)), 0);
    EXPECT_EQ(dispatcher.OnSocketNotify(socket, platform::MakeNotice(platform::kFdWrite, 10053)),
              0);
    EXPECT_EQ(dispatcher.OnSocketNotify(socket, platform::MakeNotice(platform::kFdClose, 0)), 1);
    EXPECT_EQ(window.finishCount, 0);
    // The bytes are still there for the next real notice.
    ASSERT_TRUE(test::PumpUntil(queue, [&] { return window.finishCount == 1; }));
}

TEST_F(Loopback, HostNamesAreResolved) {
    test::InProcessConnectServer server(ServerConfig(connectserver::Answer::UpToDate));
    ASSERT_TRUE(ConnectTo(server.Port(), "localhost"));
    ASSERT_TRUE(test::PumpUntil(queue, [&] { return window.finishCount == 1; }));
}

TEST_F(Loopback, FailedConnectForgetsItsSocket) {
    std::string error;
    const platform::SocketHandle listener = platform::SocketListen("127.0.0.1", 0, error);
    ASSERT_NE(listener, platform::kInvalidSocket) << error;
    const std::uint16_t port = platform::SocketLocalPort(listener);
    platform::SocketClose(listener); // nothing listens there any more

    EXPECT_FALSE(ConnectTo(port));
    EXPECT_EQ(client().Socket(), platform::kInvalidSocket);
    // Without a fresh CreateSocket the next attempt makes its own socket rather
    // than reusing the closed one.
    EXPECT_FALSE(client().Connect("127.0.0.1", port, kWmSocketNotify));
    EXPECT_EQ(client().Socket(), platform::kInvalidSocket);
    EXPECT_FALSE(client().Send("x", 1));
    EXPECT_TRUE(boxes.Boxes().empty()) << "connection failures are silent";
}

// Fills the connection to a peer that does not read until the system refuses more;
// returns everything handed to Send.
Bytes FillUntilParked(SocketClient& client) {
    Bytes chunk(1000);
    Bytes all;
    for (int i = 0; i < 50000; ++i) {
        for (std::size_t j = 0; j < chunk.size(); ++j)
            chunk[j] = static_cast<std::uint8_t>(i * 7 + j);
        all.insert(all.end(), chunk.begin(), chunk.end());
        if (!client.Send(chunk.data(), static_cast<int>(chunk.size())))
            return all;
    }
    ADD_FAILURE() << "50 MB went out without the system refusing any";
    return all;
}

TEST_F(Loopback, ParkedBytesLeaveFirstAndInOrder) {
    test::ScriptedPeer peer;
    ASSERT_TRUE(ConnectTo(peer.Port()));
    ASSERT_TRUE(peer.Accept());
    peer.StopReading();
    Bytes expected = FillUntilParked(client());
    ASSERT_GT(client().PendingSendLength(), 0);
    ASSERT_NE(client().Socket(), platform::kInvalidSocket);

    // Sent while bytes are parked: it queues behind them instead of overtaking.
    const Bytes late(300, 0xAB);
    EXPECT_FALSE(client().Send(late.data(), static_cast<int>(late.size())));
    expected.insert(expected.end(), late.begin(), late.end());

    peer.StartReading();
    ASSERT_TRUE(test::PumpUntil(
        queue,
        [&] {
            peer.Poll();
            return client().PendingSendLength() == 0 && peer.received.size() >= expected.size();
        },
        20000));
    EXPECT_TRUE(peer.received == expected) << "the stream arrived reordered or damaged";
    EXPECT_NE(client().Socket(), platform::kInvalidSocket);
}

TEST_F(Loopback, ParkingBeyondTheSendBufferDropsTheConnection) {
    test::ScriptedPeer peer;
    ASSERT_TRUE(ConnectTo(peer.Port()));
    ASSERT_TRUE(peer.Accept());
    peer.StopReading();
    FillUntilParked(client());
    const int parked = client().PendingSendLength();
    ASSERT_GT(parked, 0);
    ASSERT_LE(parked, 1000);
    // Bring the parked bytes to 3000; a 2000-byte packet then cannot be kept.
    const Bytes topUp(static_cast<std::size_t>(3000 - parked), 0x11);
    EXPECT_FALSE(client().Send(topUp.data(), static_cast<int>(topUp.size())));
    EXPECT_EQ(client().PendingSendLength(), 3000);
    EXPECT_NE(client().Socket(), platform::kInvalidSocket);
    const Bytes big(2000, 0x22);
    EXPECT_FALSE(client().Send(big.data(), static_cast<int>(big.size())));
    EXPECT_EQ(client().Socket(), platform::kInvalidSocket);
}

} // namespace
} // namespace tarnvale
