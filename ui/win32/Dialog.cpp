#include "ui/win32/Dialog.h"

#include "ui/win32/AnsiText.h"
#include "ui/win32/GdiObjects.h"
#include "ui/win32/OwnerDrawButton.h"

#include <vector>

namespace tarnvale::ui {

void DataExchange::Text(int id, std::string& value, std::size_t maxChars) {
    HWND item = ::GetDlgItem(m_dialog, id);
    if (!item)
        return;
    if (!m_saving) {
        if (maxChars)
            ::SendMessageA(item, EM_LIMITTEXT, maxChars, 0);
        ::SetWindowTextA(item, value.c_str());
        return;
    }
    std::vector<char> text(static_cast<std::size_t>(::GetWindowTextLengthA(item)) + 1);
    ::GetWindowTextA(item, text.data(), static_cast<int>(text.size()));
    value.assign(text.data(), maxChars ? AnsiPrefixLength(text.data(), maxChars)
                                       : std::char_traits<char>::length(text.data()));
}

void DataExchange::Check(int id, int& state) {
    if (m_saving)
        state = static_cast<int>(::IsDlgButtonChecked(m_dialog, id));
    else
        ::CheckDlgButton(m_dialog, id, static_cast<UINT>(state));
}

void DataExchange::Control(int id, SubclassedWindow& control) {
    if (!control.HasWindow())
        control.Attach(::GetDlgItem(m_dialog, id));
}

Dialog::Dialog(UINT templateId, HWND parent) : m_templateId(templateId), m_parent(parent) {}

Dialog::Dialog(const char* templateName, HWND parent)
    : m_templateName(templateName ? templateName : ""), m_parent(parent) {}

Dialog::~Dialog() = default;

bool Dialog::Create() {
    if (HasWindow())
        return true;
    m_endRequested = false;
    m_ended = false;
    m_result = 0;
    const char* name =
        m_templateName.empty() ? MAKEINTRESOURCEA(m_templateId) : m_templateName.c_str();
    HWND window = ::CreateDialogParamA(ResourceModule(), name, m_parent, &DialogProcedure,
                                       reinterpret_cast<LPARAM>(this));
    if (!window)
        return false;
    if (!HasWindow()) {
        ::DestroyWindow(window);
        return false;
    }
    OwnWindow();
    return true;
}

INT_PTR Dialog::DoModal() {
    if (!Create())
        return -1;
    // The owner takes no input while the dialog runs, as with the system's own
    // modal dialogs.
    const bool disableParent = m_parent && ::IsWindowEnabled(m_parent);
    if (disableParent)
        ::EnableWindow(m_parent, FALSE);
    if (!::IsWindowVisible(Handle()))
        ::ShowWindow(Handle(), SW_SHOWNORMAL);
    const INT_PTR result = RunModalLoop();
    // Enabled again before the dialog goes, so that activation returns to it.
    if (disableParent)
        ::EnableWindow(m_parent, TRUE);
    if (HasWindow())
        ::DestroyWindow(Handle());
    return result;
}

INT_PTR Dialog::RunModalLoop() {
    MSG message;
    while (!m_ended && HasWindow()) {
        const BOOL got = ::GetMessageA(&message, nullptr, 0, 0);
        if (got == 0) {
            // Someone asked the thread to quit: leave the loop and let the outer
            // loop see the request too.
            ::PostQuitMessage(static_cast<int>(message.wParam));
            return -1;
        }
        if (got == -1)
            return -1;
        if (!RouteMessage(message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
        }
    }
    return m_ended ? m_result.load() : -1;
}

bool Dialog::RouteMessage(MSG& message) {
    if (PreTranslateMessage(message))
        return true;
    return HasWindow() && ::IsDialogMessageA(Handle(), &message);
}

void Dialog::EndDialog(INT_PTR result) {
    if (m_endRequested.exchange(true))
        return;
    m_result = result;
    m_ended = true;
    // Wakes the loop if it waits for a message.
    if (HWND window = Handle())
        ::PostMessageA(window, WM_NULL, 0, 0);
}

void Dialog::UpdateData(bool save) {
    if (!HasWindow())
        return;
    DataExchange exchange(Handle(), save);
    DoDataExchange(exchange);
}

HWND Dialog::Item(int id) const {
    return HasWindow() ? ::GetDlgItem(Handle(), id) : nullptr;
}

void Dialog::CenterOnScreen() {
    RECT work;
    RECT window;
    if (!HasWindow() || !::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0) ||
        !::GetWindowRect(Handle(), &window))
        return;
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    ::SetWindowPos(Handle(), nullptr, work.left + (work.right - work.left - width) / 2,
                   work.top + (work.bottom - work.top - height) / 2, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL Dialog::OnInitDialog() {
    UpdateData(false);
    return TRUE;
}

void Dialog::DoDataExchange(DataExchange&) {}

bool Dialog::PreTranslateMessage(MSG&) {
    return false;
}

bool Dialog::OnCommand(WORD id, WORD, HWND) {
    switch (id) {
    case IDOK:
        OnOK();
        return true;
    case IDCANCEL:
        OnCancel();
        return true;
    default:
        return false;
    }
}

void Dialog::OnOK() {
    UpdateData(true);
    EndDialog(IDOK);
}

void Dialog::OnCancel() {
    EndDialog(IDCANCEL);
}

LRESULT Dialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)))
            return 0;
        break;
    case WM_DRAWITEM:
        if (RouteDrawItem(lParam))
            return TRUE;
        break;
    default:
        break;
    }
    return Default(message, wParam, lParam);
}

INT_PTR CALLBACK Dialog::DialogProcedure(HWND window, UINT message, WPARAM, LPARAM lParam) {
    // Only the first message that carries the object is handled here; from then on
    // the object serves the window through its procedure, and this one answers
    // "not handled" so that the system's dialog handling runs.
    if (message != WM_INITDIALOG)
        return FALSE;
    auto* self = reinterpret_cast<Dialog*>(lParam);
    if (!self || !self->Attach(window))
        return FALSE;
    return self->OnInitDialog();
}

} // namespace tarnvale::ui
