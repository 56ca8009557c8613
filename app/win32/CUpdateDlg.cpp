#include "app/win32/CUpdateDlg.h"

#include "app/WindowSteps.h"
#include "app/WindowTexts.h"
#include "options/ConfigKey.h"
#include "options/WindowModeValue.h"
#include "options/win32/COptionDlg.h"
#include "platform/MessageBox.h"
#include "platform/ProgramStart.h"
#include "res/ResourceIds.h"
#include "tarnvale/settings.h"

#include <mmsystem.h>
#include <shellapi.h>
#include <wininet.h>

#include <cstring>
#include <memory>

namespace tarnvale {
namespace {

static_assert(kWmWindowMail == WM_APP + 1, "the mail's notification is a message of the window");
// The mail's delivery is spread out to at most one every this many milliseconds,
// by this timer.
constexpr DWORD kMailIntervalMs = 15;
constexpr UINT_PTR kMailTimer = 1;

constexpr COLORREF kBlack = RGB(0, 0, 0);
// A server that cannot be chosen: its name faded to the skin's dark gold on the
// flat, sunken plate of its disabled bitmap, so that it reads as closed at a
// glance beside the black names of the open ones.
constexpr COLORREF kClosedCaption = RGB(0x7d, 0x5a, 0x22);
constexpr COLORREF kSeeThrough = RGB(0, 255, 0);
constexpr COLORREF kPercentColour = RGB(220, 32, 128);
constexpr char kTextFace[] = "\xcb\xce\xcc\xe5"; // 宋体 in code page 936

RECT ToRect(const layout::Box& box) {
    return {box.left, box.top, box.right, box.bottom};
}

void PlayClickSound() {
    // A missing file plays nothing, or the system's own sound; neither is reported.
    ::sndPlaySoundA("data\\sound\\beep.wav", SND_ASYNC);
}

int ButtonIndex(int id) {
    for (int i = 0; i < layout::kButtonCount; ++i) {
        if (layout::kButtons[i].id == id)
            return i;
    }
    return -1;
}

void SetInternetOption(DWORD option, DWORD value) {
    ::InternetSetOptionA(nullptr, option, &value, sizeof value);
}

} // namespace

CUpdateDlg::CUpdateDlg(LauncherState& state)
    : CDialogSK(IDD_UPDATE_DIALOG), m_state(state),
      m_icon(static_cast<HICON>(::LoadImageA(::GetModuleHandleA(nullptr),
                                             MAKEINTRESOURCEA(IDI_LAUNCHER), IMAGE_ICON, 0, 0,
                                             LR_DEFAULTSIZE | LR_SHARED))),
      m_session(state, *this, update, MakeHooks()) {}

CUpdateDlg::~CUpdateDlg() {
    LeaveWorkers();
    m_messageFilter.Revoke();
    if (m_oleInitialized)
        ::OleUninitialize();
}

FrontEndHooks CUpdateDlg::MakeHooks() {
    FrontEndHooks hooks;
    // Posted: the HTTP worker asks too, and never waits for the window.
    hooks.requestWindowClose = [this] {
        if (HWND window = m_window.load())
            ::PostMessageA(window, WM_CLOSE, 0, 0);
    };
    // The rest run on the window thread only.
    GameStartHooks& game = hooks.game;
    game.closeWindow = [this] {
        HWND window = m_window.load();
        return window ? static_cast<std::intptr_t>(::SendMessageA(window, WM_CLOSE, 0, 0))
                      : std::intptr_t{0};
    };
    game.runOptionsDialog = [this] { options::RunOptionsDialog(m_state.messages); };
    game.hideConnectButton = [this] {
        m_mail.Run(WindowMail::kInOrder, [this] { ShowConnect(false); });
    };
    game.playClickSound = PlayClickSound;
    game.postQuitMessage = [] { ::PostQuitMessage(0); };
    hooks.placeDesktopShortcut = true;
    return hooks;
}

bool CUpdateDlg::LeaveWorkers() {
    m_mail.Close();
    m_session.StopConnectWorker(0);
    return m_session.Engine().IsHttpWorkerRunning();
}

void CUpdateDlg::OnMail() {
    if (::GetTickCount() - m_lastDelivery < kMailIntervalMs) {
        ::SetTimer(Handle(), kMailTimer, kMailIntervalMs, nullptr);
        return;
    }
    DeliverMail();
}

void CUpdateDlg::DeliverMail() {
    m_lastDelivery = ::GetTickCount();
    m_paintAtOnce = false;
    m_mail.Deliver();
    m_paintAtOnce = true;
}

void CUpdateDlg::RunOnWindowThread(std::function<void()> task) {
    m_mail.Run(WindowMail::kInOrder, std::move(task));
}

BOOL CUpdateDlg::OnInitDialog() {
    m_window = Handle();
    m_mail.Open([window = Handle()] { ::PostMessageA(window, kWmWindowMail, 0, 0); });

    // A launcher of an older start that is still open makes way for this one. This
    // window has no title yet, so it never finds itself.
    if (HWND older = ::FindWindowA("#32770", settings::kLauncherName))
        ::SendMessageA(older, WM_CLOSE, 0, 0);

    CDialogSK::OnInitDialog();

    // Calls into other apartments (the notice page reaches out to COM servers)
    // must never bring up the system's "server busy" box on this thread.
    m_oleInitialized = SUCCEEDED(::OleInitialize(nullptr));
    if (m_oleInitialized)
        m_messageFilter.Register();

    ::SendMessageA(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_icon));
    ::SendMessageA(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_icon));

    SetBackgroundBitmap(WORD{IDB_SKIN_PARTITIONS});
    SetBackgroundLayout(ui::BackgroundLayout::FitWindow);
    SetTransparentColor(kSeeThrough, TRUE);

    ::SetWindowTextA(Handle(), settings::kLauncherName);
    CenterOnScreen();
    platform::SetMainWindow(Handle());

    CreateControls();
    m_windowMode = options::PrepareWindowModeValue();
    m_session.Start(Handle());
    return TRUE;
}

void CUpdateDlg::CreateControls() {
    // These also govern the notice page.
    SetInternetOption(INTERNET_OPTION_MAX_CONNS_PER_SERVER, 8);
    SetInternetOption(INTERNET_OPTION_MAX_CONNS_PER_1_0_SERVER, 8);
    ::InternetSetOptionA(nullptr, INTERNET_OPTION_SETTINGS_CHANGED, nullptr, 0);
    ::InternetSetOptionA(nullptr, INTERNET_OPTION_REFRESH, nullptr, 0);

    for (int i = 0; i < layout::kButtonCount; ++i) {
        const layout::ButtonSpec& button = layout::kButtons[i];
        const RECT rect{button.origin.x, button.origin.y, button.origin.x + button.width,
                        button.origin.y + button.height};
        m_buttons[i].Create(button.text, WS_CHILD | WS_VISIBLE, rect, Handle(), button.id);
        m_buttons[i].LoadBitmaps(
            static_cast<UINT>(button.normal), static_cast<UINT>(button.pressed),
            static_cast<UINT>(button.focused), static_cast<UINT>(button.disabled));
        m_buttons[i].SizeToContent();
    }
    ::EnableWindow(m_buttons[ButtonIndex(layout::kCmdConnect)].Handle(), FALSE);
    ShowCommandButtons(false);

    m_totalBarView.Initialize(IDB_PROGRESS_BAR, layout::kTotalBarOrigin.x,
                              layout::kTotalBarOrigin.y, Handle());
    m_fileBarView.Initialize(IDB_PROGRESS_BAR, layout::kFileBarOrigin.x, layout::kFileBarOrigin.y,
                             Handle());

    for (int i = 0; i < kPartitionCount; ++i) {
        const layout::Point origin = layout::PartitionButtonOrigin(i);
        const RECT rect{origin.x, origin.y, origin.x + layout::kPartitionWidth,
                        origin.y + layout::kPartitionHeight};
        m_partitionButtons[i].Create(layout::PartitionButtonName(i).c_str(), WS_CHILD | WS_VISIBLE,
                                     rect, Handle(), layout::kCmdFirstPartition + i);
        m_partitionButtons[i].LoadBitmaps(IDB_PARTITION_NORMAL, IDB_PARTITION_PRESSED,
                                          IDB_PARTITION_NORMAL, IDB_PARTITION_PRESSED);
        m_partitionButtons[i].SizeToContent();
    }
    ShowCommandButtons(false);

    const RECT browser = ToRect(layout::kBrowserInPartitionView);
    m_browser.Create(nullptr, WS_VISIBLE, browser, Handle(), IDC_BROWSER);
    m_browser.Navigate(settings::kNoticeUrl);
    m_browser.MoveWindow(browser.left, browser.top, browser.right - browser.left,
                         browser.bottom - browser.top, TRUE);

    ShowProgressView();
}

void CUpdateDlg::ShowCommandButtons(bool show) {
    for (int id : {layout::kCmdOption, layout::kCmdConnect, layout::kCmdCloseBig}) {
        HWND button = m_buttons[ButtonIndex(id)].Handle();
        ::ShowWindow(button, show ? SW_SHOW : SW_HIDE);
        if (show)
            ::EnableWindow(button, TRUE);
    }
}

void CUpdateDlg::ShowConnect(bool shown) {
    HWND connect = m_buttons[ButtonIndex(layout::kCmdConnect)].Handle();
    ::ShowWindow(connect, shown ? SW_SHOW : SW_HIDE);
    ::EnableWindow(connect, shown);
}

void CUpdateDlg::InvalidateBand(const RECT& band) {
    ::InvalidateRect(Handle(), &band, TRUE);
    if (m_paintAtOnce)
        ::UpdateWindow(Handle());
}

void CUpdateDlg::SetStatusText(const char* text) {
    m_mail.Run(WindowMail::kStatusLine, [this, line = std::string(text ? text : "")] {
        m_statusText = line;
        InvalidateBand(ToRect(layout::kStatusBand));
    });
}

void CUpdateDlg::SetTitleText(const char* text) {
    m_mail.Run(WindowMail::kTitleLine, [this, line = std::string(text ? text : "")] {
        m_titleText = line;
        InvalidateBand(ToRect(layout::kTitleBand));
    });
}

void CUpdateDlg::RefreshProgress() {
    // The bars' positions are read when the refresh is carried out: a refresh
    // that waits shows the latest ones.
    m_mail.Run(WindowMail::kProgress, [this] {
        const bool progressView = m_state.progressView != 0;
        m_totalBarView.SetRange(totalBar.GetRange());
        m_totalBarView.SetPos(totalBar.GetPos());
        m_fileBarView.SetRange(fileBar.GetRange());
        m_fileBarView.SetPos(fileBar.GetPos());
        m_totalPercentText = PercentText(totalBar.GetPos(), totalBar.GetRange(), progressView);
        m_filePercentText = PercentText(fileBar.GetPos(), fileBar.GetRange(), progressView);
        InvalidateBand(ToRect(layout::kPercentBand));
    });
}

void CUpdateDlg::FinishUpdate() {
    m_mail.Run(WindowMail::kInOrder, [this] { FinishUpdateSteps(*this, m_state, update); });
}

void CUpdateDlg::ResetToConnect() {
    m_mail.Run(WindowMail::kInOrder, [this] {
        ResetToConnectSteps(*this, m_state);
        ShowConnect(false);
    });
}

void CUpdateDlg::ShowConnectButton() {
    m_mail.Run(WindowMail::kInOrder, [this] { ShowConnect(true); });
}

void CUpdateDlg::ShowProgressView() {
    m_mail.Run(WindowMail::kInOrder, [this] {
        SetBackgroundBitmap(WORD{IDB_SKIN_PROGRESS});
        m_state.progressView = 1;
        for (int i = 0; i < layout::kButtonCount; ++i) {
            if (layout::kButtons[i].partitionView)
                ::ShowWindow(m_buttons[i].Handle(), SW_HIDE);
        }
        const RECT browser = ToRect(layout::kBrowserInProgressView);
        m_browser.MoveWindow(browser.left, browser.top, browser.right - browser.left,
                             browser.bottom - browser.top, TRUE);
        for (ui::CTextBitmapButton& button : m_partitionButtons)
            ::ShowWindow(button.Handle(), SW_HIDE);
        SetTitleText(ProgressTitle(m_state).c_str());
        ::UpdateWindow(Handle());
    });
}

void CUpdateDlg::ShowPartitionView() {
    m_mail.Run(WindowMail::kInOrder, [this] {
        SetBackgroundBitmap(WORD{IDB_SKIN_PARTITIONS});
        m_state.progressView = 0;
        for (int i = 0; i < layout::kButtonCount; ++i) {
            if (layout::kButtons[i].partitionView)
                ::ShowWindow(m_buttons[i].Handle(), SW_SHOW);
        }
        const RECT browser = ToRect(layout::kBrowserInPartitionView);
        m_browser.MoveWindow(browser.left, browser.top, browser.right - browser.left,
                             browser.bottom - browser.top, TRUE);
        for (int id : {layout::kCmdOption, layout::kCmdConnect, layout::kCmdCloseBig})
            ::ShowWindow(m_buttons[ButtonIndex(id)].Handle(), SW_HIDE);
        for (int i = 0; i < kPartitionCount; ++i) {
            const PartitionEntry& entry = m_state.partitions[i];
            // The button's caption holds at most 31 characters and its terminator.
            const std::string caption = FieldText(entry.name).substr(0, sizeof entry.name - 1);
            ui::CTextBitmapButton& button = m_partitionButtons[i];
            button.SetCaption(caption.c_str());
            button.SetFontSize(layout::kTextFontWidth, layout::kTextFontHeight);
            button.SetCaptionColor(entry.port != 0 ? kBlack : kClosedCaption);
            ::EnableWindow(button.Handle(), entry.port != 0);
            ::ShowWindow(button.Handle(), SW_SHOW);
            // A caption change shows at the next repaint; a button already visible
            // and enabled is not repainted by the calls above.
            ::InvalidateRect(button.Handle(), nullptr, FALSE);
        }
        ::UpdateWindow(Handle());
    });
}

bool CUpdateDlg::PumpMessage() {
    if (!m_mail.OnWindowThread() || m_quitSeen)
        return false;
    MSG message;
    if (!::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        return false;
    if (message.message == WM_QUIT) {
        // The modal loop must still see it once the step that pumps has ended.
        m_quitSeen = true;
        ::PostQuitMessage(static_cast<int>(message.wParam));
        return false;
    }
    if (!RouteMessage(message)) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
    return true;
}

bool CUpdateDlg::PreTranslateMessage(MSG& message) {
    // Escape never closes the launcher.
    if (message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE)
        return true;
    return m_browser.PreTranslateMessage(&message) != FALSE;
}

void CUpdateDlg::OnOK() {
    // Enter would end the dialog without its closing steps: the launcher has no
    // default button, so Enter does nothing.
}

void CUpdateDlg::OnCancel() {
    OnClose();
}

bool CUpdateDlg::OnCommand(WORD id, WORD notifyCode, HWND control) {
    switch (id) {
    case layout::kCmdClose:
    case layout::kCmdCloseLink:
        OnCloseCommand();
        return true;
    case layout::kCmdConnect:
        m_session.OnConnect();
        return true;
    case layout::kCmdOption:
        OnOption();
        return true;
    case layout::kCmdCloseBig:
        OnCloseBig();
        return true;
    case layout::kCmdWindowMode:
        OnWindowModeToggle();
        return true;
    case layout::kCmdLink1:
    case layout::kCmdLink2:
    case layout::kCmdLink3:
    case layout::kCmdLink4:
        OnLink(id);
        return true;
    default:
        if (layout::PartitionOfCommand(id) >= 0) {
            OnPartition(id);
            return true;
        }
        return CDialogSK::OnCommand(id, notifyCode, control);
    }
}

void CUpdateDlg::OnCloseCommand() {
    PlayClickSound();
    if (m_session.OnCloseCommand()) {
        // The modal run ends without WM_CLOSE: the connect worker is not waited for.
        m_mail.Close();
        ::PostQuitMessage(0);
    }
    ::Sleep(100);
}

void CUpdateDlg::OnOption() {
    // The dialog plays the click sound itself, once it is made.
    options::RunOptionsDialog(m_state.messages);
}

void CUpdateDlg::OnCloseBig() {
    PlayClickSound();
    ShowPartitionView();
}

void CUpdateDlg::OnLink(int command) {
    PlayClickSound();
    const char* target = m_state.Text(LinkTextId(command));
    if (target && *target)
        ::ShellExecuteA(nullptr, "open", target, nullptr, nullptr, SW_SHOWNORMAL);
}

void CUpdateDlg::OnPartition(int command) {
    const int index = layout::PartitionOfCommand(command);
    m_state.selectedPartition = static_cast<std::uint32_t>(index);
    if (m_state.partitions[index].port == 0)
        return;
    PlayClickSound();
    ShowProgressView();
    ShowCommandButtons(true);
}

void CUpdateDlg::OnWindowModeToggle() {
    PlayClickSound();
    m_windowMode = m_windowMode ? 0 : 1;
    if (!options::StoreWindowMode(m_windowMode)) {
        options::ShowConfigKeyError(m_state.messages, true);
        EndDialog(0);
    }
}

void CUpdateDlg::OnClose() {
    m_session.Engine().CloseFtpSession();
    // A worker that only pauses between attempts ends at once; one blocked in a
    // connection attempt is given up after ten seconds.
    m_session.StopConnectWorker(10000);
    m_mail.Close();
    EndDialog(IDCANCEL);
}

void CUpdateDlg::Paint() {
    if (::IsIconic(Handle())) {
        PAINTSTRUCT paint;
        HDC dc = ::BeginPaint(Handle(), &paint);
        RECT client;
        ::GetClientRect(Handle(), &client);
        const int x = (client.right - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
        const int y = (client.bottom - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
        ::DrawIcon(dc, x, y, m_icon);
        ::EndPaint(Handle(), &paint);
        return;
    }
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(Handle(), &paint);
    const bool progressView = m_state.progressView != 0;
    if (progressView) {
        m_totalBarView.Draw(dc);
        m_fileBarView.Draw(dc);
    }
    // The texts take the paint context's own font with the window's size and face,
    // keeping its weight and character set.
    LOGFONTA description{};
    ::GetObjectA(::GetCurrentObject(dc, OBJ_FONT), sizeof description, &description);
    description.lfHeight = layout::kTextFontHeight;
    description.lfWidth = layout::kTextFontWidth;
    std::strncpy(description.lfFaceName, kTextFace, LF_FACESIZE - 1);
    HFONT font = ::CreateFontIndirectA(&description);
    HGDIOBJ previous = font ? ::SelectObject(dc, font) : nullptr;
    ::SetBkMode(dc, TRANSPARENT);
    if (progressView) {
        auto draw = [dc](layout::Point at, const std::string& text) {
            ::TextOutA(dc, at.x, at.y, text.c_str(), static_cast<int>(text.size()));
        };
        ::SetTextColor(dc, kBlack);
        ::SetTextAlign(dc, TA_CENTER);
        draw(layout::kStatusAnchor, m_statusText);
        draw(layout::kTitleAnchor, m_titleText);
        ::SetTextColor(dc, kPercentColour);
        draw(layout::kTotalPercentAnchor, m_totalPercentText);
        draw(layout::kFilePercentAnchor, m_filePercentText);
    }
    if (previous)
        ::SelectObject(dc, previous);
    if (font)
        ::DeleteObject(font);
    ::EndPaint(Handle(), &paint);
}

LRESULT CUpdateDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case kWmWindowMail:
        OnMail();
        return 0;
    case WM_TIMER:
        if (wParam != kMailTimer)
            break;
        ::KillTimer(Handle(), kMailTimer);
        DeliverMail();
        return 0;
    case WM_PAINT:
        Paint();
        return 0;
    case WM_QUERYDRAGICON:
        return reinterpret_cast<LRESULT>(m_icon);
    case WM_CLOSE:
        OnClose();
        return 0;
    case kWmSocketNotify:
        return m_session.OnSocketNotify(wParam, lParam);
    case WM_DESTROY:
        m_mail.Close();
        m_window = nullptr;
        platform::SetMainWindow(nullptr);
        break;
    default:
        break;
    }
    return CDialogSK::HandleMessage(message, wParam, lParam);
}

void WindowFrontEnd::RunWindow(LauncherState& state) {
    // On the heap: the FTP road runs on this thread's stack, beside the window.
    const auto window = std::make_unique<CUpdateDlg>(state);
    window->DoModal();
    if (window->LeaveWorkers()) {
        // The HTTP road does not stop for the Close button: the process ends here,
        // with its worker, as the launcher of the original does; the worker uses
        // the window to the last.
        platform::EndProcess(0);
    }
}

} // namespace tarnvale
