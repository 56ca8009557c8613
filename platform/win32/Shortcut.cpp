#include "platform/Shortcut.h"

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

namespace tarnvale::platform {
namespace {

// COM for the calling thread, paired with its own uninitialisation; a thread that
// already has COM (the window's, with OLE for the notice page) just counts up.
class ComScope {
  public:
    ComScope() : m_ok(SUCCEEDED(::CoInitialize(nullptr))) {}
    ~ComScope() {
        if (m_ok)
            ::CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    bool Ok() const { return m_ok; }

  private:
    bool m_ok;
};

// Releases a COM interface when it goes out of scope.
template <class Interface> class ComPtr {
  public:
    ComPtr() = default;
    ~ComPtr() {
        if (m_p)
            m_p->Release();
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    Interface* operator->() const { return m_p; }
    void** Out() { return reinterpret_cast<void**>(&m_p); }
    explicit operator bool() const { return m_p != nullptr; }

  private:
    Interface* m_p = nullptr;
};

std::wstring Wide(const std::string& text) {
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    if (length <= 0)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), length);
    wide.resize(static_cast<size_t>(length - 1));
    return wide;
}

bool CreateShellLink(ComPtr<IShellLinkA>& link) {
    return SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                        IID_IShellLinkA, link.Out()));
}

} // namespace

std::string DesktopFolder() {
    char path[MAX_PATH] = {};
    if (!::SHGetSpecialFolderPathA(nullptr, path, CSIDL_DESKTOP, FALSE))
        return std::string();
    return path;
}

std::string ShortcutFileName(const std::string& name) {
    return name + ".lnk";
}

bool WriteShortcut(const std::string& linkPath, const std::string& target,
                   const std::string& workingFolder) {
    ComScope com;
    if (!com.Ok())
        return false;
    ComPtr<IShellLinkA> link;
    if (!CreateShellLink(link))
        return false;
    link->SetPath(target.c_str());
    link->SetWorkingDirectory(workingFolder.c_str());
    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.Out())))
        return false;
    const std::wstring widePath = Wide(linkPath);
    return !widePath.empty() && SUCCEEDED(file->Save(widePath.c_str(), FALSE));
}

bool ReadShortcut(const std::string& linkPath, std::string& target, std::string& workingFolder) {
    ComScope com;
    if (!com.Ok())
        return false;
    ComPtr<IShellLinkA> link;
    ComPtr<IPersistFile> file;
    if (!CreateShellLink(link) || FAILED(link->QueryInterface(IID_IPersistFile, file.Out())))
        return false;
    const std::wstring widePath = Wide(linkPath);
    if (widePath.empty() || FAILED(file->Load(widePath.c_str(), STGM_READ)))
        return false;
    char path[MAX_PATH] = {};
    char folder[MAX_PATH] = {};
    if (FAILED(link->GetPath(path, MAX_PATH, nullptr, SLGP_RAWPATH)) ||
        FAILED(link->GetWorkingDirectory(folder, MAX_PATH)))
        return false;
    target = path;
    workingFolder = folder;
    return true;
}

} // namespace tarnvale::platform
