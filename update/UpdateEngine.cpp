#include "update/UpdateEngine.h"

#include "update/PartialDownload.h"
#include "update/PathSafety.h"

#include "msg/MessageIds.h"
#include "platform/Files.h"
#include "state/LauncherState.h"
#include "state/LauncherWindow.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace tarnvale {

namespace {

// Copies a text into a fixed, zero-terminated field, cutting it to fit.
template <std::size_t N> void CopyField(char (&field)[N], const char* text) {
    std::memset(field, 0, N);
    if (text)
        std::strncpy(field, text, N - 1);
}

} // namespace

void HttpProgressReceiver::OnDownloadStart() {
    m_window.fileBar.SetPos(0);
}

bool HttpProgressReceiver::OnDownloadProgress(std::uint64_t done, std::uint64_t total) {
    if (m_ceiling != 0 && (done > m_ceiling || total > m_ceiling)) {
        m_exceeded = true;
        return false;
    }
    const auto range = static_cast<std::uint64_t>(m_window.fileBar.GetRange());
    std::uint64_t position;
    if (total != 0) {
        // Sizes beyond 2^57 bytes would overflow the product; the quotient is
        // taken first for them, which loses nothing that the bar could show.
        position = done <= UINT64_MAX / 100 ? done * 100 / total : done / total * 100;
    } else {
        // A server that sends no length: creep forward one step per report.
        position = static_cast<std::uint64_t>(std::max(m_window.fileBar.GetPos(), 1)) + 1;
    }
    // Narrowed within the range; the bar itself clamps to it as well.
    m_window.fileBar.SetPos(static_cast<int>(std::min(position, range)));
    m_window.ReportTransfer(done, total);
    m_window.RefreshProgress();
    return true;
}

void HttpProgressReceiver::OnDownloadResumed(std::uint64_t from, std::uint64_t total) {
    m_window.ReportResume(from, total);
}

void HttpProgressReceiver::OnNewCopy(const platform::HttpValidator& copy) {
    if (m_partial)
        m_partial->Record(copy);
}

UpdateEngine::UpdateEngine(LauncherState& launcher, UpdateState& update, LauncherWindow& window,
                           UpdateEngineHooks hooks, std::vector<trust::PublicKey> trustedKeys)
    : m_launcher(launcher), m_update(update), m_window(window), m_hooks(std::move(hooks)),
      m_trust(std::move(trustedKeys)) {}

UpdateEngine::~UpdateEngine() {
    JoinHttpWorker();
    CloseFtpSession();
}

void UpdateEngine::ShowStatus(int id) {
    m_window.SetStatusText(m_launcher.Text(id));
}

StepResult UpdateEngine::Fail(int id, std::string detail) {
    ShowStatus(id);
    return StepResult::Failure(id, std::move(detail));
}

StepResult UpdateEngine::Refuse(StepResult result) {
    if (!result)
        ShowStatus(msgid::kUpdateFailed);
    return result;
}

void UpdateEngine::FailRoad(const StepResult& failure) {
    if (failure.Box())
        m_window.ShowMessage(*failure.Box());
    m_window.ReportFailure(failure);
    if (failure.Box() && failure.Box()->closesWindow && m_hooks.requestWindowClose)
        m_hooks.requestWindowClose();
}

void UpdateEngine::Pump() {
    m_window.PumpMessage();
}

void UpdateEngine::HandOver() {
    if (m_hooks.startAfterSelfUpdate)
        m_hooks.startAfterSelfUpdate();
}

std::string UpdateEngine::GameFolder() const {
    return platform::CurrentDirectory();
}

void UpdateEngine::StoreHttpServer(const char* address, std::uint16_t port, const char* name,
                                   const char* password, const char* versionFile) {
    CopyServerFields(address, port, name, password, versionFile);
}

void UpdateEngine::CopyServerFields(const char* address, std::uint16_t port, const char* name,
                                    const char* password, const char* versionFile) {
    CopyField(m_update.server.serverAddress, address);
    m_update.server.serverPort = port;
    CopyField(m_update.server.accountName, name);
    CopyField(m_update.server.accountPassword, password);
    // The name only chooses what is requested from the update server (the local
    // copy has a name of the launcher's own); one that leaves the server root is
    // dropped here, and the road then fails on the empty name.
    CopyField(m_update.server.versionFileName, IsSafeGamePath(versionFile) ? versionFile : "");
}

void UpdateEngine::FinishRoad() {
    m_update.updateDone = true;
    m_update.stopRequested = true;
    m_window.FinishUpdate();
    m_outcome = RoadOutcome::Finished;
}

void UpdateEngine::JoinHttpWorker() {
    if (m_httpWorker.joinable() && m_httpWorker.get_id() != std::this_thread::get_id())
        m_httpWorker.join();
}

} // namespace tarnvale
