// Feeds arbitrary reads through the socket client's framing and the connect-server
// dispatcher. The input is a series of reads, each a length byte followed by that
// many bytes (the last read takes what is left).
#include "net/ConnectServerDispatcher.h"
#include "net/ConnectServerProtocol.h"
#include "platform/MessageBox.h"
#include "state/LauncherState.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

using namespace tarnvale;

void Check(bool condition) {
    if (!condition)
        __builtin_trap();
}

class QuietWindow : public LauncherWindow {
  public:
    void SetStatusText(const char* text) override { Check(std::strlen(text) < 4096); }
    void SetTitleText(const char*) override {}
    void RefreshProgress() override {}
    void FinishUpdate() override { readyToPlay = true; }
    void ResetToConnect() override {}
    void ShowProgressView() override {}
    void ShowPartitionView() override {}
    void ShowConnectButton() override {}
    bool PumpMessage() override { return false; }
};

// Every text handed to a road must be terminated within its field's width.
class CheckingRoads : public UpdateRoads {
  public:
    bool StartFtpUpdate(const char* a, std::uint16_t, const char* n, const char* p,
                        const char* v) override {
        CheckTexts(a, n, p, v);
        return (a[0] & 1) != 0;
    }
    void StoreHttpServer(const char* a, std::uint16_t, const char* n, const char* p,
                         const char* v) override {
        CheckTexts(a, n, p, v);
    }
    bool StartHttpUpdate() override { return true; }

  private:
    static void CheckTexts(const char* a, const char* n, const char* p, const char* v) {
        Check(std::strlen(a) < 100 && std::strlen(n) < 20 && std::strlen(p) < 20 &&
              std::strlen(v) < 20);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool quiet = [] {
        platform::SetMessageBoxHook(
            [](const char*, const char*, unsigned, platform::TextCodePage) { return 1; });
        return true;
    }();
    (void)quiet;
    // One record for all inputs, brought back to the same state before each, so
    // that no input depends on the one before: zeros complete any packet still held
    // and then discard everything (a second round takes a zero left over from the
    // first), and the queue is emptied.
    static LauncherState state;
    static const std::uint8_t zeros[SocketClient::kBufferSize] = {};
    for (int i = 0; i < 3 && state.socketClient.HeldReceiveLength() != 0; ++i)
        state.socketClient.ReceiveBytes(zeros, sizeof zeros);
    while (state.socketClient.PopPacket() != nullptr) {
    }
    Check(state.socketClient.HeldReceiveLength() == 0);
    std::memset(state.partitions, 0, sizeof state.partitions);
    state.launchMode = kLaunchOverride;

    QuietWindow window;
    UpdateState update;
    CheckingRoads roads;
    ConnectServerDispatcher dispatcher(state, window, update, roads);

    std::size_t at = 0;
    while (at < size) {
        std::size_t count = data[at++];
        if (count > size - at || at + count == size - 1)
            count = size - at;
        state.socketClient.ReceiveBytes(data + at, static_cast<int>(count));
        at += count;
        const int held = state.socketClient.HeldReceiveLength();
        Check(held >= 0 && held < SocketClient::kBufferSize);

        int length = 0;
        while (const std::uint8_t* packet = state.socketClient.PopPacket(&length)) {
            Check(length >= proto::HeaderLength(packet) && length <= SocketClient::kBufferSize);
            Check(proto::DeclaredSize(packet) == length);
            dispatcher.HandlePacket(packet, length);
        }
        for (const PartitionEntry& entry : state.partitions)
            Check(std::strlen(entry.name) < 32 && std::strlen(entry.address) < 16);
    }
    return 0;
}
