#pragma once

#include "net/UpdateRoads.h"
#include "state/LauncherState.h"
#include "state/LauncherWindow.h"
#include "update/UpdateState.h"

#include <cstdint>

namespace tarnvale {

// The update road the launcher asks the connect server for in its version report.
// The launcher window sets HTTP when it is built and never changes it.
enum class TransferMode : std::uint32_t { Ftp = 0, Http = 1 };

// Takes the connect server's packets from the socket client's queue and acts on
// them: the Welcome is answered with the partition-list request and the version
// report, the partition list replaces LauncherState's, and the answer to the
// report either finishes (up to date) or starts one of the update roads. Runs on
// the window thread, inside the socket-notice handler.
class ConnectServerDispatcher {
  public:
    ConnectServerDispatcher(LauncherState& state, LauncherWindow& window, UpdateState& update,
                            UpdateRoads& roads, TransferMode mode = TransferMode::Http);

    // The window's WM_SOCKET_NOTIFY handler: a read notice receives and then drains
    // the queue, a write notice sends parked bytes; notices carrying an error do
    // nothing. Returns the handler's result (0 for an error notice of read or
    // write, 1 otherwise).
    int OnSocketNotify(std::uintptr_t wParam, std::intptr_t lParam);

    // Takes packets until the queue is empty and handles each by its type.
    void DrainQueue();

    // One received packet of `length` bytes. A packet shorter than its type needs
    // is ignored rather than read past its end.
    void HandlePacket(const std::uint8_t* packet, int length);

  private:
    void OnWelcome(const std::uint8_t* packet);
    void OnUpdateInfo(std::uint8_t type, const std::uint8_t* packet);
    void OnPartitionList(const std::uint8_t* packet);
    void ShowUpdateFailed();

    LauncherState& m_state;
    LauncherWindow& m_window;
    UpdateState& m_update;
    UpdateRoads& m_roads;
    TransferMode m_mode;
};

} // namespace tarnvale
