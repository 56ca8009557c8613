#pragma once

#include "platform/InstanceMutex.h"
#include "state/LauncherState.h"
#include "tarnvale/settings.h"

namespace tarnvale {

// Runs the launcher's window. The Windows program shows the skinned dialog; the
// headless launcher runs its console view. Both start through CUpdateApp.
class LauncherFrontEnd {
  public:
    virtual ~LauncherFrontEnd() = default;
    virtual void RunWindow(LauncherState& state) = 0;
};

// The application object: single instance, message table, command line, then
// the window, in that order.
class CUpdateApp {
  public:
    // `mutexName` is the launcher's name; tests pass their own.
    CUpdateApp(LauncherState& state, LauncherFrontEnd& frontEnd,
               const char* mutexName = settings::kLauncherName);

    // The start: the single-instance mutex, the message table, the command line,
    // then the window, run to its end. Returns false, as the framework's start
    // hook does when the application has no message loop of its own to run:
    // the process ends once the window has closed.
    bool InitInstance(const char* commandLine, const char* messageFile = "message.wtf");

  private:
    LauncherState& m_state;
    LauncherFrontEnd& m_frontEnd;
    const char* m_mutexName;
    platform::InstanceMutex m_mutex;
};

} // namespace tarnvale
