#include "platform/MessageBox.h"

#include <atomic>

namespace tarnvale::platform {
namespace {
std::atomic<MessageBoxHook> g_hook{nullptr};
std::atomic<void*> g_mainWindow{nullptr};
} // namespace

int ShowMessageBox(const char* text, const char* caption, unsigned type, bool ownedByMainWindow,
                   TextCodePage codePage) {
    if (MessageBoxHook hook = g_hook.load())
        return hook(text, caption, type, codePage);
    return ShowSystemMessageBox(text, caption, type,
                                ownedByMainWindow ? g_mainWindow.load() : nullptr);
}

void SetMainWindow(void* window) {
    g_mainWindow.store(window);
}
void SetMessageBoxHook(MessageBoxHook hook) {
    g_hook.store(hook);
}

} // namespace tarnvale::platform
