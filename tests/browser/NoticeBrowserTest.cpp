// The notice browser hosted for real under the Win32 API. Wine has no HTML
// engine, so every page fails there: these tests meet the control's hosting, its
// navigation error and the panel that stands in for the page.
#include "support/LoopbackServers.h"
#include "support/TestSupport.h"
#include "ui/win32/CWebBrowser2.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

namespace tarnvale {
namespace {

constexpr UINT kControlId = 1004;
constexpr UINT kPing = WM_APP + 1;
constexpr COLORREF kFill = RGB(30, 60, 90);
constexpr COLORREF kText = RGB(250, 240, 200);
// The two places the launcher puts the notice area.
constexpr RECT kPartitionLayout{228, 167, 228 + 336, 167 + 163};
constexpr RECT kProgressLayout{225, 176, 225 + 338, 176 + 184};

// What reached the parent window's procedure.
struct ParentLog {
    int rightButtonDowns = 0;
    int contextMenus = 0;
    int pings = 0;
};
ParentLog g_parentLog;

LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_RBUTTONDOWN:
        ++g_parentLog.rightButtonDowns;
        return 0;
    case WM_CONTEXTMENU:
        ++g_parentLog.contextMenus;
        return 0;
    case kPing:
        ++g_parentLog.pings;
        return static_cast<LRESULT>(wParam + 1);
    default:
        return ::DefWindowProcA(window, message, wParam, lParam);
    }
}

NoticePanelStyle TestStyle() {
    NoticePanelStyle style;
    style.fill = kFill;
    style.textColour = kText;
    return style;
}

RECT ChildRectInParent(HWND child) {
    RECT rect{};
    ::GetWindowRect(child, &rect);
    ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string Describe(const RECT& r) {
    return "(" + std::to_string(r.left) + ", " + std::to_string(r.top) + ") - (" +
           std::to_string(r.right) + ", " + std::to_string(r.bottom) + ")";
}

// The window's picture as it paints itself, read back pixel by pixel.
class Snapshot {
  public:
    explicit Snapshot(HWND window) {
        RECT client{};
        ::GetClientRect(window, &client);
        m_width = client.right;
        m_height = client.bottom;
        HDC screen = ::GetDC(nullptr);
        m_dc = ::CreateCompatibleDC(screen);
        m_bitmap = ::CreateCompatibleBitmap(screen, m_width, m_height);
        ::ReleaseDC(nullptr, screen);
        m_old = ::SelectObject(m_dc, m_bitmap);
        m_printed = ::PrintWindow(window, m_dc, PW_CLIENTONLY) != FALSE;
    }
    ~Snapshot() {
        ::SelectObject(m_dc, m_old);
        ::DeleteObject(m_bitmap);
        ::DeleteDC(m_dc);
    }
    bool Printed() const { return m_printed; }
    COLORREF At(int x, int y) const { return ::GetPixel(m_dc, x, y); }
    // Pixels that differ from `colour` in the band of rows [top, bottom).
    int CountOtherThan(COLORREF colour, int top, int bottom) const {
        int count = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = 0; x < m_width; ++x)
                if (At(x, y) != colour)
                    ++count;
        return count;
    }
    int Width() const { return m_width; }
    int Height() const { return m_height; }

  private:
    int m_width = 0, m_height = 0;
    HDC m_dc = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_old = nullptr;
    bool m_printed = false;
};

class NoticeBrowserTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // The launcher's window thread joins OLE before it creates its window.
        ASSERT_TRUE(SUCCEEDED(::OleInitialize(nullptr)));
        g_parentLog = {};
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = ParentProc;
        windowClass.hInstance = ::GetModuleHandleA(nullptr);
        windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
        windowClass.lpszClassName = "NoticeBrowserTestParent";
        ::RegisterClassA(&windowClass);
        m_parent = ::CreateWindowExA(0, windowClass.lpszClassName, "notice test",
                                     WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 20, 20, 580, 380,
                                     nullptr, nullptr, windowClass.hInstance, nullptr);
        ASSERT_NE(m_parent, nullptr);
    }

    void TearDown() override {
        if (::IsWindow(m_parent))
            ::DestroyWindow(m_parent);
        ::OleUninitialize();
    }

    // The launcher's message loop: every message is offered to the browser first.
    void PumpOnce(CWebBrowser2& browser) {
        MSG message;
        while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (browser.PreTranslateMessage(&message)) {
                ++m_swallowed;
                continue;
            }
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
        }
    }

    // Pumps until `done` holds; false if it still does not after a generous while
    // (a guard against hanging, not a measurement).
    bool PumpUntil(CWebBrowser2& browser, const std::function<bool()>& done) {
        for (int i = 0; i < 600; ++i) {
            PumpOnce(browser);
            if (done())
                return true;
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        }
        PumpOnce(browser);
        return done();
    }

    void CreateIn(CWebBrowser2& browser, const RECT& rect) {
        browser.SetPanelStyle(TestStyle());
        ASSERT_TRUE(browser.Create("notice", WS_CHILD | WS_VISIBLE | WS_TABSTOP, rect, m_parent,
                                   kControlId));
    }

    HWND m_parent = nullptr;
    int m_swallowed = 0;
};

void ExpectPanelWithText(HWND host) {
    Snapshot shot(host);
    ASSERT_TRUE(shot.Printed());
    EXPECT_EQ(shot.At(0, 0), kFill);
    EXPECT_EQ(shot.At(shot.Width() - 1, shot.Height() - 1), kFill);
    // The text sits in the middle rows and nowhere near the edges.
    const int middle = shot.Height() / 2;
    EXPECT_GT(shot.CountOtherThan(kFill, middle - 8, middle + 8), 20);
    EXPECT_EQ(shot.CountOtherThan(kFill, 0, 10), 0);
}

TEST_F(NoticeBrowserTest, HostsTheControlAndShowsThePanelWhenThePageCannotBeShown) {
    test::LoopbackServers servers;
    ASSERT_EQ(servers.Problem(), "");
    const std::string area = servers.NewArea("notice");
    test::WriteFile(servers.Root() / area / "notice.html",
                    "<html><body><h1>Server news</h1><p>Maintenance tonight.</p></body></html>");

    CWebBrowser2 browser;
    CreateIn(browser, kPartitionLayout);
    const CWebBrowser2::HostingSteps& steps = browser.Steps();
    EXPECT_TRUE(SUCCEEDED(steps.oleInitialize)); // S_FALSE: the thread had joined already
    EXPECT_EQ(steps.createControl, S_OK);
    EXPECT_EQ(steps.setClientSite, S_OK);
    EXPECT_EQ(steps.initNew, S_OK);
    EXPECT_EQ(steps.setHostNames, S_OK);
    EXPECT_EQ(steps.setContainedObject, S_OK);
    EXPECT_EQ(steps.inPlaceActivate, S_OK);
    EXPECT_EQ(steps.queryInPlaceObject, S_OK);
    EXPECT_EQ(steps.queryWebBrowser, S_OK);
    EXPECT_EQ(steps.adviseEvents, S_OK);
    ASSERT_TRUE(browser.HasControl());
    EXPECT_EQ(::GetDlgItem(m_parent, kControlId), browser.GetSafeHwnd());
    EXPECT_TRUE(SameRect(ChildRectInParent(browser.GetSafeHwnd()), kPartitionLayout));

    // Before any page: the bare panel, no text.
    EXPECT_EQ(browser.State(), CWebBrowser2::NoticeState::Loading);
    {
        Snapshot shot(browser.GetSafeHwnd());
        ASSERT_TRUE(shot.Printed());
        EXPECT_EQ(shot.CountOtherThan(kFill, 0, shot.Height()), 0);
    }

    const std::string url =
        "http://127.0.0.1:" + std::to_string(servers.HttpPort()) + "/" + area + "/notice.html";
    browser.Navigate(url.c_str());
    EXPECT_EQ(steps.navigate, S_OK);
    ASSERT_TRUE(
        PumpUntil(browser, [&] { return browser.State() != CWebBrowser2::NoticeState::Loading; }));
    EXPECT_EQ(browser.State(), CWebBrowser2::NoticeState::Unavailable);
    EXPECT_NE(browser.NavigateErrorStatus(), 0);
    std::printf("navigation error status 0x%08lX\n",
                static_cast<unsigned long>(browser.NavigateErrorStatus()));
    EXPECT_TRUE(::IsWindowVisible(browser.GetSafeHwnd()));
    EXPECT_FALSE(::IsWindowVisible(browser.ControlHolder()));
    ExpectPanelWithText(browser.GetSafeHwnd());

    // Still responsive: a call from another thread makes the round trip through
    // the window thread's loop.
    std::atomic<bool> answered{false};
    DWORD_PTR answer = 0;
    std::thread caller([&] {
        ::SendMessageTimeoutA(m_parent, kPing, 41, 0, SMTO_NORMAL, 30000, &answer);
        answered = true;
    });
    EXPECT_TRUE(PumpUntil(browser, [&] { return answered.load(); }));
    caller.join();
    EXPECT_EQ(answer, 42u);

    // A new navigation clears the error and reports its own: here a port that
    // nobody listens on.
    browser.Navigate("http://127.0.0.1:9/notice.html");
    EXPECT_EQ(browser.State(), CWebBrowser2::NoticeState::Loading);
    ASSERT_TRUE(
        PumpUntil(browser, [&] { return browser.State() != CWebBrowser2::NoticeState::Loading; }));
    EXPECT_EQ(browser.State(), CWebBrowser2::NoticeState::Unavailable);
    EXPECT_NE(browser.NavigateErrorStatus(), 0);
}

TEST_F(NoticeBrowserTest, MovesKeepItPlacedFromAnyThread) {
    CWebBrowser2 browser;
    CreateIn(browser, kPartitionLayout);
    ASSERT_TRUE(browser.HasControl());
    HWND control = ::GetWindow(browser.ControlHolder(), GW_CHILD);
    ASSERT_NE(control, nullptr) << "the control made no window of its own";

    auto expectPlaced = [&](const RECT& layout) {
        EXPECT_TRUE(SameRect(ChildRectInParent(browser.GetSafeHwnd()), layout))
            << Describe(ChildRectInParent(browser.GetSafeHwnd()));
        const RECT inside{0, 0, layout.right - layout.left, layout.bottom - layout.top};
        EXPECT_TRUE(SameRect(ChildRectInParent(browser.ControlHolder()), inside));
        EXPECT_TRUE(SameRect(ChildRectInParent(control), inside))
            << "control at " << Describe(ChildRectInParent(control));
    };
    auto move = [&](const RECT& r) {
        return browser.MoveWindow(r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
    };

    ASSERT_TRUE(move(kProgressLayout));
    expectPlaced(kProgressLayout);
    ASSERT_TRUE(move(kPartitionLayout));
    expectPlaced(kPartitionLayout);

    // The HTTP worker switches the views from its own thread.
    std::atomic<bool> moved{false};
    std::thread worker([&] {
        move(kProgressLayout);
        moved = true;
    });
    EXPECT_TRUE(PumpUntil(browser, [&] { return moved.load(); }));
    worker.join();
    expectPlaced(kProgressLayout);

    // The panel moves with the window and keeps its state.
    browser.Navigate("http://127.0.0.1:9/notice.html");
    ASSERT_TRUE(
        PumpUntil(browser, [&] { return browser.State() != CWebBrowser2::NoticeState::Loading; }));
    ASSERT_TRUE(move(kPartitionLayout));
    PumpOnce(browser);
    EXPECT_EQ(browser.State(), CWebBrowser2::NoticeState::Unavailable);
    expectPlaced(kPartitionLayout);
    ExpectPanelWithText(browser.GetSafeHwnd());
}

TEST_F(NoticeBrowserTest, TheRightButtonDoesNothingInTheNoticeArea) {
    CWebBrowser2 browser;
    CreateIn(browser, kPartitionLayout);
    ASSERT_TRUE(browser.HasControl());
    HWND control = ::GetWindow(browser.ControlHolder(), GW_CHILD);
    ASSERT_NE(control, nullptr);

    for (HWND target : {browser.GetSafeHwnd(), browser.ControlHolder(), control}) {
        ::PostMessageA(target, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(10, 10));
        ::PostMessageA(target, WM_RBUTTONUP, 0, MAKELPARAM(10, 10));
    }
    ::PostMessageA(m_parent, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 5));
    ::PostMessageA(m_parent, kPing, 0, 0);
    ASSERT_TRUE(PumpUntil(browser, [&] { return g_parentLog.pings == 1; }));
    EXPECT_EQ(m_swallowed, 6);
    // Outside the notice area the right button is the window's own business.
    EXPECT_EQ(g_parentLog.rightButtonDowns, 1);
    EXPECT_EQ(g_parentLog.contextMenus, 0);

    // Other input reaches the notice area as usual.
    MSG click{browser.ControlHolder(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10), 0, {}};
    EXPECT_FALSE(browser.PreTranslateMessage(&click));
}

// A class id that no server is registered for stands for a system without the
// control: the window still comes up, shows the panel, moves and ignores the
// right button.
TEST_F(NoticeBrowserTest, WithoutTheControlThePanelStandsInItsPlace) {
    static const CLSID kMissing = {
        0x5a1e0c3d, 0x1b2f, 0x4c6a, {0x9e, 0x21, 0x7d, 0x44, 0x0b, 0x8c, 0x3f, 0x60}};
    CWebBrowser2 browser(kMissing);
    CreateIn(browser, kPartitionLayout);
    EXPECT_EQ(browser.Steps().createControl, REGDB_E_CLASSNOTREG);
    EXPECT_EQ(browser.Steps().setClientSite, CWebBrowser2::kNotRun);
    EXPECT_FALSE(browser.HasControl());
    EXPECT_EQ(browser.State(), CWebBrowser2::NoticeState::Unavailable);

    browser.Navigate("http://127.0.0.1:9/notice.html");
    EXPECT_EQ(browser.Steps().navigate, CWebBrowser2::kNotRun);
    EXPECT_EQ(browser.State(), CWebBrowser2::NoticeState::Unavailable);
    ASSERT_TRUE(browser.MoveWindow(kProgressLayout.left, kProgressLayout.top,
                                   kProgressLayout.right - kProgressLayout.left,
                                   kProgressLayout.bottom - kProgressLayout.top, TRUE));
    EXPECT_TRUE(SameRect(ChildRectInParent(browser.GetSafeHwnd()), kProgressLayout));
    PumpOnce(browser);
    ExpectPanelWithText(browser.GetSafeHwnd());

    MSG right{browser.GetSafeHwnd(), WM_RBUTTONDOWN, MK_RBUTTON, 0, 0, {}};
    EXPECT_TRUE(browser.PreTranslateMessage(&right));
    // One notice area per object.
    EXPECT_FALSE(browser.Create("again", WS_CHILD, kPartitionLayout, m_parent, kControlId));
}

// The launcher's window may go first (its parent destroyed with it); the control
// is closed while its windows still exist and the object stays harmless.
TEST_F(NoticeBrowserTest, DestroyingTheParentClosesTheControl) {
    CWebBrowser2 browser;
    CreateIn(browser, kPartitionLayout);
    ASSERT_TRUE(browser.HasControl());
    ::DestroyWindow(m_parent);
    EXPECT_EQ(browser.GetSafeHwnd(), nullptr);
    EXPECT_EQ(browser.ControlHolder(), nullptr);
    EXPECT_FALSE(browser.HasControl());
    EXPECT_FALSE(browser.MoveWindow(0, 0, 10, 10, TRUE));
    browser.Navigate("http://127.0.0.1:9/");
    MSG right{nullptr, WM_RBUTTONDOWN, MK_RBUTTON, 0, 0, {}};
    EXPECT_FALSE(browser.PreTranslateMessage(&right));
}

} // namespace
} // namespace tarnvale
