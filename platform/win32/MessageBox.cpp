#include "platform/MessageBox.h"

#include <windows.h>

namespace tarnvale::platform {

int ShowSystemMessageBox(const char* text, const char* caption, unsigned type, void* owner) {
    return ::MessageBoxA(static_cast<HWND>(owner), text, caption, type);
}

} // namespace tarnvale::platform
