#include "app/CUpdateApp.h"

#include "app/CommandLine.h"
#include "msg/MessageIds.h"
#include "state/MessageBoxes.h"
#include "update/PartialDownload.h"
#include "update/PatchList.h"
#include "update/SelfUpdate.h"
#include "update/StagingLeftovers.h"

#include <cstring>

namespace tarnvale {

CUpdateApp::CUpdateApp(LauncherState& state, LauncherFrontEnd& frontEnd, const char* mutexName)
    : m_state(state), m_frontEnd(frontEnd), m_mutexName(mutexName) {
    m_state.connectHost[0] = '\0';
    m_state.launchMode = kLaunchNormal;
    m_state.connectPort = 0;
}

bool CUpdateApp::InitInstance(const char* commandLine, const char* messageFile) {
    // The mutex stays held until the process ends, also when this call returns.
    const bool alreadyRunning = m_mutex.Create(m_mutexName);
    m_mutex.KeepForProcessLifetime();

    // Files that the last update left waiting go in place before any is used,
    // and what a stopped launcher left half-written goes; not while another
    // launcher runs and has them open.
    if (!alreadyRunning) {
        CompleteSelfUpdate();
        SweepStagingLeftovers(".");
        // Downloads kept for resuming live in the staging folder only.
        SweepOldPartials(std::string(".\\") + kStagingFolder);
    }

    // Loaded before the single-instance test so that its text can be shown.
    for (const MessageBoxRequest& box : m_state.messages.Load(messageFile).boxes)
        ShowMessageBox(box);
    if (alreadyRunning) {
        ShowErrorBox(m_state, msgid::kAlreadyRunning);
        return false;
    }

    ApplyCommandLine(commandLine, m_state);
    std::strncpy(m_state.connectHost, settings::kDefaultConnectHost,
                 sizeof m_state.connectHost - 1);
    m_state.connectPort = settings::kDefaultConnectPort;

    m_frontEnd.RunWindow(m_state);
    return false;
}

} // namespace tarnvale
