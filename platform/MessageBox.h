#pragma once

// Message boxes. On Windows the real MessageBoxA; on POSIX, where the launcher
// runs headless, the caption and text go to standard error.
namespace tarnvale::platform {

inline constexpr unsigned kMbOk = 0x0;
inline constexpr unsigned kMbIconError = 0x10;

// The code page a box's text is written in: the game's (the message table, file
// names, the branding), or 949, that of the developer's own messages. Windows
// shows both unchanged; the headless launcher converts each from its own.
enum class TextCodePage {
    kGame,
    kDeveloper,
    // A path in the game's code page followed by the installer's
    // kCannotOpenFileText in the developer's.
    kPathThenDeveloper,
};

// Shows a modal box and returns when the user closes it. The owner is the
// application's main window when one has been registered and ownedByMainWindow is
// set; otherwise the box has no owner.
int ShowMessageBox(const char* text, const char* caption, unsigned type,
                   bool ownedByMainWindow = false, TextCodePage codePage = TextCodePage::kGame);

// The window that owns error boxes (an HWND on Windows; ignored elsewhere).
void SetMainWindow(void* window);

// Tests replace the system box with a recorder; nullptr restores it.
using MessageBoxHook = int (*)(const char* text, const char* caption, unsigned type,
                               TextCodePage codePage);
void SetMessageBoxHook(MessageBoxHook hook);

// The operating-system implementation behind ShowMessageBox.
int ShowSystemMessageBox(const char* text, const char* caption, unsigned type, void* owner);

} // namespace tarnvale::platform
