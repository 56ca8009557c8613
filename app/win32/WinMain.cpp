// Entry of the Windows launcher: the application object does all the work.
#include "app/CUpdateApp.h"
#include "app/win32/CUpdateDlg.h"
#include "platform/CommandLine.h"

#include <windows.h>

namespace {
tarnvale::LauncherState g_state; // the one process-wide record
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    tarnvale::WindowFrontEnd frontEnd;
    tarnvale::CUpdateApp app(g_state, frontEnd);
    app.InitInstance(tarnvale::platform::CommandLineTail().c_str());
    return 0;
}
