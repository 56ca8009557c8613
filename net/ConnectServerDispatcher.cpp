#include "net/ConnectServerDispatcher.h"

#include "msg/MessageIds.h"
#include "net/ConnectServerProtocol.h"
#include "platform/Sockets.h"

#include <cstring>

namespace tarnvale {
namespace {

// Copies one scrambled text field of the packet into `out` and descrambles it over
// its whole width. The last byte is forced to zero: a field that fills its width
// has no terminator of its own, and every user of these texts reads up to one.
template <std::size_t N>
void TakeTextField(const std::uint8_t* packet, int offset, char (&out)[N]) {
    std::memcpy(out, packet + offset, N);
    proto::XorFieldKey(out, N);
    out[N - 1] = '\0';
}

} // namespace

ConnectServerDispatcher::ConnectServerDispatcher(LauncherState& state, LauncherWindow& window,
                                                 UpdateState& update, UpdateRoads& roads,
                                                 TransferMode mode)
    : m_state(state), m_window(window), m_update(update), m_roads(roads), m_mode(mode) {}

int ConnectServerDispatcher::OnSocketNotify(std::uintptr_t /*wParam*/, std::intptr_t lParam) {
    const unsigned event = platform::NoticeEvent(lParam);
    const bool failed = platform::NoticeError(lParam) != 0;
    if (event == platform::kFdRead) {
        if (failed)
            return 0;
        m_state.socketClient.Receive();
        DrainQueue();
        return 1;
    }
    if (event == platform::kFdWrite) {
        if (failed)
            return 0;
        m_state.socketClient.FlushPending();
        return 1;
    }
    // A closed connection is not reported: the launcher simply hears nothing more.
    return 1;
}

void ConnectServerDispatcher::DrainQueue() {
    int length = 0;
    while (const std::uint8_t* packet = m_state.socketClient.PopPacket(&length))
        HandlePacket(packet, length);
}

void ConnectServerDispatcher::HandlePacket(const std::uint8_t* packet, int length) {
    if (length < 3 || (packet[0] == proto::kLongHeader && length < 4))
        return;
    const int minimum = proto::MinimumLength(packet, length);
    if (minimum == 0 || length < minimum)
        return;
    const std::uint8_t type = proto::PacketType(packet);
    switch (type) {
    case proto::kWelcome:
        OnWelcome(packet);
        break;
    case proto::kUpToDate:
    case proto::kUpToDateWithList:
        // The address list of type 3 changes nothing.
        m_window.FinishUpdate();
        break;
    case proto::kHttpUpdateInfo:
    case proto::kFtpUpdateInfo:
    case proto::kFtpUpdateInfoWithList:
        OnUpdateInfo(type, packet);
        break;
    case proto::kPartitionList:
        OnPartitionList(packet);
        break;
    default:
        break;
    }
}

void ConnectServerDispatcher::OnWelcome(const std::uint8_t* packet) {
    // Byte 3 is read whatever the header kind; after a long header it is the type
    // byte, 0, so a long Welcome never asks for the report.
    if (packet[proto::kWelcomeFlagOffset] != 1)
        return;
    const std::vector<std::uint8_t> request = proto::BuildPartitionListRequest();
    const std::vector<std::uint8_t> report = proto::BuildVersionReport(
        m_mode == TransferMode::Http ? proto::kReportHttp : proto::kReportFtp,
        m_update.localVersion);
    // As the protocol has no replies to these, the results are not looked at: a
    // parked packet goes out with the next write notice.
    m_state.socketClient.Send(request.data(), static_cast<int>(request.size()));
    m_state.socketClient.Send(report.data(), static_cast<int>(report.size()));
}

void ConnectServerDispatcher::OnUpdateInfo(std::uint8_t type, const std::uint8_t* packet) {
    UpdateServerInfo info;
    TakeTextField(packet, proto::kServerAddressOffset, info.serverAddress);
    info.serverPort = static_cast<std::uint16_t>(packet[proto::kServerPortOffset] |
                                                 packet[proto::kServerPortOffset + 1] << 8);
    TakeTextField(packet, proto::kAccountNameOffset, info.accountName);
    TakeTextField(packet, proto::kAccountPasswordOffset, info.accountPassword);
    TakeTextField(packet, proto::kVersionFileNameOffset, info.versionFileName);

    bool started = false;
    if (type == proto::kHttpUpdateInfo) {
        m_roads.StoreHttpServer(info.serverAddress, info.serverPort, info.accountName,
                                info.accountPassword, info.versionFileName);
        started = m_roads.StartHttpUpdate();
    } else {
        // A version given on the command line only sets where the FTP road starts.
        if (m_state.launchMode == kLaunchOverride)
            m_state.launchMode = kLaunchNormal;
        started = m_roads.StartFtpUpdate(info.serverAddress, info.serverPort, info.accountName,
                                         info.accountPassword, info.versionFileName);
    }
    if (!started)
        ShowUpdateFailed();
}

void ConnectServerDispatcher::ShowUpdateFailed() {
    m_window.SetStatusText(m_state.Text(msgid::kUpdateFailed));
    m_window.ShowConnectButton();
}

void ConnectServerDispatcher::OnPartitionList(const std::uint8_t* packet) {
    static_assert(sizeof m_state.partitions == proto::kPartitionListLength - 4);
    std::memcpy(m_state.partitions, packet + proto::kPartitionListOffset,
                sizeof m_state.partitions);
    // Names and addresses are shown and copied as zero-terminated texts; an entry
    // that fills a field to its end gets its last byte as the terminator.
    for (PartitionEntry& entry : m_state.partitions) {
        entry.name[sizeof entry.name - 1] = '\0';
        entry.address[sizeof entry.address - 1] = '\0';
    }
}

} // namespace tarnvale
