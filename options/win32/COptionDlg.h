#pragma once

#include "options/GameConfig.h"
#include "options/win32/CBitmapDialog.h"
#include "ui/win32/CBitmapButton.h"
#include "ui/win32/GdiObjects.h"

#include <windows.h>

namespace tarnvale {
class VeyMsg;
}

namespace tarnvale::options {

// The options dialog: the game client's display and sound settings over the
// picture of bitmap 110. The settings are read from the registry when the object
// is made, shown when the window opens and written on Save (the button or Enter);
// Cancel (the button, Escape or the close button) writes nothing.
class COptionDlg : public CBitmapDialog {
  public:
    // Reads the settings at once, before any window exists; when the key cannot
    // be opened the error box says so and the dialog shows the initial values.
    explicit COptionDlg(const VeyMsg& messages, HWND parent = nullptr,
                        ConfigKeyLocation where = {});
    ~COptionDlg() override;

    // The settings as the dialog holds them now.
    const GameConfig& Config() const { return m_config; }

  protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(ui::DataExchange& exchange) override;
    bool PreTranslateMessage(MSG& message) override;
    bool OnCommand(WORD id, WORD notifyCode, HWND control) override;
    void OnCancel() override;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    void Save();
    void OnShowWindow(WPARAM wParam, LPARAM lParam);
    void PlaceControls();

    const VeyMsg& m_messages;
    ConfigKeyLocation m_where;
    ui::CBitmapButton m_cancelButton;
    ui::CBitmapButton m_saveButton;
    GameConfig m_config;
    // Bitmap 110 a second time, only for the window's size.
    ui::GdiBitmap m_sizeBitmap;
    int m_nBitmapWidth = 0;
    int m_nBitmapHeight = 0;
    ui::CBitmapButton m_closeButton;
};

// Plays the click sound, runs the options dialog modally and returns its result
// (0 after Save, IDCANCEL after Cancel, -1 when the window could not be made).
// The launcher's Option command and the game start without "config.ini" both come
// here.
INT_PTR RunOptionsDialog(const VeyMsg& messages, HWND parent = nullptr);

} // namespace tarnvale::options
