// The options dialog as the player meets it, under the real Win32 API: made from
// the executable's template 103 and bitmaps, driven by messages and by real mouse
// input, its settings read back from the registry.
#include "OptionsTestSupport.h"
#include "options/OptionLayout.h"
#include "options/win32/COptionDlg.h"
#include "ui/win32/GdiObjects.h"

#include <commctrl.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace tarnvale {
namespace {

using options::COptionDlg;
namespace layout = options::layout;

// Ends a modal loop that real input never ended, so a lost click fails the test
// instead of hanging it.
constexpr INT_PTR kGaveUp = -7;

class OptionDialog : public test::OptionsTest {
  protected:
    void TearDown() override {
        m_dialog.reset();
        OptionsTest::TearDown();
    }

    // The dialog on this test's key, created and shown without a loop of its own.
    COptionDlg& Open() {
        m_dialog = std::make_unique<COptionDlg>(messages, nullptr, where);
        EXPECT_TRUE(m_dialog->Create());
        ::UpdateWindow(m_dialog->Handle());
        return *m_dialog;
    }
    HWND Item(int id) const { return ::GetDlgItem(m_dialog->Handle(), id); }
    bool Checked(int id) const {
        return ::IsDlgButtonChecked(m_dialog->Handle(), id) == BST_CHECKED;
    }
    // The control's rectangle in the dialog's client coordinates.
    RECT Place(int id) const {
        RECT rect{};
        ::GetWindowRect(Item(id), &rect);
        ::MapWindowPoints(nullptr, m_dialog->Handle(), reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }
    // A key press posted to the account ID box, then the dialog's loop until it ends.
    INT_PTR PressKey(WPARAM key) {
        ::SetFocus(Item(IDC_ACCOUNT_ID));
        ::PostMessageA(Item(IDC_ACCOUNT_ID), WM_KEYDOWN, key, 1);
        return m_dialog->RunModalLoop();
    }
    void Click(int id) { ::SendMessageA(Item(id), BM_CLICK, 0, 0); }

    std::unique_ptr<COptionDlg> m_dialog;
};

TEST_F(OptionDialog, FirstRunShowsTheInitialValuesInAWindowOfThePicturesSize) {
    COptionDlg& dialog = Open();
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_EQ(Stored(), "ID= Sound=1 Music=1 Resolution=2 Depth=0 Window=0")
        << "the key was filled before the window showed";

    RECT window{};
    ::GetWindowRect(dialog.Handle(), &window);
    EXPECT_EQ(window.right - window.left, 385);
    EXPECT_EQ(window.bottom - window.top, 486);

    for (const int id : {IDC_RES800, IDC_RES1024, IDC_RES1280, IDC_RES1920})
        EXPECT_EQ(Checked(id), id == IDC_RES1024) << id;
    EXPECT_TRUE(Checked(IDC_DEPTH16));
    EXPECT_FALSE(Checked(IDC_DEPTH32));
    EXPECT_TRUE(Checked(IDC_SOUND));
    EXPECT_TRUE(Checked(IDC_MUSIC));
    EXPECT_FALSE(Checked(IDC_WINDOW_MODE));
    char text[32] = "x";
    ::GetWindowTextA(Item(IDC_ACCOUNT_ID), text, sizeof text);
    EXPECT_STREQ(text, "");
}

TEST_F(OptionDialog, ControlsSitWhereThePictureHasTheirLabels) {
    Open();
    const auto expectAt = [&](int id, int x, int y, int width, int height) {
        const RECT rect = Place(id);
        EXPECT_EQ(rect.left, x) << id;
        EXPECT_EQ(rect.top, y) << id;
        EXPECT_EQ(rect.right - rect.left, width) << id;
        EXPECT_EQ(rect.bottom - rect.top, height) << id;
    };
    for (const layout::Placement& place : layout::kControls)
        expectAt(place.id, place.x, place.y, place.width, place.height);
    expectAt(IDC_SAVE, 116, 443, 74, 22);
    expectAt(IDCANCEL, 194, 443, 74, 22);
    expectAt(layout::kCloseButtonId, 353, 18, 16, 15);
    EXPECT_TRUE(::IsWindowVisible(Item(layout::kCloseButtonId)));
    EXPECT_EQ(::GetWindowLongA(Item(layout::kCloseButtonId), GWL_STYLE) & BS_TYPEMASK,
              BS_OWNERDRAW);
}

// A dialog's background erased into a memory picture of its client size, beside
// the picture itself, so pixels of both can be compared.
class ErasedBackground {
  public:
    ErasedBackground(HWND dialog, int width, int height)
        : m_screen(::GetDC(nullptr)), m_source(m_screen), m_canvas(m_screen) {
        m_picture.Reset(ui::LoadBitmapResource(IDB_OPTION_BACKGROUND));
        m_source.Select(m_picture.Get());
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        m_target.Reset(::CreateDIBSection(m_screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        m_canvas.Select(m_target.Get());
        ::SetWindowPos(dialog, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
        result = ::SendMessageA(dialog, WM_ERASEBKGND, reinterpret_cast<WPARAM>(m_canvas.Get()), 0);
    }
    ~ErasedBackground() { ::ReleaseDC(nullptr, m_screen); }

    COLORREF Erased(int x, int y) const { return ::GetPixel(m_canvas.Get(), x, y); }
    COLORREF Picture(int x, int y) const { return ::GetPixel(m_source.Get(), x, y); }
    LRESULT result = 0;

  private:
    HDC m_screen;
    ui::GdiBitmap m_picture, m_target;
    ui::MemoryDC m_source, m_canvas;
};

constexpr POINT kProbes[] = {{3, 5}, {200, 100}, {384, 485}, {60, 470}};

TEST_F(OptionDialog, BackgroundIsThePictureTiled) {
    ErasedBackground background(Open().Handle(), 770, 972);
    EXPECT_EQ(background.result, TRUE);
    for (const POINT p : kProbes)
        for (const POINT tile : {POINT{0, 0}, POINT{385, 0}, POINT{0, 486}, POINT{385, 486}})
            EXPECT_EQ(background.Erased(tile.x + p.x, tile.y + p.y), background.Picture(p.x, p.y))
                << p.x << "," << p.y << " in the tile at " << tile.x << "," << tile.y;
}

TEST_F(OptionDialog, BackgroundStretchedOrCentred) {
    options::CBitmapDialog stretched(IDD_OPTION_DIALOG);
    ASSERT_TRUE(stretched.Create());
    ASSERT_TRUE(stretched.SetBitmap(IDB_OPTION_BACKGROUND, options::CBitmapDialog::kStretch));
    ErasedBackground twice(stretched.Handle(), 770, 972);
    for (const POINT p : kProbes)
        EXPECT_EQ(twice.Erased(2 * p.x, 2 * p.y), twice.Picture(p.x, p.y)) << p.x << "," << p.y;

    options::CBitmapDialog centred(IDD_OPTION_DIALOG);
    ASSERT_TRUE(centred.Create());
    ASSERT_TRUE(centred.SetBitmap(IDB_OPTION_BACKGROUND, options::CBitmapDialog::kCenter));
    ErasedBackground margin(centred.Handle(), 485, 586);
    for (const POINT p : kProbes)
        EXPECT_EQ(margin.Erased(50 + p.x, 50 + p.y), margin.Picture(p.x, p.y)) << p.x << "," << p.y;
    EXPECT_EQ(margin.Erased(10, 10), ::GetSysColor(COLOR_3DFACE)) << "the margin is the dialog's";
    EXPECT_EQ(margin.Erased(440, 580), ::GetSysColor(COLOR_3DFACE));
}

TEST_F(OptionDialog, ButtonsAndTrackbarsShowTheBackgroundThrough) {
    COptionDlg& dialog = Open();
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES};
    ASSERT_TRUE(::InitCommonControlsEx(&controls));
    HWND trackbar = ::CreateWindowExA(0, TRACKBAR_CLASSA, "", WS_CHILD, 0, 0, 10, 10,
                                      dialog.Handle(), nullptr, nullptr, nullptr);
    ASSERT_NE(trackbar, nullptr);
    HDC dc = ::GetDC(dialog.Handle());
    const auto brushFor = [&](UINT message, HWND control) {
        ::SetBkMode(dc, OPAQUE);
        return reinterpret_cast<HBRUSH>(::SendMessageA(dialog.Handle(), message,
                                                       reinterpret_cast<WPARAM>(dc),
                                                       reinterpret_cast<LPARAM>(control)));
    };
    const HBRUSH hollow = static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
    EXPECT_EQ(brushFor(WM_CTLCOLORBTN, Item(IDC_SAVE)), hollow);
    EXPECT_EQ(::GetBkMode(dc), TRANSPARENT);
    EXPECT_EQ(brushFor(WM_CTLCOLORSTATIC, trackbar), hollow);
    EXPECT_EQ(::GetBkMode(dc), TRANSPARENT);
    EXPECT_NE(brushFor(WM_CTLCOLORSTATIC, Item(IDC_SOUND)), hollow) << "not a trackbar";
    EXPECT_NE(brushFor(WM_CTLCOLOREDIT, Item(IDC_ACCOUNT_ID)), hollow);
    ::ReleaseDC(dialog.Handle(), dc);
    ::DestroyWindow(trackbar);
}

TEST_F(OptionDialog, RadioClickChangesTheFieldAtOnceAndWritesNothing) {
    COptionDlg& dialog = Open();
    Click(IDC_RES1280);
    EXPECT_EQ(dialog.Config().resolution, options::kResolution1280x960);
    EXPECT_TRUE(Checked(IDC_RES1280));
    EXPECT_FALSE(Checked(IDC_RES1024));
    Click(IDC_DEPTH32);
    EXPECT_EQ(dialog.Config().colorDepth, options::kColorDepth32);
    Click(IDC_SOUND);
    EXPECT_EQ(dialog.Config().soundOnOff, 1) << "a check box is read only on Save";
    EXPECT_EQ(Dword("Resolution"), 2u);
    EXPECT_FALSE(dialog.Ended());
}

TEST_F(OptionDialog, EnterSavesWhatTheControlsShow) {
    StoreDword("WindowMode", 0);
    Open();
    ::SetWindowTextA(Item(IDC_ACCOUNT_ID), "hero");
    Click(IDC_SOUND);
    Click(IDC_WINDOW_MODE);
    Click(IDC_RES1920);
    EXPECT_EQ(PressKey(VK_RETURN), 0);
    EXPECT_EQ(Stored(), "ID=hero Sound=0 Music=1 Resolution=4 Depth=0 Window=1");
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(OptionDialog, SaveButtonSavesAndTheAccountIdTakesTenCharacters) {
    Open();
    // Typed, as the player does: the box refuses the eleventh character.
    ::SetFocus(Item(IDC_ACCOUNT_ID));
    for (const char c : std::string("abcdefghijkl"))
        ::SendMessageA(Item(IDC_ACCOUNT_ID), WM_CHAR, static_cast<WPARAM>(c), 1);
    Click(IDC_DEPTH32);
    Click(IDC_SAVE);
    EXPECT_TRUE(m_dialog->Ended());
    EXPECT_EQ(m_dialog->RunModalLoop(), 0);
    EXPECT_EQ(Stored(), "ID=abcdefghij Sound=1 Music=1 Resolution=2 Depth=1 Window=0");
}

TEST_F(OptionDialog, EscapeCancelAndCloseWriteNothing) {
    const std::string firstRun = "ID= Sound=1 Music=1 Resolution=2 Depth=0 Window=0";
    Open();
    Click(IDC_RES800);
    Click(IDC_MUSIC);
    EXPECT_EQ(PressKey(VK_ESCAPE), IDCANCEL);
    EXPECT_EQ(Stored(), firstRun);

    Open();
    Click(IDC_RES800);
    Click(IDCANCEL);
    EXPECT_EQ(m_dialog->RunModalLoop(), IDCANCEL);
    EXPECT_EQ(Stored(), firstRun);

    Open();
    Click(IDC_RES800);
    Click(layout::kCloseButtonId);
    EXPECT_EQ(m_dialog->RunModalLoop(), IDCANCEL);
    EXPECT_EQ(Stored(), firstRun);
}

TEST_F(OptionDialog, StoredValuesOutsideTheChoicesShowAndSaveSoundly) {
    StoreDword("Resolution", 7);
    StoreDword("SoundOnOff", 5);
    StoreDword("MusicOnOff", 0xFFFFFFFF);
    StoreDword("WindowMode", 2);
    Open();
    for (const int id : {IDC_RES800, IDC_RES1024, IDC_RES1280, IDC_RES1920})
        EXPECT_FALSE(Checked(id)) << "no resolution is checked for 7";
    EXPECT_TRUE(Checked(IDC_SOUND));
    EXPECT_TRUE(Checked(IDC_MUSIC));
    EXPECT_TRUE(Checked(IDC_WINDOW_MODE));
    EXPECT_EQ(PressKey(VK_RETURN), 0);
    EXPECT_EQ(Stored(), "ID= Sound=1 Music=1 Resolution=2 Depth=0 Window=1");
}

TEST_F(OptionDialog, KeyThatCannotBeOpenedShowsTheBoxTwiceAndWritesNothing) {
    where = BadLocation();
    Open();
    EXPECT_TRUE(ShowedOneKeyErrorBox()) << "when the dialog was made";
    EXPECT_TRUE(Checked(IDC_RES1024)) << "the initial values show";
    boxes.Reset();
    EXPECT_EQ(PressKey(VK_RETURN), 0);
    EXPECT_TRUE(ShowedOneKeyErrorBox()) << "on Save";
    platform::RegistryKey key;
    EXPECT_FALSE(key.Open(where.root, where.path));
}

// Real mouse input, through the system's input queue as a player's mouse gives it.
class OptionDialogMouse : public OptionDialog {
  protected:
    static void MouseTo(POINT screen) {
        ::SetCursorPos(screen.x, screen.y);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    static void Button(bool down) {
        INPUT input{};
        input.type = INPUT_MOUSE;
        input.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
        ::SendInput(1, &input, sizeof input);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    POINT ScreenPoint(int x, int y) const {
        POINT point = {x, y};
        ::ClientToScreen(m_dialog->Handle(), &point);
        return point;
    }
    // Runs the dialog's loop while `input` plays on another thread; the loop ends
    // by the dialog's own doing or, after the input, with kGaveUp.
    INT_PTR RunWhile(const std::function<void()>& input) {
        std::thread player([&] {
            input();
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            m_dialog->EndDialog(kGaveUp);
        });
        const INT_PTR result = m_dialog->RunModalLoop();
        player.join();
        return result;
    }
};

TEST_F(OptionDialogMouse, CloseButtonClickEndsWithCancel) {
    Open();
    const RECT close = Place(layout::kCloseButtonId);
    const POINT middle =
        ScreenPoint((close.left + close.right) / 2, (close.top + close.bottom) / 2);
    EXPECT_EQ(RunWhile([&] {
                  MouseTo(middle);
                  Button(true);
                  Button(false);
              }),
              IDCANCEL);
    EXPECT_EQ(Stored(), "ID= Sound=1 Music=1 Resolution=2 Depth=0 Window=0");
}

TEST_F(OptionDialogMouse, DragOnTheSurfaceMovesTheWindow) {
    Open();
    // Away from the screen's corner, so that client and screen points differ.
    ::SetWindowPos(m_dialog->Handle(), nullptr, 150, 120, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    RECT before{};
    ::GetWindowRect(m_dialog->Handle(), &before);
    const POINT start = ScreenPoint(60, 60); // the picture's title, no control there
    EXPECT_EQ(RunWhile([&] {
                  MouseTo(start);
                  Button(true);
                  MouseTo({start.x + 20, start.y + 10});
                  MouseTo({start.x + 40, start.y + 30});
                  Button(false);
              }),
              kGaveUp)
        << "a drag ends nothing";
    RECT after{};
    ::GetWindowRect(m_dialog->Handle(), &after);
    EXPECT_EQ(after.left - before.left, 40);
    EXPECT_EQ(after.top - before.top, 30);
}

} // namespace
} // namespace tarnvale
