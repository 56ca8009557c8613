#pragma once

#include "launch/GameStart.h"
#include "net/ConnectServerDispatcher.h"
#include "net/ConnectWorker.h"
#include "net/UpdateRoads.h"
#include "platform/MessageQueue.h"
#include "state/LauncherState.h"
#include "state/LauncherWindow.h"
#include "update/UpdateEngine.h"
#include "update/UpdateState.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace tarnvale {

// What only the front end can do: the pieces of the window that the update
// engine and the game start call back into. An empty function is skipped.
struct FrontEndHooks {
    // The front end's part of the game start, handed on as it is: the click
    // sound, the options dialog, hiding the Connect button, the quit request and
    // closing the window (both on the window thread), and the start of the game
    // client and the end of the process (the system's unless a front end that
    // must report a failed start replaces them). The session fills in the parts
    // that are its own (the game folder's checks, the connections, the boxes).
    GameStartHooks game;
    // Asks the window to close (WM_CLOSE). Called from the window thread and from
    // the HTTP worker; it must not wait for the window thread.
    std::function<void()> requestWindowClose;
    // Whether Start places the launcher's shortcut on the desktop, as the window
    // does at every start. The headless launcher, a tool run from a terminal,
    // leaves the desktop alone.
    bool placeDesktopShortcut = false;
};

// Everything that runs behind the launcher window, whichever front end shows it:
// the update engine and its two roads, the connect-server dispatcher, the connect
// worker and the game start. A front end builds one session over its view and
// adds only its main loop.
class LauncherSession {
  public:
    // Reads the local client version, as the window does when it is built; the
    // command line must already be in `state`.
    LauncherSession(LauncherState& state, LauncherWindow& window, UpdateState& update,
                    FrontEndHooks hooks);
    // Asks the connect worker to stop and waits for it, then for the HTTP worker.
    ~LauncherSession();
    LauncherSession(const LauncherSession&) = delete;
    LauncherSession& operator=(const LauncherSession&) = delete;

    // The start of the window's life, once it can receive socket notices at
    // `notifyWindow`: the socket library, the leftover "<launcher>.tmp", the
    // "Temp" folder, the connect worker with `connectPending` set, and the
    // desktop shortcut when the front end asks for it.
    void Start(platform::NotifyWindow notifyWindow);

    // The window's WM_SOCKET_NOTIFY handler.
    int OnSocketNotify(std::uintptr_t wParam, std::intptr_t lParam);
    // The Connect command: starts the game client when ready (ending the
    // process), otherwise asks for a connection.
    void OnConnect();
    // The Close command, after its click sound. With no update running it closes
    // both connections and returns true: the front end then ends its main loop.
    // During an update it asks the transfer to stop after its current chunk,
    // closes both connections, goes back to the connecting state and returns
    // false; the launcher stays open, and the next Close ends it.
    bool OnCloseCommand();

    // Asks the connect worker to stop and waits at most `timeoutMs` for it. A
    // worker still blocked in a connection attempt then no longer touches the
    // window and is left to end with the process. True when no worker runs any
    // more.
    bool StopConnectWorker(int timeoutMs);

    // The folder the launcher started in: the game folder.
    const std::string& GameFolder() const { return m_gameFolder; }
    UpdateEngine& Engine() { return *m_engine; }
    ConnectWorker& Worker() { return *m_worker; }
    const GameStartHooks& GameHooks() const { return m_gameHooks; }

  private:
    class EngineRoads;

    LauncherState& m_state;
    LauncherWindow& m_window;
    UpdateState& m_update;
    FrontEndHooks m_hooks;
    std::string m_gameFolder;
    GameStartHooks m_gameHooks;
    std::unique_ptr<UpdateEngine> m_engine;
    std::unique_ptr<EngineRoads> m_roads;
    std::unique_ptr<ConnectServerDispatcher> m_dispatcher;
    std::unique_ptr<ConnectWorker> m_worker;
};

} // namespace tarnvale
