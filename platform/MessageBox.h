#pragma once

// Message boxes. On Windows the real MessageBoxA; on POSIX, where the launcher
// runs headless, the caption and text go to standard error.
namespace tarnvale::platform {

inline constexpr unsigned kMbOk = 0x0;
inline constexpr unsigned kMbIconError = 0x10;

// Shows a modal box and returns when the user closes it. The owner is the
// application's main window when one has been registered and ownedByMainWindow is
// set; otherwise the box has no owner.
int ShowMessageBox(const char* text, const char* caption, unsigned type,
                   bool ownedByMainWindow = false);

// The window that owns error boxes (an HWND on Windows; ignored elsewhere).
void SetMainWindow(void* window);

// Tests replace the system box with a recorder; nullptr restores it.
using MessageBoxHook = int (*)(const char* text, const char* caption, unsigned type);
void SetMessageBoxHook(MessageBoxHook hook);

// The operating-system implementation behind ShowMessageBox.
int ShowSystemMessageBox(const char* text, const char* caption, unsigned type, void* owner);

} // namespace tarnvale::platform
