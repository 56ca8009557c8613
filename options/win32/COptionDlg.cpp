#include "options/win32/COptionDlg.h"

#include "options/OptionControls.h"
#include "options/OptionLayout.h"

#include <mmsystem.h>
#include <windowsx.h>

namespace tarnvale::options {
namespace {

// The click of every button; asynchronous, so the dialog never waits for it, and
// a missing sound file is not reported.
void PlayClickSound() {
    ::sndPlaySoundA("data\\sound\\beep.wav", SND_ASYNC);
}

void Move(HWND dialog, const layout::Placement& place) {
    if (HWND control = ::GetDlgItem(dialog, place.id))
        ::MoveWindow(control, place.x, place.y, place.width, place.height, TRUE);
}

} // namespace

COptionDlg::COptionDlg(const VeyMsg& messages, HWND parent, ConfigKeyLocation where)
    : CBitmapDialog(IDD_OPTION_DIALOG, parent), m_messages(messages), m_where(std::move(where)) {
    LoadGameConfig(m_config, m_messages, m_where);
}

COptionDlg::~COptionDlg() = default;

void COptionDlg::DoDataExchange(ui::DataExchange& exchange) {
    exchange.Control(IDCANCEL, m_cancelButton);
    exchange.Control(IDC_SAVE, m_saveButton);
    exchange.Text(IDC_ACCOUNT_ID, m_config.accountId, kAccountIdMaxChars);
    // A check box shows any non-zero flag as checked and gives back 0 or 1.
    for (const auto& [id, flag] :
         {std::pair{IDC_SOUND, &m_config.soundOnOff}, std::pair{IDC_MUSIC, &m_config.musicOnOff},
          std::pair{IDC_WINDOW_MODE, &m_config.windowMode}}) {
        int state = IsFlagSet(*flag) ? BST_CHECKED : BST_UNCHECKED;
        exchange.Check(id, state);
        if (exchange.Saving())
            *flag = FlagOf(state == BST_CHECKED);
    }
}

BOOL COptionDlg::OnInitDialog() {
    CBitmapDialog::OnInitDialog();
    SetBitmap(IDB_OPTION_BACKGROUND, kTile);

    m_sizeBitmap.Reset(ui::LoadBitmapResource(IDB_OPTION_BACKGROUND));
    SIZE size{};
    if (ui::BitmapSize(m_sizeBitmap.Get(), size)) {
        m_nBitmapWidth = size.cx;
        m_nBitmapHeight = size.cy;
        ::SetWindowPos(Handle(), nullptr, 0, 0, m_nBitmapWidth, m_nBitmapHeight,
                       SWP_NOMOVE | SWP_NOZORDER);
    }

    const auto placeButton = [](ui::CBitmapButton& button, const layout::Placement& place) {
        button.SizeToContent();
        ::MoveWindow(button.Handle(), place.x, place.y, place.width, place.height, TRUE);
    };
    m_saveButton.LoadBitmaps(IDB_SAVE_NORMAL, IDB_SAVE_PRESSED, IDB_SAVE_NORMAL, IDB_SAVE_NORMAL);
    placeButton(m_saveButton, layout::kSaveButton);
    m_cancelButton.LoadBitmaps(IDB_CANCEL_NORMAL, IDB_CANCEL_PRESSED, IDB_CANCEL_NORMAL,
                               IDB_CANCEL_NORMAL);
    placeButton(m_cancelButton, layout::kCancelButton);

    const RECT closeRect = {layout::kCloseButtonX, layout::kCloseButtonY, layout::kCloseButtonX,
                            layout::kCloseButtonY};
    if (m_closeButton.Create("", WS_CHILD | WS_VISIBLE, closeRect, Handle(),
                             layout::kCloseButtonId)) {
        m_closeButton.LoadBitmaps(IDB_CLOSE_NORMAL, IDB_CLOSE_PRESSED, IDB_CLOSE_NORMAL,
                                  IDB_CLOSE_NORMAL);
        m_closeButton.SizeToContent();
    }

    PlaceControls();
    UpdateData(true);
    return TRUE;
}

void COptionDlg::PlaceControls() {
    for (const layout::Placement& place : layout::kControls)
        Move(Handle(), place);
}

void COptionDlg::OnShowWindow(WPARAM wParam, LPARAM lParam) {
    Default(WM_SHOWWINDOW, wParam, lParam);
    UpdateData(true);
    // Outside 1..4 or 0..1 no button of the group is checked.
    ::CheckRadioButton(Handle(), IDC_RES800, IDC_RES1920, ResolutionButton(m_config.resolution));
    ::CheckRadioButton(Handle(), IDC_DEPTH16, IDC_DEPTH32, ColorDepthButton(m_config.colorDepth));
}

void COptionDlg::Save() {
    UpdateData(true);
    PlayClickSound();
    SaveGameConfig(m_config, m_messages, m_where);
    EndDialog(0);
}

bool COptionDlg::PreTranslateMessage(MSG& message) {
    // Enter saves from anywhere in the dialog. The key is not passed on: the
    // dialog has ended, and the system's default-button handling would only end it
    // a second time.
    if (message.message == WM_KEYDOWN && message.wParam == VK_RETURN && !Ended()) {
        Save();
        return true;
    }
    return CBitmapDialog::PreTranslateMessage(message);
}

bool COptionDlg::OnCommand(WORD id, WORD notifyCode, HWND control) {
    if (notifyCode != BN_CLICKED)
        return CBitmapDialog::OnCommand(id, notifyCode, control);
    switch (id) {
    case IDC_SAVE:
        Save();
        return true;
    case layout::kCloseButtonId:
        PlayClickSound();
        EndDialog(IDCANCEL);
        return true;
    case IDC_RES800:
    case IDC_RES1024:
    case IDC_RES1280:
    case IDC_RES1920:
        PlayClickSound();
        m_config.resolution = ResolutionOfButton(id);
        return true;
    case IDC_DEPTH16:
    case IDC_DEPTH32:
        PlayClickSound();
        m_config.colorDepth = ColorDepthOfButton(id);
        return true;
    case IDC_SOUND:
    case IDC_MUSIC:
    case IDC_WINDOW_MODE:
        // The check state is read on Save.
        PlayClickSound();
        return true;
    default:
        return CBitmapDialog::OnCommand(id, notifyCode, control);
    }
}

void COptionDlg::OnCancel() {
    PlayClickSound();
    CBitmapDialog::OnCancel();
}

LRESULT COptionDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        if (::IsIconic(Handle())) {
            PAINTSTRUCT paint;
            ::BeginPaint(Handle(), &paint);
            ::EndPaint(Handle(), &paint);
            return 0;
        }
        break;
    case WM_SHOWWINDOW:
        OnShowWindow(wParam, lParam);
        return 0;
    case WM_LBUTTONDOWN: {
        const LRESULT result = Default(message, wParam, lParam);
        // The system moves the window as if its caption were pressed. The press is
        // handed on in screen coordinates, which is what the caption press means.
        POINT point = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ::ClientToScreen(Handle(), &point);
        ::PostMessageA(Handle(), WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(point.x, point.y));
        return result;
    }
    default:
        break;
    }
    return CBitmapDialog::HandleMessage(message, wParam, lParam);
}

INT_PTR RunOptionsDialog(const VeyMsg& messages, HWND parent) {
    COptionDlg dialog(messages, parent);
    PlayClickSound();
    return dialog.DoModal();
}

} // namespace tarnvale::options
