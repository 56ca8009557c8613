#include "app/LauncherSession.h"

#include "app/DesktopShortcut.h"
#include "app/WindowTexts.h"
#include "platform/Files.h"
#include "tarnvale/settings.h"
#include "update/Installation.h"
#include "update/PatchList.h"
#include "update/VersionConfig.h"

#include <string>

namespace tarnvale {

// The connect-server protocol starts the roads through this narrow interface.
class LauncherSession::EngineRoads : public UpdateRoads {
  public:
    explicit EngineRoads(UpdateEngine& engine) : m_engine(engine) {}
    bool StartFtpUpdate(const char* address, std::uint16_t port, const char* name,
                        const char* password, const char* versionFile) override {
        return m_engine.StartFtpUpdate(address, port, name, password, versionFile);
    }
    void StoreHttpServer(const char* address, std::uint16_t port, const char* name,
                         const char* password, const char* versionFile) override {
        m_engine.StoreHttpServer(address, port, name, password, versionFile);
    }
    bool StartHttpUpdate() override { return m_engine.StartHttpUpdate() != 0; }

  private:
    UpdateEngine& m_engine;
};

LauncherSession::LauncherSession(LauncherState& state, LauncherWindow& window, UpdateState& update,
                                 FrontEndHooks hooks)
    : m_state(state), m_window(window), m_update(update), m_hooks(std::move(hooks)),
      m_gameFolder(platform::CurrentDirectory()) {
    ReadLocalVersion(m_state, m_update, m_gameFolder);

    m_gameHooks = m_hooks.game;
    m_gameHooks.isConfigPresent = [this] { return IsConfigPresent(m_gameFolder); };
    m_gameHooks.cleanTempFolder = [] { CleanTempFolder(); };
    m_gameHooks.closeSocket = [this] { m_state.socketClient.Close(); };
    m_gameHooks.closeFtpSession = [this] { m_engine->CloseFtpSession(); };
    m_gameHooks.showBox = [this](const MessageBoxRequest& box) { m_window.ShowMessage(box); };

    UpdateEngineHooks engineHooks;
    // The hand-over closes the connections and the window and ends the main loop,
    // all of which belong to the window thread; the HTTP road asks for it from
    // its worker, which ends right after.
    engineHooks.startAfterSelfUpdate = [this] {
        m_window.RunOnWindowThread([this] { StartAfterSelfUpdate(m_state, m_gameHooks); });
    };
    engineHooks.requestWindowClose = m_hooks.requestWindowClose;
    engineHooks.closeConnectServer = [this] { m_state.socketClient.Close(); };
    engineHooks.hideConnectButton = m_hooks.game.hideConnectButton;
    m_engine = std::make_unique<UpdateEngine>(m_state, m_update, m_window, engineHooks);
    m_roads = std::make_unique<EngineRoads>(*m_engine);
    m_dispatcher = std::make_unique<ConnectServerDispatcher>(m_state, m_window, m_update, *m_roads);
}

LauncherSession::~LauncherSession() {
    if (m_worker)
        m_worker->RequestStop();
    m_worker.reset();
    m_engine->JoinHttpWorker();
}

void LauncherSession::Start(platform::NotifyWindow notifyWindow) {
    // Without the socket library the worker's attempts fail and say so; the
    // player is shown why first.
    if (const StepResult started = m_state.socketClient.Startup(); started.Box())
        ShowMessageBox(*started.Box());
    platform::RemoveFile(std::string(settings::kLauncherName) + ".tmp");
    platform::MakeDirectory(kStagingFolder);
    m_window.connectPending = true;
    m_worker = std::make_unique<ConnectWorker>(m_state, m_window, notifyWindow);
    m_worker->Start();
    if (m_hooks.placeDesktopShortcut)
        CreateDesktopShortcut(platform::ModulePath());
}

int LauncherSession::OnSocketNotify(std::uintptr_t wParam, std::intptr_t lParam) {
    return m_dispatcher->OnSocketNotify(wParam, lParam);
}

void LauncherSession::OnConnect() {
    OnConnectButton(m_state, m_window, m_update, m_gameHooks);
}

bool LauncherSession::StopConnectWorker(int timeoutMs) {
    if (!m_worker)
        return true;
    m_worker->RequestStop();
    return m_worker->WaitForEnd(timeoutMs);
}

bool LauncherSession::OnCloseCommand() {
    const bool quit = !m_update.UpdateRunning();
    m_update.RequestStop();
    m_state.socketClient.Close();
    m_engine->CloseFtpSession();
    if (!quit)
        m_window.ResetToConnect();
    return quit;
}

} // namespace tarnvale
