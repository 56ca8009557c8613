#pragma once

#include "ui/win32/SubclassedWindow.h"

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <string>

namespace tarnvale::ui {

// Moves values between a dialog's controls and the fields of the dialog object, in
// one direction per exchange: loading puts the fields into the controls, saving
// reads the controls back into the fields.
class DataExchange {
  public:
    DataExchange(HWND dialog, bool saving) : m_dialog(dialog), m_saving(saving) {}

    bool Saving() const { return m_saving; }
    HWND Dialog() const { return m_dialog; }

    // An edit control and a text field. Loading also limits what can be typed to
    // maxChars characters (0: no limit); saving keeps at most maxChars characters,
    // so a field never leaves the exchange longer than its limit.
    void Text(int id, std::string& value, std::size_t maxChars = 0);
    // A check box and its state: 0 unchecked, 1 checked (2 for a three-state box).
    void Check(int id, int& state);
    // Binds a control of the template to its object on the first exchange, in
    // either direction, so the object draws and answers for that control.
    void Control(int id, SubclassedWindow& control);

  private:
    HWND m_dialog;
    bool m_saving;
};

// A dialog made from a template resource and served by this object: the thin layer
// the launcher's windows are built on. A derived dialog overrides HandleMessage for
// the messages it handles (a switch), OnCommand for commands, DoDataExchange for
// its controls and, where it must see keys before the dialog's keyboard handling
// does, PreTranslateMessage.
//
// Run it modally with DoModal, or create it modeless with Create and hand every
// message of the thread's loop to RouteMessage (RunModalLoop is that loop).
// Owner-draw requests of child controls (WM_DRAWITEM) go to the button objects
// that serve them.
class Dialog : public SubclassedWindow {
  public:
    // The template by resource id or by name, from the resource module; the parent
    // (owner) may be null.
    explicit Dialog(UINT templateId, HWND parent = nullptr);
    explicit Dialog(const char* templateName, HWND parent = nullptr);
    ~Dialog() override;

    // Creates the dialog, disables the parent while it runs, runs the message loop
    // until EndDialog and destroys the window. Returns the value given to EndDialog,
    // or -1 when the window could not be created or the thread was asked to quit.
    INT_PTR DoModal();
    // Creates the dialog without running a loop (modeless). True when it exists.
    bool Create();
    // Runs the thread's message loop through RouteMessage until EndDialog (or
    // WM_QUIT, which it posts again and answers with -1). The window stays.
    INT_PTR RunModalLoop();
    // One message of the thread's loop: PreTranslateMessage, then the dialog's
    // keyboard navigation. True when either consumed it; otherwise the caller
    // translates and dispatches it.
    bool RouteMessage(MSG& message);
    // Ends the modal loop with this result; the first call decides. Callable from
    // any thread.
    void EndDialog(INT_PTR result);
    bool Ended() const { return m_ended.load(); }

    // Exchanges data with the controls: save = true reads the controls into the
    // fields, false puts the fields into the controls.
    void UpdateData(bool save);
    // A control of this dialog, or null.
    HWND Item(int id) const;
    // Centres the window in the work area of the screen (the desktop without the
    // task bar).
    void CenterOnScreen();

  protected:
    // After the controls exist: puts the fields into the controls. Returning TRUE
    // lets the system give the first control the focus.
    virtual BOOL OnInitDialog();
    virtual void DoDataExchange(DataExchange& exchange);
    // Sees every message of the loop first; true swallows it.
    virtual bool PreTranslateMessage(MSG& message);
    // A command from a control, a menu or the keyboard navigation; true when
    // handled. The default sends IDOK to OnOK and IDCANCEL to OnCancel.
    virtual bool OnCommand(WORD id, WORD notifyCode, HWND control);
    virtual void OnOK();     // saves the controls, then ends with IDOK
    virtual void OnCancel(); // ends with IDCANCEL

    // Routes WM_COMMAND to OnCommand and WM_DRAWITEM to the button objects; the
    // rest goes to the system's dialog handling (WM_CLOSE there becomes IDCANCEL).
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    HWND Parent() const { return m_parent; }

  private:
    static INT_PTR CALLBACK DialogProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);

    UINT m_templateId = 0;
    std::string m_templateName; // empty: the template is m_templateId
    HWND m_parent;
    std::atomic<bool> m_endRequested{false};
    std::atomic<bool> m_ended{false};
    std::atomic<INT_PTR> m_result{0};
};

} // namespace tarnvale::ui
