// Framing of received reads into packets, and the client's error texts. Reads are
// fed through ReceiveBytes, the part of Receive after the system call, so the
// exact cut of every read is under the test's control; LoopbackTest covers the
// same client over real sockets.
#include "transport/SocketClient.h"
#include "NetTestSupport.h"
#include "support/TestSupport.h"

namespace tarnvale {
namespace {

using test::Bytes;
using test::Concat;
using test::Packet;

class Framing : public ::testing::Test {
  protected:
    int Read(const Bytes& bytes) {
        return client.ReceiveBytes(bytes.data(), static_cast<int>(bytes.size()));
    }
    // Pops every queued packet.
    std::vector<Bytes> PopAll() {
        std::vector<Bytes> packets;
        int length = 0;
        while (const std::uint8_t* data = client.PopPacket(&length))
            packets.emplace_back(data, data + length);
        return packets;
    }

    VeyMsg messages;
    SocketClient client{messages};
};

Bytes Numbered(std::uint8_t type, int length, std::uint8_t seed) {
    Bytes packet = Packet(length > 255 ? 0xC2 : 0xC1, type, length);
    for (std::size_t i = packet[0] == 0xC2 ? 4 : 3; i < packet.size(); ++i)
        packet[i] = static_cast<std::uint8_t>(seed + i);
    return packet;
}

TEST_F(Framing, PacketSplitAcrossTwoReadsIsQueuedAfterTheSecond) {
    const Bytes packet = Numbered(2, 40, 7);
    EXPECT_EQ(Read(Bytes(packet.begin(), packet.begin() + 25)), SocketClient::kReceiveFramed);
    EXPECT_EQ(client.PopPacket(), nullptr);
    EXPECT_EQ(client.HeldReceiveLength(), 25);
    Read(Bytes(packet.begin() + 25, packet.end()));
    EXPECT_EQ(PopAll(), std::vector<Bytes>{packet});
    EXPECT_EQ(client.HeldReceiveLength(), 0);
}

TEST_F(Framing, TwoWholePacketsAndTheStartOfAThird) {
    const Bytes a = Numbered(9, 30, 1), b = Numbered(3, 6, 2), c = Numbered(4, 168, 3);
    Read(Concat({a, b, Bytes(c.begin(), c.begin() + 2)}));
    EXPECT_EQ(PopAll(), (std::vector<Bytes>{a, b}));
    EXPECT_EQ(client.HeldReceiveLength(), 2); // moved to the front of the buffer
    Read(Bytes(c.begin() + 2, c.end()));
    EXPECT_EQ(PopAll(), std::vector<Bytes>{c});
}

TEST_F(Framing, LongHeaderSizeIsBigEndian) {
    Bytes packet = Numbered(9, 256, 5);
    ASSERT_EQ(packet[1], 0x01);
    ASSERT_EQ(packet[2], 0x00);
    Read(Concat({packet, Numbered(2, 3, 0)}));
    const auto packets = PopAll();
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_EQ(packets[0], packet);
    // The largest packet the buffer can hold is accepted.
    const Bytes largest = Numbered(9, 4096, 1);
    Read(Bytes(largest.begin(), largest.begin() + 4000));
    Read(Bytes(largest.begin() + 4000, largest.end()));
    EXPECT_EQ(PopAll(), std::vector<Bytes>{largest});
}

TEST_F(Framing, UnknownHeaderByteDiscardsEverythingHeld) {
    const Bytes good = Numbered(2, 5, 0);
    Read(Concat({Bytes{0x55, 0x06, 0x02}, good})); // the good packet is lost with it
    EXPECT_TRUE(PopAll().empty());
    EXPECT_EQ(client.HeldReceiveLength(), 0);
    // A whole packet behind a good one goes the same way.
    Read(Concat({good, Bytes{0x00, 0x01, 0x02, 0x03}}));
    EXPECT_EQ(PopAll(), std::vector<Bytes>{good});
    EXPECT_EQ(client.HeldReceiveLength(), 0);
    // The next read that starts at a boundary is framed again.
    Read(good);
    EXPECT_EQ(PopAll(), std::vector<Bytes>{good});
}

TEST_F(Framing, ElevenPacketsInOneReadQueueTenAndLoseTheLast) {
    Bytes all;
    std::vector<Bytes> sent;
    for (int i = 0; i < 11; ++i) {
        sent.push_back(
            Numbered(static_cast<std::uint8_t>(20 + i), 8, static_cast<std::uint8_t>(i)));
        all.insert(all.end(), sent.back().begin(), sent.back().end());
    }
    Read(all);
    sent.pop_back();
    EXPECT_EQ(PopAll(), sent);
    EXPECT_EQ(client.PopPacket(), nullptr);
    EXPECT_EQ(client.HeldReceiveLength(), 0);
}

TEST_F(Framing, ImpossibleSizesDropTheHeldBytes) {
    const Bytes cases[] = {
        {0xC2, 0x10, 0x01, 0x09},       // 4097 bytes
        {0xC2, 0xFF, 0xFF, 0x09, 0x00}, // 65535 bytes
        {0xC1, 0x00, 0x02},             // size 0
        {0xC1, 0x01, 0x02},
        {0xC1, 0x02, 0x02},
        {0xC2, 0x00, 0x00, 0x02},
        {0xC2, 0x00, 0x03, 0x02},
    };
    for (const Bytes& bad : cases) {
        const Bytes good = Numbered(2, 5, 0);
        EXPECT_EQ(Read(Concat({good, bad, good})), SocketClient::kReceiveDropped);
        EXPECT_EQ(client.HeldReceiveLength(), 0);
        EXPECT_EQ(PopAll(), std::vector<Bytes>{good}) << "packets before the bad one stay";
    }
    // Header-only packets are whole packets.
    Read(Concat({Bytes{0xC1, 0x03, 0x02}, Bytes{0xC2, 0x00, 0x04, 0x02}}));
    EXPECT_EQ(PopAll().size(), 2u);
}

TEST(SocketClientTexts, ErrorCodeTextIsNotTrustedAsAFormat) {
    EXPECT_EQ(FormatErrorCodeText("No connection (error %d).", 10047),
              "No connection (error 10047).");
    EXPECT_EQ(FormatErrorCodeText("code %05d, 100%%", 42), "code 00042, 100%");
    EXPECT_EQ(FormatErrorCodeText("hex %X", 255), "hex FF");
    // Conversions that would read missing arguments are shown as they stand.
    EXPECT_EQ(FormatErrorCodeText("%s at %n %d then %d", 7), "%s at %n 7 then %d");
    EXPECT_EQ(FormatErrorCodeText("%999999999d", 7), "7");
    EXPECT_EQ(FormatErrorCodeText("trailing %", 7), "trailing %");
}

TEST(SocketClientTexts, ConnectBeforeAnyWindowReturnsText144AndShowsNothing) {
    test::MessageBoxRecorder boxes;
    VeyMsg messages;
    messages.Load(TARNVALE_BIN_DIR "/message.wtf");
    SocketClient client(messages);
    EXPECT_TRUE(client.Startup());
    const StepResult connected = client.Connect("127.0.0.1", 1, kWmSocketNotify);
    EXPECT_TRUE(boxes.Boxes().empty()) << "the caller shows the box";
    ASSERT_TRUE(connected.Failed());
    ASSERT_TRUE(connected.Box());
    EXPECT_EQ(connected.Box()->caption, "Error");
    EXPECT_EQ(connected.Box()->text, "A connection was requested before the window was ready.");
    EXPECT_EQ(connected.Box()->type, 0u);
    EXPECT_EQ(connected.Box()->codePage, platform::TextCodePage::kGame);
    EXPECT_FALSE(client.Send("abc", 3)) << "no socket: nothing can be sent";
}

} // namespace
} // namespace tarnvale
