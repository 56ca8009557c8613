// The skinned dialog under Wine: each background layout read back pixel by pixel,
// the fit to the bitmap, layered translucency and colour key, and the client drag.
#include "TestResources.h"
#include "UiTestSupport.h"
#include "ui/win32/CDialogSK.h"

#include <gtest/gtest.h>

namespace tarnvale::ui {
namespace {

using test::SkinColour;
using test::Surface;

class SkinnedDialog : public CDialogSK {
  public:
    SkinnedDialog() : CDialogSK(IDD_TEST_SKIN) {}
    using CDialogSK::HandleMessage;
};

// A created dialog whose client area (a borderless popup: the whole window) has the
// given size.
struct SkinnedDialogTest : ::testing::Test {
    SkinnedDialog dialog;
    void Open(int width, int height) {
        ASSERT_TRUE(dialog.Create());
        ::SetWindowPos(dialog.Handle(), nullptr, 0, 0, width, height,
                       SWP_NOZORDER | SWP_NOACTIVATE);
        RECT client;
        ::GetClientRect(dialog.Handle(), &client);
        ASSERT_EQ(client.right, width);
        ASSERT_EQ(client.bottom, height);
    }
    // The background as WM_ERASEBKGND paints it onto a surface of the client's size.
    void Erase(Surface& surface) {
        EXPECT_EQ(::SendMessageA(dialog.Handle(), WM_ERASEBKGND,
                                 reinterpret_cast<WPARAM>(surface.Dc()), 0),
                  TRUE);
    }
    SIZE WindowSize() const {
        RECT rect;
        ::GetWindowRect(dialog.Handle(), &rect);
        return {rect.right - rect.left, rect.bottom - rect.top};
    }
    LONG ExStyle() const { return ::GetWindowLongA(dialog.Handle(), GWL_EXSTYLE); }
};

const COLORREF kDialogFace = ::GetSysColor(COLOR_BTNFACE);

TEST_F(SkinnedDialogTest, TileDrawsFourCopiesOfA580By380BitmapInto1000By500) {
    Open(1000, 500);
    ASSERT_TRUE(dialog.SetBackgroundBitmap(WORD{IDB_TEST_SKIN}));
    dialog.SetBackgroundLayout(BackgroundLayout::Tile);
    Surface surface(1000, 500);
    Erase(surface);
    // Every pixel shows the tile whose origin is nearest above and to its left.
    for (int y : {0, 1, 200, 379, 380, 381, 499})
        for (int x : {0, 1, 300, 579, 580, 581, 999})
            ASSERT_EQ(surface.At(x, y), SkinColour(x % 580, y % 380)) << x << "," << y;
}

TEST_F(SkinnedDialogTest, OriginDrawsOnceOverTheDefaultBackground) {
    Open(700, 450);
    ASSERT_TRUE(dialog.SetBackgroundBitmap(WORD{IDB_TEST_SKIN}));
    EXPECT_EQ(dialog.Layout(), BackgroundLayout::Origin) << "the initial layout";
    Surface surface(700, 450);
    Erase(surface);
    EXPECT_EQ(surface.At(0, 0), SkinColour(0, 0));
    EXPECT_EQ(surface.At(579, 379), SkinColour(579, 379));
    EXPECT_EQ(surface.At(580, 10), kDialogFace);
    EXPECT_EQ(surface.At(10, 380), kDialogFace);
}

TEST_F(SkinnedDialogTest, CenterPlacesTheBitmapInTheMiddle) {
    Open(1000, 500);
    ASSERT_TRUE(dialog.SetBackgroundBitmap(WORD{IDB_TEST_SMALL}));
    dialog.SetBackgroundLayout(BackgroundLayout::Center);
    Surface surface(1000, 500);
    Erase(surface);
    EXPECT_EQ(surface.At(450, 225), SkinColour(0, 0));
    EXPECT_EQ(surface.At(549, 274), SkinColour(99, 49));
    EXPECT_EQ(surface.At(449, 225), kDialogFace);
    EXPECT_EQ(surface.At(550, 274), kDialogFace);
    EXPECT_EQ(surface.At(0, 0), kDialogFace);
}

TEST_F(SkinnedDialogTest, CenterShowsTheMiddleOfALargerBitmap) {
    Open(500, 300);
    ASSERT_TRUE(dialog.SetBackgroundBitmap(WORD{IDB_TEST_SKIN}));
    dialog.SetBackgroundLayout(BackgroundLayout::Center);
    Surface surface(500, 300);
    Erase(surface);
    EXPECT_EQ(surface.At(0, 0), SkinColour(40, 40));
    EXPECT_EQ(surface.At(499, 299), SkinColour(539, 339));
}

TEST_F(SkinnedDialogTest, StretchCoversTheClientArea) {
    Open(1000, 500);
    ASSERT_TRUE(dialog.SetBackgroundBitmap(WORD{IDB_TEST_SMALL}));
    dialog.SetBackgroundLayout(BackgroundLayout::Stretch);
    Surface surface(1000, 500);
    Erase(surface);
    // Ten times as wide and high: the middle of each 10 x 10 block is one source pixel.
    for (int sy : {0, 17, 49})
        for (int sx : {0, 33, 99})
            EXPECT_EQ(surface.At(sx * 10 + 5, sy * 10 + 5), SkinColour(sx, sy)) << sx << "," << sy;
    EXPECT_EQ(surface.At(999, 499), SkinColour(99, 49));
}

TEST_F(SkinnedDialogTest, UnknownLayoutAndNoBitmapKeepTheDefaultBackground) {
    Open(300, 200);
    Surface plain(300, 200);
    Erase(plain);
    EXPECT_EQ(plain.At(0, 0), kDialogFace);
    ASSERT_TRUE(dialog.SetBackgroundBitmap(WORD{IDB_TEST_SKIN}));
    dialog.SetBackgroundLayout(static_cast<BackgroundLayout>(9));
    Surface surface(300, 200);
    Erase(surface);
    EXPECT_EQ(surface.At(0, 0), kDialogFace);
    EXPECT_EQ(surface.At(299, 199), kDialogFace);
}

TEST_F(SkinnedDialogTest, FitWindowResizesOnlyWhenSetWithABitmapPresent) {
    Open(300, 200);
    dialog.SetBackgroundLayout(BackgroundLayout::FitWindow);
    EXPECT_EQ(WindowSize().cx, 300) << "no bitmap, no resize";
    ASSERT_TRUE(dialog.SetBackgroundBitmap(WORD{IDB_TEST_SKIN}));
    EXPECT_EQ(WindowSize().cx, 300) << "a bitmap that comes later does not resize";
    dialog.SetBackgroundLayout(BackgroundLayout::FitWindow);
    EXPECT_EQ(WindowSize().cx, 580);
    EXPECT_EQ(WindowSize().cy, 380);
    Surface surface(580, 380);
    Erase(surface);
    EXPECT_EQ(surface.At(579, 379), SkinColour(579, 379)) << "drawn as at the origin";
}

TEST_F(SkinnedDialogTest, BitmapHandlesAreOwnedAndChecked) {
    Open(300, 200);
    EXPECT_TRUE(dialog.SetBackgroundBitmap(WORD{IDB_TEST_MISSING}))
        << "a failed load leaves no skin but is no failure";
    EXPECT_EQ(dialog.BackgroundBitmap(), nullptr);
    EXPECT_TRUE(dialog.SetBackgroundBitmap("C:\\no\\such\\skin.bmp"));
    EXPECT_EQ(dialog.BackgroundBitmap(), nullptr);

    HBITMAP notABitmap = reinterpret_cast<HBITMAP>(::CreateSolidBrush(RGB(1, 1, 1)));
    EXPECT_FALSE(dialog.SetBackgroundBitmap(notABitmap));
    EXPECT_EQ(dialog.BackgroundBitmap(), nullptr);

    ASSERT_TRUE(dialog.SetBackgroundBitmap(WORD{IDB_TEST_SMALL}));
    HBITMAP held = dialog.BackgroundBitmap();
    EXPECT_TRUE(dialog.SetBackgroundBitmap(held)) << "the same handle again";
    BITMAP info;
    EXPECT_NE(::GetObjectA(held, sizeof info, &info), 0) << "still alive";
    ASSERT_TRUE(dialog.SetBackgroundBitmap(WORD{IDB_TEST_SKIN}));
    EXPECT_EQ(::GetObjectA(held, sizeof info, &info), 0) << "the replaced bitmap was deleted";
}

TEST_F(SkinnedDialogTest, ResizingInvalidatesOnlyWithABitmap) {
    Open(300, 200);
    ::ShowWindow(dialog.Handle(), SW_SHOWNOACTIVATE);
    test::PumpMessages();
    RECT update;
    ::ValidateRect(dialog.Handle(), nullptr);
    ::SendMessageA(dialog.Handle(), WM_SIZE, SIZE_RESTORED, MAKELPARAM(300, 200));
    EXPECT_FALSE(::GetUpdateRect(dialog.Handle(), &update, FALSE));

    ASSERT_TRUE(dialog.SetBackgroundBitmap(WORD{IDB_TEST_SMALL}));
    ::ValidateRect(dialog.Handle(), nullptr);
    ::SendMessageA(dialog.Handle(), WM_SIZE, SIZE_RESTORED, MAKELPARAM(300, 200));
    ASSERT_TRUE(::GetUpdateRect(dialog.Handle(), &update, FALSE));
    EXPECT_EQ(update.right, 300);
    EXPECT_EQ(update.bottom, 200);
}

TEST_F(SkinnedDialogTest, AlphaAndColourKeyLayerTheWindowAndReplaceEachOther) {
    Open(300, 200);
    BYTE alpha = 0;
    COLORREF key = 0;
    DWORD flags = 0;

    EXPECT_TRUE(dialog.SetWindowAlpha(255));
    EXPECT_FALSE(ExStyle() & WS_EX_LAYERED) << "opaque windows are not layered";

    EXPECT_TRUE(dialog.SetWindowAlpha(254));
    EXPECT_TRUE(ExStyle() & WS_EX_LAYERED);
    ASSERT_TRUE(::GetLayeredWindowAttributes(dialog.Handle(), &key, &alpha, &flags));
    EXPECT_EQ(alpha, 254);
    EXPECT_EQ(flags, static_cast<DWORD>(LWA_ALPHA));

    EXPECT_TRUE(dialog.SetTransparentColor(RGB(0, 255, 0), TRUE));
    EXPECT_TRUE(ExStyle() & WS_EX_LAYERED);
    ASSERT_TRUE(::GetLayeredWindowAttributes(dialog.Handle(), &key, &alpha, &flags));
    EXPECT_EQ(key, RGB(0, 255, 0));
    EXPECT_EQ(flags, static_cast<DWORD>(LWA_COLORKEY)) << "the latest call decides";

    EXPECT_TRUE(dialog.SetTransparentColor(RGB(0, 255, 0), FALSE));
    EXPECT_FALSE(ExStyle() & WS_EX_LAYERED);

    EXPECT_TRUE(dialog.SetWindowAlpha(254));
    EXPECT_TRUE(dialog.SetWindowAlpha(255));
    EXPECT_FALSE(ExStyle() & WS_EX_LAYERED);
}

CDialogSK::LayeredAttributesFn Missing() {
    return nullptr;
}

BOOL WINAPI Refusing(HWND, COLORREF, BYTE, DWORD) {
    return FALSE;
}
CDialogSK::LayeredAttributesFn Refuses() {
    return &Refusing;
}

TEST(SkinnedDialogWithoutLayers, BothTranslucencyOperationsFailAndChangeNothing) {
    CDialogSK::SetLayeredAttributesLookup(&Missing);
    SkinnedDialog dialog;
    CDialogSK::SetLayeredAttributesLookup(nullptr);
    ASSERT_TRUE(dialog.Create());
    const LONG before = ::GetWindowLongA(dialog.Handle(), GWL_EXSTYLE);
    EXPECT_FALSE(dialog.SetWindowAlpha(128));
    EXPECT_FALSE(dialog.SetTransparentColor(RGB(0, 255, 0), TRUE));
    EXPECT_EQ(::GetWindowLongA(dialog.Handle(), GWL_EXSTYLE), before);

    // A system that refuses the attributes is reported, not taken for success.
    CDialogSK::SetLayeredAttributesLookup(&Refuses);
    SkinnedDialog refused;
    CDialogSK::SetLayeredAttributesLookup(nullptr);
    ASSERT_TRUE(refused.Create());
    EXPECT_FALSE(refused.SetWindowAlpha(128));
    EXPECT_FALSE(refused.SetTransparentColor(RGB(0, 255, 0), TRUE));

    // The lookup applies per dialog: one made afterwards has the system's function.
    SkinnedDialog later;
    ASSERT_TRUE(later.Create());
    EXPECT_TRUE(later.SetWindowAlpha(128));
}

TEST_F(SkinnedDialogTest, PressOnTheSurfacePostsACaptionPressWithThePoint) {
    Open(300, 200);
    MSG message;
    ::SendMessageA(dialog.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 40));
    // Taken off the queue, not dispatched: dispatching would start the system's move.
    ASSERT_TRUE(
        ::PeekMessageA(&message, dialog.Handle(), WM_NCLBUTTONDOWN, WM_NCLBUTTONDOWN, PM_REMOVE));
    EXPECT_EQ(message.wParam, static_cast<WPARAM>(HTCAPTION));
    EXPECT_EQ(message.lParam, MAKELPARAM(30, 40));

    dialog.EnableClientDrag(FALSE);
    ::SendMessageA(dialog.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 40));
    EXPECT_FALSE(
        ::PeekMessageA(&message, dialog.Handle(), WM_NCLBUTTONDOWN, WM_NCLBUTTONDOWN, PM_REMOVE));
}

} // namespace
} // namespace tarnvale::ui
