#pragma once

#include "app/CUpdateApp.h"
#include "app/LauncherSession.h"
#include "app/WindowLayout.h"
#include "state/LauncherState.h"
#include "state/LauncherWindow.h"
#include "state/WindowMail.h"
#include "ui/win32/CBitmapButton.h"
#include "ui/win32/CDialogSK.h"
#include "ui/win32/CProgressBar.h"
#include "ui/win32/CTextBitmapButton.h"
#include "ui/win32/CWebBrowser2.h"
#include "ui/win32/OleMessageFilter.h"
#include "update/UpdateState.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace tarnvale {

// The launcher window: a skinned, borderless dialog from template 102 with the
// notice page, two bitmap bars, a status line, a title line, the command buttons
// and ten partition buttons, in two views (progress and partition). It is the
// core's LauncherWindow: the protocol and the update roads drive it through those
// operations, and the session behind it does the work.
//
// Threads: the window's own thread runs every handler, the protocol and the FTP
// road, and is the only one that touches a widget. The connect worker and the
// HTTP worker call the window operations from theirs; those calls leave their
// work in the window's mail and return at once, and the window thread carries it
// out when the mail's one notification arrives. No thread ever waits for the
// window thread, so nothing needs to be answered while it waits for a worker.
class CUpdateDlg final : public ui::CDialogSK, public LauncherWindow {
  public:
    // Reads the local client version and remembers the game folder.
    explicit CUpdateDlg(LauncherState& state);
    ~CUpdateDlg() override;

    // The window has closed (the modal run is over): what the workers still hand
    // over is dropped, and the connect worker is let go without waiting. Returns
    // true when an HTTP worker is still at work; it then ends with the process,
    // as the road does not stop for the Close button.
    bool LeaveWorkers();

    // LauncherWindow
    void SetStatusText(const char* text) override;
    void SetTitleText(const char* text) override;
    void RefreshProgress() override;
    void FinishUpdate() override;
    void ResetToConnect() override;
    void ShowProgressView() override;
    void ShowPartitionView() override;
    void ShowConnectButton() override;
    bool PumpMessage() override;
    void RunOnWindowThread(std::function<void()> task) override;

    // What the window shows, for tests and tools that look at it.
    const std::string& StatusText() const { return m_statusText; }
    const std::string& TitleText() const { return m_titleText; }

    UpdateState update; // the update engine's record, owned by the window

  protected:
    BOOL OnInitDialog() override;
    bool PreTranslateMessage(MSG& message) override;
    bool OnCommand(WORD id, WORD notifyCode, HWND control) override;
    void OnOK() override;
    void OnCancel() override;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    FrontEndHooks MakeHooks();
    // The mail's notification: what the workers left is carried out, at most
    // once every kMailIntervalMs; a notification that comes sooner leaves it to a
    // timer, whose message ranks below the player's input and the painting.
    void OnMail();
    void DeliverMail();

    void CreateControls();
    void Paint();
    void InvalidateBand(const RECT& band);
    void ShowCommandButtons(bool show);
    // Shows and enables, or hides and disables, the Connect button.
    void ShowConnect(bool shown);
    void OnClose();
    void OnCloseCommand();
    void OnOption();
    void OnCloseBig();
    void OnLink(int command);
    void OnPartition(int command);
    void OnWindowModeToggle();

    LauncherState& m_state;
    std::atomic<HWND> m_window{nullptr}; // the handle as other threads may read it
    WindowMail m_mail;         // the workers' way to the window thread
    DWORD m_lastDelivery = 0;  // tick of the last delivery of the mail
    bool m_paintAtOnce = true; // off while the mail is delivered: one paint follows
    bool m_quitSeen = false;   // a pump took the quit request and posted it again
    bool m_oleInitialized = false;
    OleMessageFilter m_messageFilter;
    HICON m_icon = nullptr;
    std::uint32_t m_windowMode = 0;

    CWebBrowser2 m_browser;
    std::string m_statusText;
    std::string m_titleText;
    std::string m_totalPercentText;
    std::string m_filePercentText;
    ui::CBitmapButton m_buttons[layout::kButtonCount]; // in the order of layout::kButtons
    ui::CTextBitmapButton m_partitionButtons[kPartitionCount];
    ui::CProgressBar m_totalBarView;
    ui::CProgressBar m_fileBarView;

    LauncherSession m_session; // last: it reads the members above when it starts
};

// The Windows front end: runs the launcher window modally.
class WindowFrontEnd : public LauncherFrontEnd {
  public:
    void RunWindow(LauncherState& state) override;
};

} // namespace tarnvale
