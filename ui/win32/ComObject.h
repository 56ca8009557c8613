#pragma once

#include <windows.h>

namespace tarnvale {

// The reference count of the container's own COM objects. They are made with
// new and one reference that belongs to their creator; the last Release frees
// them, because the control may hold on to them longer than their creator.
class ComRefCount {
  protected:
    virtual ~ComRefCount() = default;
    ULONG AddReference() { return static_cast<ULONG>(::InterlockedIncrement(&m_refs)); }
    ULONG ReleaseReference() {
        const LONG refs = ::InterlockedDecrement(&m_refs);
        if (refs == 0)
            delete this;
        return static_cast<ULONG>(refs);
    }

  private:
    LONG m_refs = 1;
};

// Releases an interface pointer if it holds one, and forgets it.
template <class Interface> void ReleaseInterface(Interface*& pointer) {
    if (pointer) {
        pointer->Release();
        pointer = nullptr;
    }
}

// IOleWindow::GetWindow for an object that remembers its window (null once it
// has been detached from it).
inline HRESULT AnswerWindow(HWND window, HWND* answer) {
    if (!answer)
        return E_POINTER;
    *answer = window;
    return window ? S_OK : E_FAIL;
}

} // namespace tarnvale
